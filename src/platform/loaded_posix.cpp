#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/loaded.hpp"
#include "platform/platform.hpp"

namespace zep::platform {
namespace {

struct Search {
  const std::string* fileName;
  std::string path;
};

int matchFileName(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  const char* slash = std::strrchr(info->dlpi_name, '/');
  const char* name = slash != nullptr ? slash + 1 : info->dlpi_name;
  if (*search->fileName != name) return 0;
  search->path = info->dlpi_name;
  // Packages are loaded under a name beneath their directory's descriptor,
  // which means nothing to the reader: the real path is given.
  if (search->path.starts_with("/proc/self/fd/")) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(info->dlpi_name, nullptr),
                                                     &std::free);
    if (real) search->path = real.get();
  }
  return 1;
}

}  // namespace

std::string loadedLibraryPath(const std::string& fileName, const void* inside) {
  Search search{&fileName, {}};
  Dl_info info{};
  if (inside != nullptr && dladdr(inside, &info) != 0 && info.dli_fname != nullptr) {
    dl_phdr_info holder{};
    holder.dlpi_name = info.dli_fname;
    matchFileName(&holder, sizeof holder, &search);
  }
  if (search.path.empty()) dl_iterate_phdr(matchFileName, &search);
  return search.path;
}

bool isLoaded(const std::string& path) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library != nullptr) dlclose(library);
  return library != nullptr;
}

// glibc names a missing dependency in its own reason; this answers for one
// already loaded or lying beside the library.
bool dependencyReachable(const std::string& library, const std::string& directory) {
  return isLoaded(library) || isRegularFile(directory + '/' + library);
}

}  // namespace zep::platform
