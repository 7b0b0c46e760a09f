// What the check finds beyond bound and missing, read from the package's
// own file: the exports that come closest to a missing entry, linking that
// makes a package misbehave though it loads, and whether its unbind really
// unloads it.
#pragma once

#include "inspect/check.hpp"

namespace zep::inspect {

// While the set is bound: finds the package's file among the loaded
// libraries, reads it, and adds near misses and warnings to the report.
void inspectPackage(CheckReport& report);

// After the unbind: whether the package's file is still mapped, and why.
void verifyUnload(CheckReport& report);

// Whether others than its owner could rewrite the package's file, found as
// the default shared package finds it: what it refuses and what it loads
// with a warning.
void inspectTrust(CheckReport& report);

}  // namespace zep::inspect
