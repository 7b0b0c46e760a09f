// The ELF and PE readers against real linker output, against images made
// here, and against every way of cutting or spoiling them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "images.hpp"
#include "packages.hpp"

namespace {

// Packages of the tree, stripped, as the fuzz targets' seeds keep them: real
// linker output that every platform's build can read.
std::vector<std::uint8_t> seed(const std::string& name) {
  return fileBytes(ZEP_SOURCE_DIR "/fuzz/corpus/" + name);
}

TEST(ElfReader, TellsTheLinkingThatMakesAPackageMisbehave) {
  EXPECT_THAT(readImage(seed("elf_reader/self_calling_x86_64")).selfCallsByName,
              ElementsAre("CheckDirTef"));
  EXPECT_THAT(readImage(seed("elf_reader/unique_x86_64")).uniqueSymbols,
              ElementsAre("_ZZ9openPortsvE5count"));
}

TEST(ElfReader, ReadsA32BitPackage) {
  Image image = readImage(seed("elf_reader/x86_32"));
  EXPECT_EQ(image.target.bits, 32u);
  EXPECT_EQ(zep::object::describeTarget(image.target), "32-bit x86");
  EXPECT_THAT(image.exports, ElementsAre("StartImpFiscal"));
  EXPECT_EQ(image.defect, "");
}

TEST(PeReader, ReadsExportsImportsAndMachine) {
  Image image = readImage(peImage(0x8664, 64, {"StartImpFiscal", "@Zep00001@StartImpFiscal"},
                                  {"KERNEL32.dll", "zep_absent.dll"}));
  EXPECT_EQ(image.defect, "");
  EXPECT_EQ(image.target.format, ImageFormat::Pe);
  EXPECT_EQ(image.kind, ImageKind::SharedLibrary);
  EXPECT_EQ(zep::object::describeTarget(image.target), "64-bit x86-64");
  EXPECT_THAT(image.exports, ElementsAre("@Zep00001@StartImpFiscal", "StartImpFiscal"));
  EXPECT_THAT(image.needed, ElementsAre("KERNEL32.dll", "zep_absent.dll"));

  Image old = readImage(peImage(0x014c, 32, {"Start"}, {}));
  EXPECT_EQ(zep::object::describeTarget(old.target), "32-bit x86");
  EXPECT_THAT(old.exports, ElementsAre("Start"));
}

// A DLL as MinGW-w64 links it, kept as the PE fuzz target's seed.
TEST(PeReader, ReadsARealDll) {
  Image image =
      readImage(fileBytes(ZEP_SOURCE_DIR "/fuzz/corpus/pe_reader/two_exports_x86_64.dll"));
  EXPECT_EQ(image.defect, "");
  EXPECT_EQ(image.kind, ImageKind::SharedLibrary);
  EXPECT_EQ(zep::object::describeTarget(image.target), "64-bit x86-64");
  EXPECT_THAT(image.exports, ElementsAre("StartImpFiscal", "imprimeMesasAbertas"));
  EXPECT_THAT(image.needed, ElementsAre("KERNEL32.dll", "msvcrt.dll"));
}

// What Windows loads by name only later: a delay-loaded DLL (MinGW-w64's
// delay-import library, its directory filled in as the tree's packages have
// it, and the old form by address) and the library of a forwarded entry.
TEST(PeReader, ReadsDelayImportsAndForwardedEntries) {
  Image image = readImage(seed("pe_reader/delay_forward_x86_64.dll"));
  EXPECT_EQ(image.defect, "");
  EXPECT_THAT(image.delayNeeded, ElementsAre("zep_later.dll"));
  EXPECT_THAT(image.needed, ::testing::Not(Contains("zep_later.dll")));
  ASSERT_EQ(image.forwarded.size(), 1u);
  EXPECT_EQ(image.forwarded[0].entry, "AbreCupom");
  EXPECT_EQ(image.forwarded[0].library, "zep_forward");
  EXPECT_THAT(image.exports, ElementsAre("AbreCupom", "StartImpFiscal"));

  Image old = readImage(peImage(0x014c, 32, {"Start"}, {}, {"zep_later.dll", "b.dll"}, true));
  EXPECT_EQ(old.defect, "");
  EXPECT_THAT(old.delayNeeded, ElementsAre("zep_later.dll", "b.dll"));
}

// The check before every load reads the headers alone, from the file's first
// page: they must give the size the whole file's reading gives, or a package
// cut short would be loaded, and fault the process as it is touched.
TEST(ImageHeaders, FromTheFirstPageGiveTheSizeOfTheWholeReading) {
  for (const char* name : {"elf_reader/self_calling_x86_64", "elf_reader/unique_x86_64",
                           "elf_reader/x86_32", "pe_reader/two_exports_x86_64.dll"}) {
    const std::vector<std::uint8_t> file = seed(name);
    const Image whole = readImage(file);
    const Image headers = readImage(std::span(file).first(4096), zep::object::ImageDepth::Headers);
    EXPECT_NE(whole.sizeNeeded, 0u) << name;
    EXPECT_EQ(headers.sizeNeeded, whole.sizeNeeded) << name;
    EXPECT_EQ(headers.target, whole.target) << name;
    EXPECT_EQ(headers.defect, "") << name;
  }
}

// 8 MB whose symbols all bear one 4 MB name: a reader that copied or
// scanned each name would read terabytes; this one stops at what the file
// could hold (the bench times it).
TEST(ElfReader, RefusesSymbolNamesThatAddUpToMoreThanTheFile) {
  const std::vector<std::uint8_t> hostile = elfImage(180'000, 4u << 20);
  EXPECT_GT(hostile.size(), 8u << 20);
  const Image image = readImage(hostile);
  EXPECT_EQ(image.defect, "its symbol names add up to more than the file holds");
  EXPECT_LE(image.exports.size(), 2u);

  EXPECT_EQ(readImage(seed("pe_reader/one_long_name_many_exports.dll")).defect,
            "its names add up to more than the file holds");

  const Image plenty = readImage(elfImage(100'000, 8));
  EXPECT_EQ(plenty.defect, "");
  EXPECT_THAT(plenty.exports, ElementsAre("AAAAAAAA"));
}

// The loader reads the dynamic section where it is mapped: one outside every
// loadable segment is refused before the loader sees it.
TEST(ElfReader, TellsADynamicSectionOutsideTheLoadableSegments) {
  const std::vector<std::uint8_t> file = elfImage(4, 8, 0x7fff0000);
  for (auto depth : {zep::object::ImageDepth::Everything, zep::object::ImageDepth::Loader}) {
    EXPECT_EQ(readImage(file, depth).defect,
              "the dynamic section lies outside the file's loadable segments");
  }
  EXPECT_EQ(readImage(elfImage(4, 8), zep::object::ImageDepth::Loader).defect, "");
}

TEST(ImageContent, NamesWhatAFileIsWhenItIsNoImage) {
  using zep::object::describeContent;
  auto of = [](std::string_view text) {
    return describeContent({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  };
  EXPECT_EQ(of(""), "an empty file");
  EXPECT_EQ(of("Leia-me\nsegunda linha"), "a text file beginning \"Leia-me\"");
  EXPECT_EQ(of("!<arch>\nrest"),
            "a static library archive (.a or .lib), which is linked into a program, never loaded");
  EXPECT_EQ(of(std::string_view("\x00\x01\x02\x03\x04", 5)),
            "a file beginning with the bytes 00 01 02 03");
  EXPECT_EQ(
      readImage(fileBytes(kPackages + "/broken/" ZEP_PACKAGE_PREFIX "ZEP00300" ZEP_PACKAGE_SUFFIX))
          .target.format,
      ImageFormat::None);
}

// Every prefix of a real package and of a PE image, and every byte of their
// headers spoilt: each read ends in a defect or a partial image, never out of
// bounds (the sanitizer legs make sure of that).
TEST(ImageReaders, SurviveCutAndSpoiltFiles) {
  std::vector<std::vector<std::uint8_t>> files = {
      seed("elf_reader/self_calling_x86_64"),
      peImage(0x8664, 64, {"StartImpFiscal"}, {"KERNEL32.dll"}, {"zep_later.dll"})};
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
