// zep-host check on every platform: the exports closest to a missing entry,
// a missing dependency, and a sound package that unloads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "checking.hpp"
#include "host/diagnose.hpp"

namespace {

using namespace checking;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(NearMisses, AreOtherLetterCasesOneEditAndDecoratedNames) {
  using zep::host::nearMisses;
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
