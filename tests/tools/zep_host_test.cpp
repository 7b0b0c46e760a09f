// zep-host's commands, run as the program runs them, against the tree's
// packages and the simulated ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "catalog/catalog.hpp"
#include "demo_lines.hpp"
#include "host/commands.hpp"
#include "host/report.hpp"
#include "packages.hpp"
#include "platform/platform.hpp"
#include "run_host.hpp"

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string emptyDirectory() {
  const std::filesystem::path directory = std::filesystem::path(testing::TempDir()) / "zep-empty";
  std::filesystem::create_directories(directory);
  return directory.string();
}

void expectEverySlotNull() {
  for (const zep::catalog::SlotSet& set : zep::catalog::sets()) {
    EXPECT_EQ(set.boundSlots(), 0u) << set.name;
  }
}

TEST(Check, ListsTheEntryThePackageLacksAsMissing) {
  Outcome result = host({"check", "impfiscal", "1", "--package-path", kPackages + "/variant"});
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, HasSubstr("check ImpFiscal, model code 1: package ZEP00101\n"));
  EXPECT_THAT(result.out,
              HasSubstr("\n  bound    ImprimeMesasAbertas (slot imprimeMesasAbertas)\n"));
  EXPECT_THAT(result.out, HasSubstr("\n  missing  EnviaComando_Sweda\n"));
  EXPECT_THAT(result.out, HasSubstr("\n123 of 124 entries bound; missing: EnviaComando_Sweda\n"));
  expectEverySlotNull();
}

TEST(Check, PassesAPackageWithEveryEntry) {
  Outcome result = host({"check", "SAT", "--package-path=" + kPackages + "/answering"});
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.out, HasSubstr("\n10 of 10 entries bound\n"));
  EXPECT_EQ(result.out.find("missing"), std::string::npos);
}

TEST(Check, AMissingPackageGivesTheBindingFailureAndItsCause) {
  Outcome result = host({"check", "Sat", "--package-path", emptyDirectory()});
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.out, HasSubstr("the bind failed: Erro na carga do pacote: zep03000\n"
                                    "  because: cannot load package \"zep03000\""));
  EXPECT_THAT(result.out,
              HasSubstr(ZEP_PACKAGE_PREFIX "zep03000" ZEP_PACKAGE_SUFFIX ": no such file"));
  expectEverySlotNull();
}

TEST(Check, ReportsThePathsOfAPackageDirectoryWithItsControlBytesEscaped) {
  const std::filesystem::path directory =
      std::filesystem::path(testing::TempDir()) / "zep-\x1b[2J-empty";
  std::error_code made;
  std::filesystem::create_directories(directory, made);
  if (made) GTEST_SKIP() << "this platform takes no control byte in a file name";
  Outcome result = host({"check", "Sat", "--package-path", directory.string()});
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.out, HasSubstr("/zep-\\x1b[2J-empty/"));
  EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
}

TEST(Check, AFileThatIsNoLibraryGivesTheLoadersReason) {
  Outcome result = host({"check", "ImpFiscal", "7", "--package-path", kPackages + "/broken"});
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.out, HasSubstr("Erro na carga do pacote: ZEP00300\n  because: "));
  EXPECT_THAT(result.out, HasSubstr(test_platform::kNotALibraryReason));
}

TEST(Check, SaysWhyABindThatReturnsBoundNothing) {
  Outcome none = host({"check", "ImpFiscal", "10"});
  EXPECT_EQ(none.status, 2);
  EXPECT_THAT(none.out,
              HasSubstr("note: model code 10 selects no package, so the bind loads nothing"));

  Outcome flag = host({"check", "ImpCheque", "0"});
  EXPECT_EQ(flag.status, 2);
  EXPECT_THAT(flag.out, HasSubstr("note: use flag 0 binds nothing"));

  // The cheque printer tells the operator instead of raising.
  testing::internal::CaptureStderr();
  Outcome told = host({"check", "ImpCheque", "--package-path", emptyDirectory()});
  EXPECT_THAT(testing::internal::GetCapturedStderr(),
              HasSubstr("Erro na carga do pacote: ZEP00700"));
  EXPECT_EQ(told.status, 2);
  EXPECT_THAT(told.out, HasSubstr("0 of 5 entries bound"));
  EXPECT_THAT(told.out, HasSubstr("tells a failed load to the operator"));
}

