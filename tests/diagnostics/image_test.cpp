// The ELF and PE readers against the tree's own packages, against images made
// here, and against every way of cutting or spoiling them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "images.hpp"
#include "packages.hpp"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using zep::platform::Image;
using zep::platform::ImageFormat;
using zep::platform::ImageKind;
using zep::platform::readImage;

Image packageImage(const std::string& directory, const std::string& package) {
  return readImage(fileBytes(kPackages + "/" + directory + "/lib" + package + ".so"));
}

bool exports(const Image& image, const std::string& name) {
  return std::binary_search(image.exports.begin(), image.exports.end(), name);
}

TEST(ElfReader, ReadsTheDynamicSymbolsAndNeedsOfAPackage) {
  Image answering = packageImage("answering", "Tef00000");
  EXPECT_EQ(answering.target, zep::platform::processTarget());
  EXPECT_EQ(answering.kind, ImageKind::SharedLibrary);
  EXPECT_EQ(answering.defect, "");
  EXPECT_TRUE(exports(answering, "StarTefDedicado"));
  EXPECT_FALSE(exports(answering, "StartTefDedicado"));
  EXPECT_FALSE(exports(answering, "dlsym")) << "an import is no export";
  EXPECT_TRUE(answering.selfCallsByName.empty());
  EXPECT_FALSE(answering.noDelete);

  Image variant = packageImage("variant", "Tef00000");
  EXPECT_TRUE(exports(variant, "StartTefDedicado"));
  EXPECT_FALSE(exports(variant, "StarTefDedicado"));

  Image dependent = packageImage("broken", "ZEP01000");
  EXPECT_THAT(dependent.needed, Contains("libzep_absent_dependency.so"));
}

TEST(ElfReader, TellsTheLinkingThatMakesAPackageMisbehave) {
  EXPECT_THAT(packageImage("plt", "Zep00500").selfCallsByName, ElementsAre("CheckDirTef"));
  EXPECT_THAT(packageImage("selfcalling", "Zep00500").selfCallsByName, ElementsAre());
  EXPECT_TRUE(packageImage("nodelete", "Zep00400").noDelete);
  Image unique = packageImage("unique", "Zep00000");
  if (unique.target.format == ImageFormat::None) GTEST_SKIP() << "no GNU-unique package (not GCC)";
  EXPECT_THAT(unique.uniqueSymbols, ElementsAre("_ZZ9openPortsvE5count"));
  EXPECT_THAT(packageImage("answering", "Zep00000").uniqueSymbols, ElementsAre());
}

TEST(ElfReader, ReadsA32BitPackage) {
  std::vector<std::uint8_t> bytes = fileBytes(kPackages + "/foreign/libZEP00101.so");
  if (bytes.empty()) GTEST_SKIP() << "the toolchain makes no 32-bit x86 package";
  Image image = readImage(bytes);
  EXPECT_EQ(image.target.bits, 32u);
  EXPECT_EQ(zep::platform::describeTarget(image.target), "32-bit x86");
  EXPECT_THAT(image.exports, ElementsAre("StartImpFiscal"));
  EXPECT_EQ(image.defect, "");
}

TEST(PeReader, ReadsExportsImportsAndMachine) {
  Image image = readImage(peImage(0x8664, 64, {"StartImpFiscal", "@Zep00001@StartImpFiscal"},
                                  {"KERNEL32.dll", "zep_absent.dll"}));
  EXPECT_EQ(image.defect, "");
  EXPECT_EQ(image.target.format, ImageFormat::Pe);
  EXPECT_EQ(image.kind, ImageKind::SharedLibrary);
  EXPECT_EQ(zep::platform::describeTarget(image.target), "64-bit x86-64");
  EXPECT_THAT(image.exports, ElementsAre("@Zep00001@StartImpFiscal", "StartImpFiscal"));
  EXPECT_THAT(image.needed, ElementsAre("KERNEL32.dll", "zep_absent.dll"));

  Image old = readImage(peImage(0x014c, 32, {"Start"}, {}));
  EXPECT_EQ(zep::platform::describeTarget(old.target), "32-bit x86");
  EXPECT_THAT(old.exports, ElementsAre("Start"));
}

// A DLL as MinGW-w64 links it, kept as the PE fuzz target's seed.
TEST(PeReader, ReadsARealDll) {
  Image image =
      readImage(fileBytes(ZEP_SOURCE_DIR "/fuzz/corpus/pe_reader/two_exports_x86_64.dll"));
  EXPECT_EQ(image.defect, "");
  EXPECT_EQ(image.kind, ImageKind::SharedLibrary);
  EXPECT_EQ(zep::platform::describeTarget(image.target), "64-bit x86-64");
  EXPECT_THAT(image.exports, ElementsAre("StartImpFiscal", "imprimeMesasAbertas"));
  EXPECT_THAT(image.needed, ElementsAre("KERNEL32.dll", "msvcrt.dll"));
}

TEST(ImageContent, NamesWhatAFileIsWhenItIsNoImage) {
  using zep::platform::describeContent;
  auto of = [](std::string_view text) {
    return describeContent({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  };
  EXPECT_EQ(of(""), "an empty file");
  EXPECT_EQ(of("Leia-me\nsegunda linha"), "a text file beginning \"Leia-me\"");
  EXPECT_EQ(of("!<arch>\nrest"),
            "a static library archive (.a or .lib), which is linked into a program, never loaded");
  EXPECT_EQ(of(std::string_view("\x00\x01\x02\x03\x04", 5)),
            "a file beginning with the bytes 00 01 02 03");
  EXPECT_EQ(readImage(fileBytes(kPackages + "/broken/libZEP00300.so")).target.format,
            ImageFormat::None);
}

// Every prefix of a real package and of a PE image, and every byte of their
// headers spoilt: each read ends in a defect or a partial image, never out of
// bounds (the sanitizer legs make sure of that).
TEST(ImageReaders, SurviveCutAndSpoiltFiles) {
  std::vector<std::vector<std::uint8_t>> files = {
      fileBytes(kPackages + "/plt/libZep00500.so"),
      peImage(0x8664, 64, {"StartImpFiscal"}, {"KERNEL32.dll"})};
  for (const std::vector<std::uint8_t>& file : files) {
    for (std::size_t size = 0; size < file.size(); size += size < 4096 ? 1 : 97) {
      Image cut = readImage(std::span(file).first(size));
      if (cut.target.format != ImageFormat::None && size < 1024) {
        EXPECT_NE(cut.defect, "") << "cut at " << size;
      }
    }
    for (std::size_t at = 0; at < std::min<std::size_t>(file.size(), 2048); ++at) {
      for (std::uint8_t value : {0x00, 0x7f, 0xff}) {
        std::vector<std::uint8_t> spoilt = file;
        spoilt[at] = value;
        readImage(spoilt);
      }
    }
  }
  Image cut = readImage(std::span(files[0]).first(files[0].size() / 2));
  EXPECT_EQ(cut.defect.rfind("the file is cut short: its contents run to byte ", 0), 0u)
      << cut.defect;
}

}  // namespace
