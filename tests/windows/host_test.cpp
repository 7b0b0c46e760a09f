// PKG_ZEP00001.dll as a Windows host that loads it with LoadLibrary sees it:
// every name under its decorated and its plain name, binds through the
// decorated names against .bpl packages through _dll.dll, failures that cross
// the DLL boundaries, and the animation resource in Portuguese (Brazil).
#include <windows.h>
//
#include <gtest/gtest.h>

#include <exception>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "internal_names.hpp"
#include "module_definition.hpp"
#include "names.hpp"
#include "slots.hpp"
#include "test_platform.hpp"

namespace {

const std::string kPackages = ZEP_TEST_PACKAGES;

// The names in the export directory of a loaded module.
std::set<std::string> exportDirectory(HMODULE module) {
  auto* base = reinterpret_cast<const unsigned char*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
  std::set<std::string> exported;
  for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
    exported.insert(reinterpret_cast<const char*>(base + names[i]));
  }
  return exported;
}

class LoadedModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    module_ = static_cast<HMODULE>(test_platform::openLibrary(ZEP_MODULE_FILE, error));
    ASSERT_NE(module_, nullptr) << error;
    rows_ = moduleDefinition(ZEP_MODULE_DEFINITION);
  }
  void TearDown() override { test_platform::unsetEnvironment("ZEP_PACKAGE_PATH"); }

  template <class Function>
  static Function function(const char* name) {
    return reinterpret_cast<Function>(test_platform::findSymbol(module_, name));
  }
  static void** slot(const std::string& name) {
    return reinterpret_cast<void**>(GetProcAddress(module_, name.c_str()));
  }
  static std::string decorated(const std::string& plain) {
    for (const ExportRow& row : rows_) {
      if (row.internal == plain && row.exported != plain) return row.exported;
    }
    ADD_FAILURE() << "no decorated name for " << plain;
    return plain;
  }

  static HMODULE module_;
  static std::vector<ExportRow> rows_;
};
HMODULE LoadedModule::module_ = nullptr;
std::vector<ExportRow> LoadedModule::rows_;

TEST_F(LoadedModule, FindsEveryNameDecoratedAndPlainAtTheSameAddress) {
  const std::size_t names = slotNames().size() + operationNames().size();
  ASSERT_EQ(rows_.size(), 2 * names + 4 + internalNames().size());
  std::map<std::string, FARPROC> found;
  for (const ExportRow& row : rows_) {
    found[row.exported] = GetProcAddress(module_, row.exported.c_str());
    EXPECT_NE(found[row.exported], nullptr) << row.exported;
  }
  int pairs = 0;
  for (const ExportRow& row : rows_) {
    auto plain = found.find(row.internal);
    if (row.exported == row.internal || plain == found.end()) continue;
    EXPECT_EQ(found[row.exported], plain->second) << row.exported;
    if (row.data) {
      EXPECT_EQ(*reinterpret_cast<void**>(plain->second), nullptr) << row.internal;
    }
    ++pairs;
  }
  EXPECT_EQ(static_cast<std::size_t>(pairs), names);
  EXPECT_EQ(GetProcAddress(module_, "ImprimeMesasAbertas"), nullptr);
}

TEST_F(LoadedModule, ExportsNothingElseOfItsOwn) {
  std::set<std::string> expected;
  for (const ExportRow& row : rows_) expected.insert(row.exported);
  // The animation accessor and what a host needs to catch a BindingFailure.
  for (const char* name :
       {"zep_showavi", "_ZTIN3zep14BindingFailureE", "_ZTVN3zep14BindingFailureE"})
    expected.insert(name);
  // Apart from the host interface: the module's entry for its companions.
  for (const std::string& name : internalNames()) expected.insert(name);
  EXPECT_EQ(exportDirectory(module_), expected);
}

TEST_F(LoadedModule, RuntimeEntryPointsReturn) {
  for (const char* name :
       {"Initialize", "Finalize", "@Zep00001@initialization$qqrv", "@Zep00001@Finalization$qqrv"}) {
    auto entry = function<void (*)()>(name);
    ASSERT_NE(entry, nullptr) << name;
    entry();
  }
}

