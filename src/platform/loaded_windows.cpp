#include <windows.h>

#include "platform/loaded.hpp"
#include "platform/windows.hpp"

namespace zep::platform {

// GetModuleHandle takes a base name or a path and never adds a reference.
std::string loadedLibraryPath(const std::string& fileName) {
  HMODULE module = fileName.empty() ? nullptr : GetModuleHandleW(windows::widen(fileName).c_str());
  return module == nullptr ? std::string() : windows::narrow(windows::moduleFileName(module));
}

bool isLoaded(const std::string& path) {
  return !path.empty() && GetModuleHandleW(windows::widen(path).c_str()) != nullptr;
}

}  // namespace zep::platform
