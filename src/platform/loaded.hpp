// What the diagnostics ask the loader about libraries already loaded: which
// file a package was loaded from, and whether a file is still mapped after
// its last unload.
#pragma once

#include <string>

namespace zep::platform {

// The path of the loaded library whose file is named `fileName`
// ("libZEP00101.so", "ZEP00101.bpl"), or "" when none is loaded.
std::string loadedLibraryPath(const std::string& fileName);

// Whether the library at `path` is mapped in this process; never loads it.
bool isLoaded(const std::string& path);

}  // namespace zep::platform
