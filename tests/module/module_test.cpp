// The module as a host that opens it at run time sees it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "names.hpp"
#include "test_platform.hpp"
#include "zep00001/zep00001.hpp"

namespace {

class OpenedModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = test_platform::openLibrary(ZEP_MODULE_FILE, error_); }
  static void* find(const std::string& name) {
    return test_platform::findSymbol(module_, name.c_str());
  }
  static void* module_;
  static std::string error_;
};
void* OpenedModule::module_ = nullptr;
std::string OpenedModule::error_;

TEST_F(OpenedModule, EverySlotIsThereAndNull) {
  ASSERT_NE(module_, nullptr) << error_;
  std::vector<std::string> names = slotNames();
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    auto* slot = static_cast<void**>(find(name));
    ASSERT_NE(slot, nullptr) << name;
    EXPECT_EQ(*slot, nullptr) << name;
  }
  EXPECT_NE(find("imprimeMesasAbertas"), nullptr);
  EXPECT_EQ(find("ImprimeMesasAbertas"), nullptr);
}

TEST_F(OpenedModule, EveryOperationIsFoundByItsPlainName) {
  ASSERT_NE(module_, nullptr) << error_;
  std::vector<std::string> names = operationNames();
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) EXPECT_NE(find(name), nullptr) << name;
  using Select = std::string (*)(std::int32_t);
  auto select = reinterpret_cast<Select>(find("RetNomeBpl_ImpFiscal"));
  EXPECT_EQ(select(21), "ZEP00102");
}

}  // namespace