TEST(Check, OfSeveralSetsPrintsEachReportThenASummaryAndExitsWithTheWorstStatus) {
  const std::string path = "--package-path=" + kPackages + "/variant";
  Outcome result = host({"check", "Sat", "ImpFiscal=1", "Tef00000", "Balanca=4", path});
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.out, HasSubstr("check ImpFiscal, model code 1: package ZEP00101\n"));
  EXPECT_THAT(result.out, HasSubstr("check Balanca, model code \"4\": package ZEP01200\n"));
  EXPECT_THAT(result.out, EndsWith("\nsummary:\n"
                                   "  set        model  package   entries     findings\n"
                                   "  Sat        -      zep03000    0 of  10  does not bind\n"
                                   "  ImpFiscal  1      ZEP00101  123 of 124  1 missing\n"
                                   "  Tef00000   -      Tef00000    9 of  10  1 missing\n"
                                   "  Balanca    \"4\"    ZEP01200    0 of   3  does not bind\n"));
  expectEverySlotNull();
}

TEST(Check, OfSeveralSetsAsJsonIsOneDocumentWithAReportASet) {
  if (!zep::host::canPrintJson()) GTEST_SKIP() << "built without nlohmann-json";
  const std::string path = "--package-path=" + kPackages + "/variant";
  Outcome json = host({"check", "Tef00000", "ImpFiscal=1", path, "--json"});
  EXPECT_EQ(json.status, 1);
  EXPECT_THAT(json.out, StartsWith("{\n  \"reports\": [\n    {\n      \"set\": \"Tef00000\","));
  EXPECT_THAT(json.out, HasSubstr("\n  ],\n  \"exitStatus\": 1\n}\n"));
}

TEST(Check, TakesANegativeFiscalCodeForAModelCode) {
  Outcome result = host({"check", "ImpFiscal", "-5"});
  EXPECT_EQ(result.status, 2);
  EXPECT_THAT(result.out, HasSubstr("note: model code -5 selects no package"));
}

