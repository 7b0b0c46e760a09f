// What the POSIX files of the platform seam share.
#pragma once

#include <sys/stat.h>

#include "platform/platform.hpp"

namespace zep::platform {

FileStatus statusOf(const struct stat& found);

}  // namespace zep::platform
