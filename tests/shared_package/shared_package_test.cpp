// The default shared package against the real driver packages.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "packages.hpp"
#include "slots.hpp"
#include "zep00001/zep00001.hpp"

namespace {

std::string loadError(const std::string& package) {
  try {
    LoadBPL_FOS(package);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  ADD_FAILURE() << "loaded " << package;
  return {};
}

class SharedPackage : public PackagePathTest {};

TEST_F(SharedPackage, LoadsFromThePackagePathAndFindsEntries) {
  void* library = LoadBPL_FOS("ZEP00101");
  ASSERT_NE(library, nullptr);
  auto start =
      reinterpret_cast<const char* (*)()>(test_platform::findSymbol(library, "StartImpFiscal"));
  ASSERT_NE(start, nullptr);
  EXPECT_STREQ(start(), "answering/ZEP00101:StartImpFiscal");
  UnLoadBPL("ZEP00101");
}

TEST_F(SharedPackage, RefusesAnythingButABaseName) {
  for (const std::string& name : std::vector<std::string>{
           "", "answering/ZEP00101", "..", ".", "ZEP00101.so", "a\\b", "C:ZEP", "/tmp/x",
           " ZEP00101", "ZEP-1", "ZEP\xc3\xa9", std::string("ZEP00101\0x", 10)}) {
    std::string error = loadError(name);
    EXPECT_NE(error.find("base name"), std::string::npos) << name << ": " << error;
  }
}

TEST_F(SharedPackage, SearchesOnlyAbsoluteEntriesThenItsOwnDirectory) {
  const char separator = test_platform::kPathListSeparator;
  // "\relative" and "C:relative" hang on the current drive or directory.
  usePath(separator + std::string("relative/dir") + separator + separator + "\\relative" +
          separator + "C:relative" + separator + kPackages + "/variant" + separator + kPackages +
          "/answering");
  void* library = LoadBPL_FOS("ZEP00101");
  auto start =
      reinterpret_cast<const char* (*)()>(test_platform::findSymbol(library, "StartImpFiscal"));
  EXPECT_STREQ(start(), "variant/ZEP00101:StartImpFiscal");
  UnLoadBPL("ZEP00101");

  std::string error = test_platform::withSlashes(loadError("ZEP09999"));
  EXPECT_NE(error.find("\"ZEP09999\""), std::string::npos) << error;
  for (const std::string& directory :
       {kPackages + "/variant", kPackages + "/answering", std::string(ZEP_SHARED_PACKAGE_DIR)}) {
    EXPECT_NE(error.find(directory + "/" + packageFileName("ZEP09999") + ": no such file"),
              std::string::npos)
        << error;
  }
  EXPECT_EQ(error.find("relative"), std::string::npos) << error;
}

TEST_F(SharedPackage, FileThatIsNoSharedObjectGivesTheLoadersReason) {
  usePath(kPackages + "/broken");
  std::string error = test_platform::withSlashes(loadError("ZEP00300"));
  EXPECT_NE(error.find("\"ZEP00300\""), std::string::npos) << error;
  EXPECT_NE(error.find(packageFile("broken", "ZEP00300") + ": "), std::string::npos) << error;
  EXPECT_NE(error.find(test_platform::kNotALibraryReason), std::string::npos) << error;
}

TEST_F(SharedPackage, MissingDependencyIsNamed) {
  usePath(kPackages + "/broken");
  std::string error = loadError("ZEP01000");
  EXPECT_NE(error.find(ZEP_ABSENT_DEPENDENCY), std::string::npos) << error;
}

TEST_F(SharedPackage, LoadsAreCountedPerName) {
  expectLoadsCounted("Zep00400");
  UnLoadBPL("Zep00400");
  UnLoadBPL("");
  UnLoadBPL("never loaded");
}

TEST_F(SharedPackage, ConcurrentLoadsAndUnloadsBalance) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        LoadBPL_FOS(i % 2 ? "Zep00500" : "Zep00000");
        UnLoadBPL(i % 2 ? "Zep00500" : "Zep00000");
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(isMapped(packageFile("answering", "Zep00500")));
  EXPECT_FALSE(isMapped(packageFile("answering", "Zep00000")));
}

TEST(OperatorMessage, GoesToStandardErrorWithLineBreaks) {
  testing::internal::CaptureStderr();
  std::string text = "Falhou\rErro na carga do pacote: ZEP00700";
  Mensagem(text, "", "N", "N", zep::TTipoMsg::Erro, "", "001", 0, nullptr);
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown, "[operator message, kind 3]\nFalhou\nErro na carga do pacote: ZEP00700\n");
  EXPECT_EQ(text, "Falhou\rErro na carga do pacote: ZEP00700");
}

}  // namespace
