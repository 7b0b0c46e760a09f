// Running out of memory inside a builder: every allocation it makes is failed
// once in turn. This program replaces the global operator new, which the
// module's allocations reach through the dynamic linker; the counts are of
// this one thread's calls, made while a builder runs.
#include <gtest/gtest.h>

#include <string>

#include "allocations.hpp"
#include "blocks.hpp"

namespace {

using allocations::ledger;
using blocks::Arguments;
using blocks::Builder;
using zep::Value;
using Tag = Value::Tag;

// Long texts, so that copying each one allocates too.
Value longArgument(Tag tag, int parameter) {
  return blocks::byTag(tag, std::string(64, static_cast<char>('A' + parameter)), parameter,
                       parameter + 0.5, true);
}

TEST(BuilderOutOfMemory, EveryFailedAllocationReachesTheCallerAndNothingLeaks) {
  for (const Builder& builder : blocks::builders()) {
    SCOPED_TRACE(builder.name);
    const Arguments arguments = blocks::argumentsFor(builder, longArgument);
    const Arguments before = arguments;
    const Value expected = blocks::expectedBlock(builder, arguments);
    long allocations = 0;
    for (long failAt = 1;; ++failAt) {
      const long liveBefore = ledger.live;
      bool failed = false;
      ledger = {true, 0, failAt, ledger.live};
      try {
        const Value block = builder.call(arguments);
        ledger.armed = false;
        EXPECT_EQ(block, expected);
        allocations = ledger.made;
      } catch (const std::bad_alloc&) {
        ledger.armed = false;
        failed = true;
      }
      EXPECT_EQ(ledger.live, liveBefore) << "after failing allocation " << failAt;
      EXPECT_EQ(arguments, before);
      if (!failed) break;
    }
    // Keys, pairs, the block and 64-byte texts all come from the heap.
    EXPECT_GT(allocations, static_cast<long>(builder.rows.size()))
        << "the module's allocations do not reach this operator new";
  }
}

}  // namespace
