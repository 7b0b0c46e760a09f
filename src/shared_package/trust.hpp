// Who may change a package file or a library it needs: what refuses a load,
// and what `zep-host check` tells besides. Read from POSIX owners and
// permission bits; a Windows implementation of the same entry points reads
// owners and access lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "shared_package/package_search.hpp"

namespace zep::shared_package {

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
inline constexpr const char* kForeignLink = "foreign-link";

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
// the sticky bit (as /tmp); a link to it only in such a directory too, and
// made by root or that user (the kernel's protected_symlinks rule: another
// user's link chooses which file is loaded).
// Where the status carries no ownership (Windows), the platform judges
// owners and access lists instead (platform/access.hpp). With
// `refusalsOnly`, what a load asks: the warnings are not made, and the
// directories above are not read. Those are warnings only: the load holds
// the directory it checked, so swapping one above changes nothing it maps.
std::vector<TrustFinding> trustFindings(const FoundPackage& found, std::uint32_t effectiveUser,
                                        bool refusalsOnly = false);

// What refuses one step of a path the loader would take by name (a
// directory others may write, a link another user made), said of `place`
// ("is found through "); nothing when it is sound.
std::optional<TrustFinding> stepRefusal(const platform::PathStep& step, std::uint32_t effectiveUser,
                                        const std::string& place);

// Whether the access list of what `status` describes leaves who may write
// it undecided, or lets a user other than root and `effectiveUser` write.
bool accessRefused(const platform::FileStatus& status, std::uint32_t effectiveUser);

// The refusals joined as a load gives them: "problem; remedy: ...".
std::string refusalText(const std::vector<TrustFinding>& refusals, const std::string& separator);

// Whether a check that began at `checkBegan` may be taken for a file with
// `identity` until it changes: a change time within a second of the check
// may be a later change on a file system that keeps whole seconds.
bool checkStands(const platform::FileStatus::Identity& identity, platform::Timestamp checkBegan);

}  // namespace zep::shared_package