TEST_F(LoadedModule, BindsCallsAndUnbindsThroughDecoratedNames) {
  test_platform::setEnvironment("ZEP_PACKAGE_PATH", kPackages + "/answering");
  auto bindFiscal =
      function<bool (*)(std::int32_t)>(decorated("InstanciaFuncoes_ImpFiscal").c_str());
  auto unbindFiscal =
      function<bool (*)(std::int32_t)>(decorated("FinalizaFuncoes_ImpFiscal").c_str());
  auto bindDisplay =
      function<bool (*)(const std::string&)>(decorated("InstanciaFuncoes_Display").c_str());
  auto unbindDisplay =
      function<bool (*)(const std::string&)>(decorated("FinalizaFuncoes_Display").c_str());
  auto bindSat = function<bool (*)()>(decorated("InstanciaFuncoes_Sat").c_str());
  auto unbindSat = function<bool (*)()>(decorated("FinalizaFuncoes_Sat").c_str());
  ASSERT_TRUE(bindFiscal && unbindFiscal && bindDisplay && unbindDisplay && bindSat && unbindSat);

  ASSERT_TRUE(bindFiscal(1));
  ASSERT_TRUE(bindDisplay("3"));
  ASSERT_TRUE(bindSat());
  EXPECT_EQ(answer(*slot("@Zep00001@StartImpFiscal")), "answering/ZEP00101:StartImpFiscal");
  EXPECT_EQ(answer(*slot("@Zep00001@imprimeMesasAbertas")),
            "answering/ZEP00101:ImprimeMesasAbertas");
  EXPECT_EQ(answer(*slot("@Zep00001@EnviaComando_Sweda")), "answering/ZEP00101:EnviaComando_Sweda");
  EXPECT_EQ(answer(*slot("@Zep00001@DisplayEnviaTexto")), "answering/ZEP01500:DisplayEnviaTexto");
  EXPECT_EQ(answer(*slot("ConsultarStatusOper_sat")), "answering/zep03000:ConsultarStatusOper_sat");

  EXPECT_TRUE(unbindFiscal(1));
  EXPECT_TRUE(unbindDisplay("3"));
  EXPECT_TRUE(unbindSat());
  EXPECT_EQ(*slot("@Zep00001@StartImpFiscal"), nullptr);
  EXPECT_EQ(*slot("@Zep00001@DisplayEnviaTexto"), nullptr);
  EXPECT_EQ(*slot("@Zep00001@ConsultarStatusOper_sat"), nullptr);
  EXPECT_FALSE(test_platform::isMapped(packageFile("answering", "ZEP00101")));
}

TEST_F(LoadedModule, SelectionAndBuildersReturnTheirTypesAcrossTheBoundary) {
  auto select =
      function<std::string (*)(const std::string&)>(decorated("RetNomeBpl_Leitor").c_str());
  ASSERT_NE(select, nullptr);
  EXPECT_EQ(select("4"), "ZEP01800");
  using Serial = zep::Value (*)(bool, const std::string&, const std::string&, const std::string&);
  auto serial = function<Serial>(decorated("Params_VerificaSerialImp_Zep00000").c_str());
  ASSERT_NE(serial, nullptr);
  zep::Value block = serial(true, "C:\\cadastro", "padrao", "BE0123456789");
  ASSERT_EQ(block.asArray().size(), 4u);
  EXPECT_EQ(block.asArray()[3].asArray()[0].asString(), "REV_NRSERIE_IMP");
  EXPECT_EQ(block.asArray()[3].asArray()[1].asString(), "BE0123456789");
}

TEST_F(LoadedModule, LoadFailureCrossesBothLibrariesWithItsCause) {
  test_platform::setEnvironment("ZEP_PACKAGE_PATH", kPackages + "/broken");
  auto bindFiscal =
      function<bool (*)(std::int32_t)>(decorated("InstanciaFuncoes_ImpFiscal").c_str());
  ASSERT_NE(bindFiscal, nullptr);
  try {
    bindFiscal(16);
    ADD_FAILURE() << "ZEP01000 bound";
  } catch (const std::runtime_error& failure) {
    EXPECT_STREQ(failure.what(), "Erro na carga do pacote: ZEP01000");
    try {
      std::rethrow_if_nested(failure);
      ADD_FAILURE() << "no cause";
    } catch (const std::runtime_error& cause) {
      std::string why = cause.what();
      EXPECT_NE(why.find("(error 126)"), std::string::npos) << why;
      EXPECT_NE(why.find("it needs " ZEP_ABSENT_DEPENDENCY), std::string::npos) << why;
    }
  }
}

TEST_F(LoadedModule, NoDependencyOfAPackageIsTakenFromTheCurrentDirectory) {
  test_platform::setEnvironment("ZEP_PACKAGE_PATH", kPackages + "/broken");
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA((kPackages + "/unreachable").c_str()));
  auto bindFiscal =
      function<bool (*)(std::int32_t)>(decorated("InstanciaFuncoes_ImpFiscal").c_str());
  bool refused = false;
  try {
    bindFiscal(16);
    auto unbindFiscal =
        function<bool (*)(std::int32_t)>(decorated("FinalizaFuncoes_ImpFiscal").c_str());
    unbindFiscal(16);
  } catch (const std::runtime_error&) {
    refused = true;
  }
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(refused) << "ZEP01000 found its dependency in the current directory";
}

TEST_F(LoadedModule, CarriesTheAnimationInPortugueseBrazil) {
  const WORD portugueseBrazil = MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN);
  HRSRC resource = FindResourceExW(module_, L"AVI", L"SHOWAVI", portugueseBrazil);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(SizeofResource(module_, resource), 66'524u);
  auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module_, resource)));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), "RIFF");
  EXPECT_EQ(
      FindResourceExW(module_, L"AVI", L"SHOWAVI", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
      nullptr);

  auto showavi = function<const std::uint8_t* (*)(std::size_t*)>("zep_showavi");
  ASSERT_NE(showavi, nullptr);
  std::size_t size = 0;
  EXPECT_EQ(showavi(&size), bytes);
  EXPECT_EQ(size, 66'524u);
}

}  // namespace
