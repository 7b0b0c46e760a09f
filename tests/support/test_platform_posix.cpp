// The tests' platform calls on Linux.
#include <dlfcn.h>
#include <stdlib.h>

#include "test_platform.hpp"

namespace test_platform {

void* openLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) error = dlerror();
  return library;
}

void closeLibrary(void* library) { dlclose(library); }

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

bool isMapped(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library != nullptr) dlclose(library);
  return library != nullptr;
}

std::string libraryFileOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}

void setEnvironment(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

void unsetEnvironment(const char* name) { unsetenv(name); }

const char* const kNotALibraryReason = "invalid ELF header";

const char kPathListSeparator = ':';

}  // namespace test_platform
