// zep-host's select table, identify and check --till, run in-process as the
// program runs them, on the simulated packages and the tree's broken and
// foreign ones.
#include "host/commands.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/report.hpp"

namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;

const std::string kPackages = ZEP_TEST_PACKAGES;
const std::string kSimulated = ZEP_SIMULATED_DIR;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome host(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = zep::host::run(arguments, {out, err, kSimulated});
  return {status, out.str(), err.str()};
}

std::string package(const std::string& directory, const std::string& name) {
  return directory + "/" + ZEP_PACKAGE_PREFIX + name + ZEP_PACKAGE_SUFFIX;
}

std::string written(const std::string& name, const std::string& text) {
  const fs::path file = fs::path(testing::TempDir()) / name;
  std::ofstream(file, std::ios::binary) << text;
  return file.string();
}

TEST(SelectTable, PrintsEachPackageWithItsCodesAndWhatAnyOtherGives) {
  Outcome fiscal = host({"select", "ImpFiscal"});
  EXPECT_EQ(fiscal.status, 0) << fiscal.err;
  EXPECT_THAT(fiscal.out, HasSubstr("  ZEP00101  1-2, 9, 20\n"));
  EXPECT_THAT(fiscal.out, HasSubstr("  ZEP00200  3-6, 17, 25\n"));
  EXPECT_THAT(fiscal.out, HasSubstr("any other code: no package: the bind loads nothing"));
  Outcome scale = host({"select", "balanca"});
  EXPECT_THAT(scale.out, HasSubstr("  X         \"1\", \"2\", \"3\", \"7\"\n"));
  EXPECT_THAT(scale.out, HasSubstr("  ZEP01200  \"4\", \"9\", \"10\", \"11\", \"12\"\n"));
  EXPECT_THAT(scale.out, HasSubstr("fails with \"Erro na carga do pacote: \""));
}

TEST(Identify, NamesTheSetTheCodesAndTheTrustOfASimulatedPackage) {
  Outcome result =
      host({"identify", package(kSimulated, "ZEP00101"), package(kSimulated, "zep03000")});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_THAT(result.out, HasSubstr("serves: ImpFiscal ("));
  EXPECT_THAT(result.out,
              HasSubstr("package ZEP00101: loaded by ImpFiscal model codes 1-2, 9, 20"));
  EXPECT_THAT(result.out, HasSubstr("package zep03000: loaded by Sat always"));
  EXPECT_THAT(result.out, HasSubstr("trust: passes where it stands"));
}

TEST(Identify, TellsABrokenAndAForeignPackageAndAFileOthersMayWrite) {
  Outcome broken = host({"identify", package(kPackages + "/broken", "ZEP00300")});
  EXPECT_EQ(broken.status, 1);
  EXPECT_THAT(broken.out, HasSubstr("serves: no set"));
  EXPECT_THAT(broken.out, HasSubstr("not loadable: it is no library: a text file"));
  const std::string foreign = package(kPackages + "/foreign", "ZEP00101");
  if (fs::exists(foreign)) {
    Outcome result = host({"identify", foreign});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.out, HasSubstr("not loadable: it is built for 32-bit x86"));
  }
  // Windows' checks read access lists when the package is loaded; the file
  // system's modes say nothing there.
  if (fs::path::preferred_separator == '\\') return;
  const fs::path directory = fs::path(testing::TempDir()) / "zep-identify";
  fs::create_directories(directory);
  fs::permissions(directory, fs::perms::others_write | fs::perms::group_write,
                  fs::perm_options::remove);
  const fs::path open = package(directory.string(), "ZEP00600");
  fs::copy_file(package(kSimulated, "ZEP00600"), open, fs::copy_options::overwrite_existing);
  fs::permissions(open, fs::perms::others_write, fs::perm_options::add);
  Outcome refused = host({"identify", open.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.out, HasSubstr("serves: Display ("));
  EXPECT_THAT(refused.out, HasSubstr("trust: refused where it stands"));
  EXPECT_THAT(refused.out, HasSubstr("refused (world-writable)"));
  if (zep::host::canPrintJson()) {
    Outcome json = host({"identify", "--json", open.string()});
    EXPECT_THAT(json.out, HasSubstr("\"kind\": \"world-writable\""));
    EXPECT_THAT(json.out, HasSubstr("\"exitStatus\": 1"));
  }
}

TEST(Till, ChecksEachLineOfTheConfigurationWithASummaryLineASet) {
  const std::string till = written("till.conf",
                                   "# the till at the door\n"
                                   "ImpFiscal 1   # the fiscal printer\n"
                                   "\n"
                                   "balanca 4\n"
                                   "Sat\n");
  Outcome result = host({"check", "--till", till, "--package-path", kSimulated});
  // The simulated devices export only the entries they simulate.
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_THAT(result.out, HasSubstr("\nsummary:\n"));
  EXPECT_THAT(result.out, HasSubstr("  ImpFiscal  1      ZEP00101"));
  EXPECT_THAT(result.out, HasSubstr("  Balanca    \"4\"    ZEP01200    3 of   3  none\n"));
  EXPECT_THAT(result.out, HasSubstr("  Sat        -      zep03000"));
}

TEST(Till, ALineNamingNoSetOrAMalformedModelIsToldWithItsNumber) {
  const struct {
    std::string text;
    std::string reason;
  } cases[] = {
      {"Sat\n# drawer\nNoSuchSet 1\n", ":3: no set is called \"NoSuchSet\""},
      {"ImpFiscal 2x\n", ":1: ImpFiscal takes a model code (a 32-bit integer), not \"2x\""},
      {"Sat\n\nDisplay 1 2\n", ":3: \"SET [MODEL]\" expected, not 3 words"},
      {"# nothing\n", "names no set"},
  };
  for (const auto& wrong : cases) {
    Outcome result = host({"check", "--till", written("bad.conf", wrong.text)});
    EXPECT_EQ(result.status, zep::host::kUsageError) << wrong.reason;
    EXPECT_THAT(result.err, HasSubstr(wrong.reason));
  }
  Outcome both = host({"check", "Sat", "--till", written("bad.conf", "Sat\n")});
  EXPECT_EQ(both.status, zep::host::kUsageError);
}

}  // namespace
