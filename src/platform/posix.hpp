// What the POSIX files of the platform seam share.
#pragma once

#include <sys/stat.h>

#include "platform/platform.hpp"

namespace zep::platform {

FileStatus statusOf(const struct stat& found);
// The same with the access list of a regular file or directory, read
// through `descriptor`, whose `found` it is (opened with O_PATH: `pathOnly`).
FileStatus statusOf(const struct stat& found, int descriptor, bool pathOnly);
// The same read by name, for a file that is only ever judged by name.
FileStatus statusOf(const struct stat& found, const std::string& path);

}  // namespace zep::platform
