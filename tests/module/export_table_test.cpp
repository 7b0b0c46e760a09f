// The module's ELF export table against the host-visible names.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "exports.hpp"
#include "names.hpp"

namespace {

TEST(ExportTable, HoldsTheHostVisibleNamesAndNothingElseOfItsOwn) {
  std::set<std::string> expected;
  for (const std::string& name : slotNames()) expected.insert(name);
  for (const std::string& name : operationNames()) expected.insert(name);
  for (const char* name : {ZEP_EXTRA_EXPORTS}) expected.insert(name);

  EXPECT_EQ(definedExports(ZEP_MODULE_FILE), expected);
}

}  // namespace
