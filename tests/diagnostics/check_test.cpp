// zep-host check on every platform: the exports closest to a missing entry,
// a missing dependency, and a sound package that unloads.
#include "inspect/check.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "checking.hpp"
#include "images.hpp"

namespace {

using namespace checking;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(NearMisses, AreOtherLetterCasesOneEditAndDecoratedNames) {
  using zep::inspect::nearMisses;
  const std::vector<std::string> exports = {"StartTefDedicado",   "startefdedicado",
                                            "StraTefDedicado",    "StaTefDedicado",
                                            "StarTefDedicadoX",   "Sta",
                                            "StartTefDedicadoXY", "@Tef00000@StarTefDedicado$qqrv",
                                            "StarTefDedicadx"};
  std::vector<std::string> found;
  for (const auto& near : nearMisses("StarTefDedicado", exports, {"StarTefDedicadx"})) {
    found.push_back(near.name + " / " + near.how);
  }
  EXPECT_THAT(found,
              ElementsAre("startefdedicado / another letter case",
                          "StartTefDedicado / one edit away", "StraTefDedicado / one edit away",
                          "StaTefDedicado / one edit away", "StarTefDedicadoX / one edit away",
                          "@Tef00000@StarTefDedicado$qqrv / decorated"));
}

TEST(CheckDiagnostics, NamesTheExportThatComesClosestToAMissingEntry) {
  Outcome misspelt = check("variant", {"Tef00000"});
  EXPECT_EQ(misspelt.status, 1);
  EXPECT_THAT(misspelt.out,
              HasSubstr("  missing  StarTefDedicado\n"
                        "             the package exports StartTefDedicado, one edit away\n"));
  json document = checkJson("variant", {"Tef00000"});
  EXPECT_EQ(entry(document, "StarTefDedicado")["nearMisses"],
            json::parse(R"([{"name": "StartTefDedicado", "how": "one edit away"}])"));

  Outcome miscased = check("slotspelling", {"ImpFiscal", "1"});
  EXPECT_THAT(
      miscased.out,
      HasSubstr("  missing  ImprimeMesasAbertas (slot imprimeMesasAbertas)\n"
                "             the package exports imprimeMesasAbertas, another letter case\n"));
}

// A DLL of the other width where a package should be: on Windows a DLL a
// process of this width cannot load, on Linux no ELF library at all.
TEST(CheckDiagnostics, NamesWhatAPackageFileIsBuiltFor) {
  const zep::object::ImageTarget own = zep::object::processTarget();
  const bool windows = own.format == zep::object::ImageFormat::Pe;
  const bool other64 = windows && own.bits == 32;
  const std::filesystem::path directory = std::filesystem::path(testing::TempDir()) / "zep-width";
  std::filesystem::create_directories(directory);
  std::vector<std::uint8_t> dll = other64 ? peImage(0x8664, 64, {"StartImpFiscal"}, {})
                                          : peImage(0x014c, 32, {"StartImpFiscal"}, {});
  std::ofstream(directory / (ZEP_PACKAGE_PREFIX "ZEP00101" ZEP_PACKAGE_SUFFIX), std::ios::binary)
      .write(reinterpret_cast<const char*>(dll.data()), static_cast<std::streamsize>(dll.size()));
  std::ostringstream out, err;
  int status = zep::host::run({"check", "ImpFiscal", "1", "--package-path", directory.string()},
                              {out, err, {}});
  EXPECT_EQ(status, 2);
  const char* expected = !windows  ? "is a Windows DLL (32-bit x86), not an ELF shared library"
                         : other64 ? "is a 64-bit x86-64 DLL; this process is 32-bit x86"
                                   : "is a 32-bit x86 DLL; this process is 64-bit x86-64";
  EXPECT_THAT(out.str(), HasSubstr(expected));
  std::filesystem::remove_all(directory);
}

TEST(CheckDiagnostics, NamesTheDependencyThatIsMissing) {
  json dependent = checkJson("broken", {"ImpFiscal", "16"});
  EXPECT_EQ(dependent["exitStatus"], 2);
  EXPECT_EQ(dependent["failure"]["message"], "Erro na carga do pacote: ZEP01000");
  EXPECT_THAT(dependent["failure"]["causes"][0].get<std::string>(),
              HasSubstr("zep_absent_dependency"));
}

TEST(CheckDiagnostics, PassesASoundPackageThatUnloads) {
  json sound = checkJson("answering", {"Sat", "--unload"});
  EXPECT_EQ(sound["exitStatus"], 0);
  EXPECT_EQ(sound["warnings"], json::array());
  EXPECT_EQ(sound["unload"]["unloaded"], true);
  EXPECT_EQ(test_platform::withSlashes(sound["file"]),
            kPackages + "/answering/" ZEP_PACKAGE_PREFIX "zep03000" ZEP_PACKAGE_SUFFIX);
}

}  // namespace
