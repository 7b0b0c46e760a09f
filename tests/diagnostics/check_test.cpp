// zep-host check against packages that will not bind or will misbehave: each
// report names what a driver author needs, in the text and in the JSON.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/commands.hpp"
#include "host/diagnose.hpp"
#include "packages.hpp"
#include "slots.hpp"

namespace {

using nlohmann::json;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

struct Outcome {
  int status;
  std::string out;
};

Outcome check(const std::string& directory, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "check");
  arguments.insert(arguments.end(), {"--package-path", kPackages + "/" + directory});
  std::ostringstream out, err;
  int status = zep::host::run(arguments, {out, err, {}});
  return {status, out.str() + err.str()};
}

json checkJson(const std::string& directory, std::vector<std::string> arguments) {
  arguments.push_back("--json");
  Outcome outcome = check(directory, arguments);
  json document = json::parse(outcome.out);
  EXPECT_EQ(document["exitStatus"], outcome.status);
  return document;
}

json entry(const json& document, const std::string& name) {
  for (const json& row : document["entries"]) {
    if (row["entry"] == name) return row;
  }
  ADD_FAILURE() << "no entry " << name;
  return {};
}

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

TEST(CheckDiagnostics, ExplainsAPackageThatDoesNotLoad) {
  json dependent = checkJson("broken", {"ImpFiscal", "16"});
  EXPECT_EQ(dependent["exitStatus"], 2);
  EXPECT_EQ(dependent["failure"]["message"], "Erro na carga do pacote: ZEP01000");
  EXPECT_THAT(dependent["failure"]["causes"][0].get<std::string>(),
              HasSubstr("libZEP01000.so: needs libzep_absent_dependency.so, which the loader finds "
                        "nowhere on its search path"));

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

  json unique = checkJson("unique", {"Zep00000", "--unload"});
  if (unique["warnings"].empty()) GTEST_SKIP() << "no GNU-unique package (not GCC)";
  EXPECT_EQ(unique["warnings"][0]["kind"], "never-unloaded");
  EXPECT_EQ(unique["warnings"][0]["names"], json::array({"openPorts()::count"}));
  EXPECT_EQ(
      unique["unload"],
      json::parse(R"({"unloaded": false, "reason": "its GNU-unique symbols keep it mapped"})"));
}

TEST(CheckDiagnostics, PassesASoundPackageThatUnloads) {
  json sound = checkJson("answering", {"Sat", "--unload"});
  EXPECT_EQ(sound["exitStatus"], 0);
  EXPECT_EQ(sound["warnings"], json::array());
  EXPECT_EQ(sound["unload"]["unloaded"], true);
  EXPECT_EQ(sound["file"], kPackages + "/answering/libzep03000.so");
}

}  // namespace
