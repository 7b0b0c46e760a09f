// POSIX: owners and permission bits come with a file's status, and the
// shared trust code judges them there.
#include "platform/access.hpp"

namespace zep::platform {

std::vector<AccessFinding> accessFindings(const PackageFile&) { return {}; }

bool dependenciesBesideTrusted(const PackageFile&, const LibraryNames&, NeededLibraries,
                               std::string&, bool& local) {
  local = false;
  return true;
}

}  // namespace zep::platform
