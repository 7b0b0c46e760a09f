// The module as a host that opens it with dlopen sees it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "exports.hpp"
#include "zep00001/zep00001.hpp"

namespace {

std::vector<std::string> slotNames() {
  std::vector<std::string> names;
#define ZEP_ENTRY(slot) names.push_back(#slot);
#include "zep00001/entries/slots.def"
  return names;
}

std::vector<std::string> operationNames() {
  std::vector<std::string> names;
#define ZEP_SET(set, bindArgument, unbindArgument) \
  names.push_back("InstanciaFuncoes_" #set);       \
  names.push_back("FinalizaFuncoes_" #set);
#define ZEP_SELECTION(set, argument) names.push_back("RetNomeBpl_" #set);
#include "zep00001/entries/sets.def"
#define ZEP_BUILDER(builder, pairs, parameters) names.push_back(#builder);
#include "zep00001/entries/builders.def"
  return names;
}

class OpenedModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = dlopen(ZEP_MODULE_FILE, RTLD_NOW | RTLD_LOCAL); }
  static void* module_;
};
void* OpenedModule::module_ = nullptr;

TEST_F(OpenedModule, EverySlotIsThereAndNull) {
  ASSERT_NE(module_, nullptr) << dlerror();
  std::vector<std::string> names = slotNames();
  EXPECT_EQ(names.size(), 181u);
  for (const std::string& name : names) {
    auto* slot = static_cast<void**>(dlsym(module_, name.c_str()));
    ASSERT_NE(slot, nullptr) << name;
    EXPECT_EQ(*slot, nullptr) << name;
  }
  EXPECT_NE(dlsym(module_, "imprimeMesasAbertas"), nullptr);
  EXPECT_EQ(dlsym(module_, "ImprimeMesasAbertas"), nullptr);
}

TEST_F(OpenedModule, EveryOperationIsFoundByItsPlainName) {
  ASSERT_NE(module_, nullptr) << dlerror();
  std::vector<std::string> names = operationNames();
  EXPECT_EQ(names.size(), 30u);
  for (const std::string& name : names) EXPECT_NE(dlsym(module_, name.c_str()), nullptr) << name;
  using Select = std::string (*)(std::int32_t);
  auto select = reinterpret_cast<Select>(dlsym(module_, "RetNomeBpl_ImpFiscal"));
  EXPECT_EQ(select(21), "ZEP00102");
}

TEST(ExportTable, HoldsTheHostVisibleNamesAndNothingElseOfItsOwn) {
  std::set<std::string> expected;
  for (const std::string& name : slotNames()) expected.insert(name);
  for (const std::string& name : operationNames()) expected.insert(name);
  for (const char* name : {ZEP_EXTRA_EXPORTS}) expected.insert(name);

  EXPECT_EQ(definedExports(ZEP_MODULE_FILE), expected);
}

}  // namespace
