// zep-host check against ELF packages that will not load or will misbehave
// though they load: each report names what a driver author needs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "checking.hpp"
#include "scratch_package.hpp"
#include "slots.hpp"

namespace {

using namespace checking;
using ::testing::HasSubstr;

TEST(CheckDiagnostics, NamesA32BitPackage) {
  if (!std::filesystem::exists(kPackages + "/foreign/libZEP00101.so"))
    GTEST_SKIP() << "no 32-bit package";
  Outcome foreign = check("foreign", {"ImpFiscal", "1"});
  EXPECT_EQ(foreign.status, 2);
  EXPECT_THAT(foreign.out,
              HasSubstr("libZEP00101.so: is a 32-bit x86 library; this process is 64-bit x86-64"));
}

TEST(CheckDiagnostics, FlagsAPackageCallingItsOwnExportsThroughThePlt) {
  json flagged = checkJson("plt", {"Zep00500"});
  ASSERT_EQ(flagged["warnings"].size(), 1u);
  EXPECT_EQ(flagged["warnings"][0]["kind"], "self-calls-through-plt");
  EXPECT_EQ(flagged["warnings"][0]["names"], json::array({"CheckDirTef"}));
  EXPECT_EQ(flagged["warnings"][0]["remedy"], "link the package with -Wl,-Bsymbolic-functions");
  EXPECT_EQ(checkJson("selfcalling", {"Zep00500"})["warnings"], json::array());
}

// What the warning is about: this program links the module directly, so the
// package's call through its PLT lands on the slot of that name.
TEST(CheckDiagnosticsDeathTest, ThatPackageCrashesUnderADirectlyLinkedHost) {
  EXPECT_DEATH(
      {
        test_platform::setEnvironment("ZEP_PACKAGE_PATH", kPackages + "/plt");
        InstanciaFuncoes_Zep00500();
        answer(DoTef);
      },
      "");
}

TEST(CheckDiagnostics, FlagsAPackageThatCanNeverBeUnloaded) {
  Outcome nodelete = check("nodelete", {"Zep00400", "--unload"});
  EXPECT_EQ(nodelete.status, 1);
  EXPECT_THAT(nodelete.out,
              HasSubstr("warning: Zep00400 is marked never to be unloaded (DF_1_NODELETE)"));
  EXPECT_THAT(nodelete.out,
              HasSubstr("libZep00400.so is still mapped after the unbind: it is marked "
                        "never to be unloaded (DF_1_NODELETE)\n"));

  if (!std::filesystem::is_directory(kPackages + "/unique")) {
    GTEST_SKIP() << "no GNU-unique package (only GCC makes one)";
  }
  json unique = checkJson("unique", {"Zep00000", "--unload"});
  EXPECT_EQ(unique["warnings"][0]["kind"], "never-unloaded");
  EXPECT_EQ(unique["warnings"][0]["names"], json::array({"openPorts()::count"}));
  EXPECT_EQ(
      unique["unload"],
      json::parse(R"({"unloaded": false, "reason": "its GNU-unique symbols keep it mapped"})"));
}

TEST(CheckDiagnostics, WarnsOfWhatThePackagesGroupCanWrite) {
  ScratchPackage scratch("Zep00400");
  std::filesystem::permissions(scratch.file, std::filesystem::perms::group_write,
                               std::filesystem::perm_options::add);
  Outcome outcome = check(scratch.directory, {"Zep00400"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_THAT(outcome.out, HasSubstr("warning: Zep00400 is writable by its group"));
  EXPECT_THAT(outcome.out, HasSubstr("remedy: chmod g-w " + scratch.file));
}

TEST(CheckDiagnostics, ReportsWhatTheSharedPackageRefusesWithItsRemedy) {
  ScratchPackage scratch("Zep00400");
  std::filesystem::permissions(scratch.directory, std::filesystem::perms::all);
  json report = checkJson(scratch.directory, {"Zep00400"});
  ASSERT_EQ(report["warnings"].size(), 1u);
  EXPECT_EQ(report["warnings"][0]["kind"], "open-directory");
  EXPECT_EQ(report["warnings"][0]["refused"], true);
  EXPECT_EQ(report["warnings"][0]["remedy"], "chmod o-w " + scratch.directory);
  EXPECT_EQ(report["exitStatus"], 2);
}

// A directory above the package's that every user may write is told, not
// refused: the load holds and checks the directory it finds.
TEST(CheckDiagnostics, WarnsOfAnOpenDirectoryAboveThePackage) {
  ScratchPackage scratch("Zep00400");
  const std::string below = scratch.directory + "/below";
  std::filesystem::create_directory(below);
  std::filesystem::rename(scratch.file, below + "/" + packageFileName("Zep00400"));
  std::filesystem::permissions(scratch.directory, std::filesystem::perms::all);
  json report = checkJson(below, {"Zep00400"});
  ASSERT_EQ(report["warnings"].size(), 1u) << report.dump();
  EXPECT_EQ(report["warnings"][0]["kind"], "open-ancestor");
  EXPECT_EQ(report["warnings"][0]["refused"], false);
  EXPECT_EQ(report["warnings"][0]["remedy"], "chmod o-w " + scratch.directory);
  EXPECT_EQ(report["exitStatus"], 1);
}

}  // namespace
