// The module's ELF export table against the host-visible names.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "exports.hpp"
#include "internal_names.hpp"
#include "names.hpp"

namespace {

TEST(ExportTable, HoldsTheHostVisibleNamesAndNothingElseOfItsOwn) {
  std::set<std::string> expected;
  for (const std::string& name : slotNames()) expected.insert(name);
  for (const std::string& name : operationNames()) expected.insert(name);
  for (const char* name : {ZEP_EXTRA_EXPORTS}) expected.insert(name);
  // Apart from the host interface: the module's entry for its companions.
  for (const std::string& name : internalNames()) expected.insert(name);

  EXPECT_EQ(definedExports(ZEP_MODULE_FILE), expected);
}

}  // namespace
