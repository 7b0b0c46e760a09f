#include <windows.h>

#include <string>

#include "platform/loaded.hpp"

namespace zep::platform {
namespace {

std::wstring widen(const std::string& text) {
  int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string narrow(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

}  // namespace

// GetModuleHandle takes a base name or a path and never adds a reference.
std::string loadedLibraryPath(const std::string& fileName) {
  HMODULE module = fileName.empty() ? nullptr : GetModuleHandleW(widen(fileName).c_str());
  if (module == nullptr) return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

bool isLoaded(const std::string& path) {
  return !path.empty() && GetModuleHandleW(widen(path).c_str()) != nullptr;
}

}  // namespace zep::platform
