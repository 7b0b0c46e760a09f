// Running out of memory inside LoadBPL_FOS: every allocation a load makes is
// failed once in turn. This program replaces the global operator new, which
// the shared package's allocations reach through the dynamic linker.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "allocations.hpp"
#include "packages.hpp"
#include "slots.hpp"
#include "zep00001/zep00001.hpp"

namespace {

using allocations::ledger;

class SharedPackageOutOfMemory : public PackagePathTest {};

TEST_F(SharedPackageOutOfMemory, FailedLoadHoldsNothingForUnloadToRelease) {
  const std::string path = packageFile("answering", "Zep00400");
  long allocations = 0;
  for (long failAt = 1;; ++failAt) {
    SCOPED_TRACE("failing allocation " + std::to_string(failAt));
    bool failed = false;
    ledger = {true, 0, failAt, ledger.live};
    try {
      LoadBPL_FOS("Zep00400");
      ledger.armed = false;
      allocations = ledger.made;
    } catch (const std::bad_alloc&) {
      ledger.armed = false;
      failed = true;
    }
    if (!failed) {
      UnLoadBPL("Zep00400");
      EXPECT_FALSE(isMapped(path));
      break;
    }
    EXPECT_FALSE(isMapped(path));
    // The failed load is no load: this unload finds nothing to release.
    UnLoadBPL("Zep00400");
    EXPECT_FALSE(isMapped(path));
    // Loads of the name are counted as before.
    expectLoadsCounted("Zep00400");
  }
  EXPECT_GT(allocations, 0) << "the shared package's allocations do not reach this operator new";
}

}  // namespace
