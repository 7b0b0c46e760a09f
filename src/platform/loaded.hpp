// What the diagnostics ask the loader about libraries: which file a package
// was loaded from, whether a file is still mapped after its last unload, and
// whether a library's dependency can be found.
#pragma once

#include <string>

namespace zep::platform {

// The path of the loaded library whose file is named `fileName`
// ("libZEP00101.so", "ZEP00101.bpl"), or "" when none is loaded. Given
// `inside`, an address in the library meant (a bound entry), that one: the
// first of that name may be another, still mapped.
std::string loadedLibraryPath(const std::string& fileName, const void* inside = nullptr);

// Whether the library at `path` is mapped in this process; never loads it.
bool isLoaded(const std::string& path);

// Whether the loader would find the dependency `library` of a library in
// `directory`, as it searches for a package's dependencies; runs no code of
// it.
bool dependencyReachable(const std::string& library, const std::string& directory);

}  // namespace zep::platform
