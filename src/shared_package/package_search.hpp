// How the default shared package turns a package name into the files it may
// open. Kept apart from the package's three exports so that the fuzz targets
// drive this very code; the shared package links it in and exports none of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

namespace zep::shared_package {

// A name LoadBPL_FOS accepts: non-empty, ASCII letters, digits and '_' only,
// whatever the locale calls a letter. Nothing else can keep the file inside
// the package directories: no separator, dot, drive letter or NUL byte.
bool isBaseName(const std::string& name);

// The directories searched, in order: the absolute entries of `searchPath`
// (the value of ZEP_PACKAGE_PATH, when set), then `ownDirectory` (that of the
// shared package library) when known. Empty and relative entries are skipped,
// so the current directory is never searched. Each is given to `visit` until
// it returns true; gives whether one did. Nothing is copied: this runs on
// every load.
template <class Visit>
bool visitPackageDirectories(std::optional<std::string_view> searchPath,
                             std::string_view ownDirectory, Visit&& visit) {
  if (searchPath) {
    std::string_view rest = *searchPath;
    for (;;) {
      const std::string_view::size_type end = rest.find(platform::kPathListSeparator);
      const std::string_view entry = rest.substr(0, end);
      if (platform::isAbsolutePath(entry) && visit(entry)) return true;
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
  }
  return !ownDirectory.empty() && visit(ownDirectory);
}

// The same directories, as a list.
std::vector<std::string> packageDirectories(const std::optional<std::string>& searchPath,
                                            const std::string& ownDirectory);

// The package's file in one directory: lib<name>.so, or <name>.bpl on Windows.
std::string candidatePath(std::string_view directory, const std::string& package);

// The file a load of `package` takes: the first candidate that is a regular
// file, opened (platform::openPackageFile), and the directory it was found in.
struct FoundPackage {
  std::string file;
  std::string directory;
  platform::PackageFile opened;
};

// Searches the package directories (as visitPackageDirectories) for
// `package`'s file. Each candidate passed over adds a line to `tried`:
// "\n  <file>: no such file", or what else stands there.
std::optional<FoundPackage> findPackage(std::optional<std::string_view> searchPath,
                                        std::string_view ownDirectory, const std::string& package,
                                        std::string& tried);

// Why a candidate is not loaded, said of it: "no such file", "is a FIFO".
std::string whyNotLoaded(const platform::PackageFile& opened);

}  // namespace zep::shared_package