TEST(Select, PrintsThePackageTheCodeSelects) {
  EXPECT_EQ(host({"select", "balanca", "4"}).out, "ZEP01200\n");
  EXPECT_EQ(host({"select", "BALANCA", "7"}).out, "X\n");
  EXPECT_EQ(host({"select", "ImpFiscal", "21"}).out, "ZEP00102\n");
  EXPECT_EQ(host({"select", "Sat"}).out, "zep03000\n");
  Outcome none = host({"select", "Display", "01"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "zep-host: model code \"01\" selects no package for Display\n");
}

TEST(Arguments, WrongOnesAreToldAndExitWithTheUsageStatus) {
  const std::string missing = kPackages + "/no-such-directory";
  const struct {
    std::vector<std::string> arguments;
    std::string reason;
  } cases[] = {
      {{}, "no command given"},
      {{"frob"}, "no command is called \"frob\""},
      {{"check"}, "usage: zep-host check SET [MODEL] [--package-path DIR]"},
      {{"check", "Foo"}, "no set is called \"Foo\"; the sets are ImpFiscal, ImpCheque, Display"},
      {{"check", "ImpFiscal"}, "ImpFiscal needs a model code (a 32-bit integer)"},
      {{"check", "ImpFiscal", "1x"}, "ImpFiscal takes a model code (a 32-bit integer), not \"1x\""},
      {{"check", "ImpFiscal", "4294967297"}, "not \"4294967297\""},
      {{"check", "Zep00000", "1"}, "Zep00000 takes no model code"},
      {{"check", "Sat", "--package-path"}, "--package-path needs a directory"},
      {{"check", "Sat", "--package-path", missing},
       "--package-path " + missing + " is no directory"},
      {{"check", "Sat", "--frob"}, "unknown option --frob"},
      {{"check", "Sat", "--verbose"}, "check takes no --verbose"},
      {{"select", "Sat", "3"}, "Sat always loads zep03000 and selects by no model code"},
      {{"select", "Sat", "--package-path", "/"}, "select takes no --package-path"},
      {{"demo", "now"}, "usage: zep-host demo [--package-path DIR]"},
      {{"trace"}, "usage: zep-host trace FILE [--json | --export OUT.json]"},
      // What the terminal would take for escape sequences is shown escaped.
      {{"\x1b]0;owned\a"}, "no command is called \"\\x1b]0;owned\\x07\""},
      {{"check", "Sat", "--\x1b[2J"}, "unknown option --\\x1b[2J"},
  };
  for (const auto& wrong : cases) {
    Outcome result = host(wrong.arguments);
    EXPECT_EQ(result.status, zep::host::kUsageError) << wrong.reason;
    EXPECT_THAT(result.err, StartsWith("zep-host: "));
    EXPECT_THAT(result.err, HasSubstr(wrong.reason));
    EXPECT_THAT(result.err, EndsWith("\nTry 'zep-host --help'.\n"));
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << wrong.reason;
  }
}

TEST(Arguments, APackagePathIsOneDirectoryWholeAndMayBeRepeated) {
  Outcome both = host({"check", "SAT", "--package-path", emptyDirectory(), "--package-path",
                       kPackages + "/answering"});
  EXPECT_EQ(both.status, 0) << both.err;
  // The package path's separator inside a name would make it two directories.
  const std::filesystem::path split =
      std::filesystem::path(testing::TempDir()) /
      (std::string("zep") + zep::platform::kPathListSeparator + "x");
  std::filesystem::create_directories(split);
  Outcome refused = host({"check", "Sat", "--package-path", split.string()});
  EXPECT_EQ(refused.status, zep::host::kUsageError);
  EXPECT_THAT(refused.err, HasSubstr("which separates the package path's directories"));
}

TEST(Arguments, ARelativePackagePathWithoutACurrentDirectoryIsToldNotThrown) {
  if (std::filesystem::path::preferred_separator == '\\') {
    GTEST_SKIP() << "Windows keeps a process's current directory from being removed";
  }
  const std::filesystem::path before = std::filesystem::current_path();
  const std::filesystem::path gone = std::filesystem::path(testing::TempDir()) / "zep-gone";
  std::filesystem::create_directories(gone);
  std::filesystem::current_path(gone);
  std::error_code removed;
  std::filesystem::remove(gone, removed);
  if (removed) {
    std::filesystem::current_path(before);
    GTEST_SKIP() << "this platform keeps the current directory from being removed";
  }
  Outcome result;
  EXPECT_NO_THROW(result = host({"check", "Sat", "--package-path", "."}));
  std::filesystem::current_path(before);
  EXPECT_EQ(result.status, zep::host::kUsageError);
  EXPECT_THAT(result.err, StartsWith("zep-host: --package-path . cannot be made absolute: "));
}

TEST(Arguments, HelpNamesEverySet) {
  for (const char* asking : {"help", "--help", "-h"}) {
    Outcome result = host({asking});
    EXPECT_EQ(result.status, 0);
    for (const zep::catalog::SlotSet& set : zep::catalog::sets()) {
      EXPECT_THAT(result.out, HasSubstr("\n  " + std::string(set.name) + " ")) << asking;
    }
  }
  Outcome check = host({"check", "Sat", "--help"});
  EXPECT_EQ(check.status, 0);
  EXPECT_THAT(check.out, HasSubstr("--unload"));
  EXPECT_EQ(host({"select", "--help"}).out.find("--unload"), std::string::npos);
}

TEST(Demo, BindsSellsAndUnbindsEverySet) {
  Outcome result = host({"demo"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_THAT(result.out,
              HasSubstr("\n  set        model  package   slots      left null\n"
                        "  ImpFiscal  1      ZEP00101   10 of 124  CarregaTotalizador,"));
  EXPECT_THAT(result.out, HasSubstr("\n  Balanca    \"4\"    ZEP01200    3 of   3  none\n"));
  EXPECT_THAT(result.out, HasSubstr("\n  Sat        -      zep03000    3 of  10  CancelarVenda,"));
  EXPECT_THAT(result.out, HasSubstr("  scale    0,398 kg settling, 0,411 kg settling, 0,412 kg\n"));
  EXPECT_THAT(result.out, HasSubstr("  display  |TOTAL               |\n"
                                    "           |            R$ 45,46|\n"));
  EXPECT_THAT(result.out, HasSubstr("    |     0,412 KG x 49,90  T18         20,56|\n"));
  EXPECT_THAT(result.out, HasSubstr("    |TROCO R$                            4,54|\n"));
  EXPECT_THAT(result.out, HasSubstr("\n  Tef00000   -      Tef00000    0 of  10  all null\n"));
  EXPECT_THAT(result.out, HasSubstr(allNullAgain()));
  expectEverySlotNull();
}

TEST(Demo, AnUnreachablePackageFailsTheDemoAfterUnbindingEverySet) {
  Outcome result = host({"demo", "--package-path", emptyDirectory()});
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.err, HasSubstr("zep-host: binding ImpFiscal failed: Erro na carga do pacote: "
                                    "ZEP00101\n  because: cannot load package \"ZEP00101\""));
  EXPECT_EQ(result.out.find("A sale through the slots"), std::string::npos);
  EXPECT_THAT(result.out, HasSubstr(allNullAgain()));
}

}  // namespace
