#include <windows.h>

#include <cstring>

#include "platform/loaded.hpp"
#include "platform/platform.hpp"
#include "platform/windows.hpp"

namespace zep::platform {

// GetModuleHandle takes a base name or a path and never adds a reference;
// a module of one base name is loaded once.
std::string loadedLibraryPath(const std::string& fileName, const void*) {
  HMODULE module = fileName.empty() ? nullptr : GetModuleHandleW(windows::widen(fileName).c_str());
  return module == nullptr ? std::string() : windows::narrow(windows::moduleFileName(module));
}

bool isLoaded(const std::string& path) {
  return !path.empty() && GetModuleHandleW(windows::widen(path).c_str()) != nullptr;
}

bool dependencyReachable(const std::string& library, const std::string& directory) {
  // API sets are names the system resolves itself, not files.
  if (_strnicmp(library.c_str(), "api-ms-", 7) == 0 ||
      _strnicmp(library.c_str(), "ext-ms-", 7) == 0)
    return true;
  std::wstring name = windows::widen(library);
  if (GetModuleHandleW(name.c_str()) != nullptr) return true;
  if (isRegularFile(directory + '\\' + library)) return true;
  // The loader looks beside the package and in System32 only (Wine's
  // search for a data file would also take PATH and the current directory).
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return length != 0 && length < MAX_PATH &&
         isRegularFile(windows::narrow(system, length) + '\\' + library);
}

}  // namespace zep::platform
