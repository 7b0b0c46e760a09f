// The tests' platform calls on Windows.
#include <windows.h>

#include "test_platform.hpp"

namespace test_platform {
namespace {

std::wstring widen(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
  return wide;
}

std::string narrow(const std::wstring& text) {
  std::string utf8(text.size() * 3 + 1, '\0');
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(),
                                   static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(length > 0 ? static_cast<std::size_t>(length) - 1 : 0);
  return utf8;
}

std::wstring withBackslashes(const std::string& path) {
  std::wstring wide = widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

}  // namespace

void* openLibrary(const std::string& path, std::string& error) {
  HMODULE library =
      LoadLibraryExW(withBackslashes(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr)
    error = "LoadLibraryExW failed with error " + std::to_string(GetLastError());
  return library;
}

void closeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

void* findSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool isMapped(const std::string& path) {
  return GetModuleHandleW(withBackslashes(path).c_str()) != nullptr;
}

std::string libraryFileOf(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const wchar_t*>(address), &module)) {
    return {};
  }
  wchar_t path[MAX_PATH * 4];
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 4);
  return narrow(std::wstring(path, length));
}

void setEnvironment(const char* name, const std::string& value) {
  SetEnvironmentVariableW(widen(name).c_str(), widen(value).c_str());
}

void unsetEnvironment(const char* name) { SetEnvironmentVariableW(widen(name).c_str(), nullptr); }

// The module's loader gives the system's text and its error code.
const char* const kNotALibraryReason = "(error 193)";

const char kPathListSeparator = ';';

}  // namespace test_platform
