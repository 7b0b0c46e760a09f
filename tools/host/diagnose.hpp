// What zep-host check finds beyond bound and missing, read from the package's
// own file: the exports that come closest to a missing entry, linking that
// makes a package misbehave though it loads, and whether its unbind really
// unloads it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/check.hpp"

namespace zep::host {

// While the set is bound: finds the package's file among the loaded
// libraries, reads it, and adds near misses and warnings to the report.
void inspectPackage(CheckReport& report);

// After the unbind: whether the package's file is still mapped, and why.
void verifyUnload(CheckReport& report);

// The exports that come closest to `entry`: the same name in another letter
// case, names one edit away (a letter added, dropped, changed, or two
// neighbours swapped; letter case aside), and the name decorated as a
// Windows package exports it ("@Unit@Entry$qqrv"). Exports that are
// themselves entries of the table (`table`) are no near miss of another.
std::vector<NearMiss> nearMisses(std::string_view entry, const std::vector<std::string>& exports,
                                 const std::vector<std::string_view>& table);

}  // namespace zep::host
