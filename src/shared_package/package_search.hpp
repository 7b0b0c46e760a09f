// How the default shared package turns a package name into the files it may
// open. Kept apart from the package's three exports so that the fuzz targets
// drive this very code; the shared package links it in and exports none of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "object/image.hpp"
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

// What lets others than the package's owner put code of theirs into every
// process that loads it, as zep-host check names it. The first three refuse
// the load; what the group may write is the group's own affair, told as a
// warning.
inline constexpr const char* kWorldWritable = "world-writable";
inline constexpr const char* kForeignOwner = "foreign-owner";
inline constexpr const char* kOpenDirectory = "open-directory";
inline constexpr const char* kForeignDirectory = "foreign-directory";
inline constexpr const char* kGroupWritable = "group-writable";
inline constexpr const char* kGroupWritableDirectory = "group-writable-directory";
inline constexpr const char* kOpenAncestor = "open-ancestor";

struct TrustFinding {
  const char* kind;
  bool refused;
  // The real file or directory at fault, links resolved.
  std::string subject;
  // What is wrong, said of the package: "is writable by every user, ...".
  std::string problem;
  // The command that mends it, acting on the real file.
  std::string remedy;
};

// Who may change the package file that `found` holds open, as the statuses
// read through its descriptors show; `effectiveUser` is this process's.
// Allowed: a file of root or of that user, writable by no one else, in a
// directory of root or of that user that others cannot write or that has
// the sticky bit (as /tmp); a link to it only in such a directory too.
// Where the status carries no ownership (Windows), the platform judges
// owners and access lists instead (platform/access.hpp). With
// `refusalsOnly`, what a load asks: the warnings are not made, and the
// directories above are not read. Those are warnings only: the load holds
// the directory it checked, so swapping one above changes nothing it maps.
std::vector<TrustFinding> trustFindings(const FoundPackage& found, std::uint32_t effectiveUser,
                                        bool refusalsOnly = false);

// Whether the libraries that `image`, the package held by `package`, needs
// may be loaded with it: each one that the loader would take from a
// directory of the package's own search path (DT_RPATH, DT_RUNPATH, $ORIGIN
// being the package's directory) or that lies beside the package passes the
// package's own checks, and so do those it needs in turn. What the loader
// finds only in the system's directories is the system's. False and why in
// `reason` when one does not pass; `local` tells whether any was found there,
// so that a load of the package cannot be taken on an earlier check.
bool dependenciesTrusted(const platform::PackageFile& package, const inspect::Image& image,
                         std::uint32_t effectiveUser, std::string& reason, bool& local);

// Whether a check that began at `checkBegan` may be taken for a file with
// `identity` until it changes: a change time within a second of the check
// may be a later change on a file system that keeps whole seconds.
bool checkStands(const platform::FileStatus::Identity& identity, platform::Timestamp checkBegan);

}  // namespace zep::shared_package
