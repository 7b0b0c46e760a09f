// How the default shared package turns a package name into the files it may
// open. Kept apart from the package's three exports so that the fuzz targets
// drive this very code; the shared package links it in and exports none of it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zep::shared_package {

// A name LoadBPL_FOS accepts: non-empty, ASCII letters, digits and '_' only,
// whatever the locale calls a letter. Nothing else can keep the file inside
// the package directories: no separator, dot, drive letter or NUL byte.
bool isBaseName(const std::string& name);

// The directories searched, in order: the absolute entries of `searchPath`
// (the value of ZEP_PACKAGE_PATH, when set), then `ownDirectory` (that of the
// shared package library) when known. Empty and relative entries are skipped,
// so the current directory is never searched.
std::vector<std::string> packageDirectories(const std::optional<std::string>& searchPath,
                                            const std::string& ownDirectory);

// The package's file in one directory: lib<name>.so, or <name>.bpl on Windows.
std::string candidatePath(const std::string& directory, const std::string& package);

}  // namespace zep::shared_package
