// The platform seam on Windows (MinGW-w64). Paths cross the seam as UTF-8 and
// meet the system as UTF-16, so a package directory with accents works.
#include "platform/windows.hpp"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/platform.hpp"
#include "platform/windows_trust.hpp"

namespace zep::platform {

namespace windows {

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int size =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  int size =
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr,
                      nullptr);
  return utf8;
}

std::wstring moduleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

// Without its closing line break.
std::string systemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message = buffer != nullptr ? narrow(buffer, length) : std::string();
  LocalFree(buffer);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "the loader gave no reason";
  return message + " (error " + std::to_string(error) + ")";
}

}  // namespace windows

namespace {

using windows::narrow;
using windows::systemMessage;
using windows::widen;

// The loader wants '\' in a path it is to search beside, whatever else
// accepts '/'.
std::wstring nativePath(const std::string& path) {
  std::wstring wide = widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

std::string directoryPart(const std::string& path) {
  std::string::size_type separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

}  // namespace

Library openLibrary(const std::string& path, std::string& reason) {
  std::wstring wide = nativePath(path);
  if (wide.empty() || path.find('\0') != std::string::npos) {
    reason = "no usable path";
    return nullptr;
  }
  HMODULE library;
  DWORD error;
  {
    windows::QuietLoader quiet;
    library = LoadLibraryExW(wide.c_str(), nullptr, windows::kPackageSearch);
    error = GetLastError();
  }
  // The package holds its own references to what was loaded ahead of it.
  windows::releasePreloaded(library);
  if (library == nullptr) reason = systemMessage(error);
  return library;
}

void closeLibrary(Library library) noexcept {
  if (library == nullptr) return;
  FreeLibrary(static_cast<HMODULE>(library));
  windows::releaseKept(static_cast<HMODULE>(library));
}

// GetProcAddress already searches the one module's own export table, which
// is exactly the lookup the bind needs; the address ranges stay unused here.
Exports::Exports(Library library) : library_(library) {}

void* Exports::findElsewhere(const char* name) const noexcept {
  if (library_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library_), name));
}

std::string packageFileName(const std::string& package) { return package + ".bpl"; }

namespace {

// The loaded module that holds `address`, or null.
HMODULE moduleHolding(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const wchar_t*>(address), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace

std::string directoryOf(const void* address) {
  HMODULE module = moduleHolding(address);
  return module == nullptr ? std::string() : directoryPart(narrow(windows::moduleFileName(module)));
}

void* exportOfLibraryHolding(const void* address, const char* name, std::string& file) {
  HMODULE module = moduleHolding(address);
  if (module == nullptr) return nullptr;
  file = narrow(windows::moduleFileName(module));
  return reinterpret_cast<void*>(GetProcAddress(module, name));
}

bool isRegularFile(const std::string& path) {
  DWORD attributes = GetFileAttributesW(widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<FileStatus> fileStatus(const std::string& path) {
  DWORD attributes = GetFileAttributesW(widen(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  FileStatus status;
  status.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileStatus::Kind::Directory
                                                             : FileStatus::Kind::Regular;
  return status;
}

std::uintptr_t closeLibraryAndTellIfGone(Library library) noexcept {
  closeLibrary(library);
  return 0;
}

bool stillMapped(std::uintptr_t) noexcept { return false; }

std::uint32_t effectiveUser() { return 0; }

Timestamp changeClock() { return {}; }

bool readFileHead(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& head,
                  std::uint64_t& size) {
  HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER whole{};
  bool read = GetFileSizeEx(file, &whole) != 0;
  if (read) {
    size = static_cast<std::uint64_t>(whole.QuadPart);
    head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
    DWORD got = 0;
    read = ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr) != 0 &&
           got == head.size();
  }
  CloseHandle(file);
  return read;
}

// Fully qualified only: "C:\dir" or "C:/dir", and "\\server\share". "\dir"
// and "C:dir" depend on the current drive or directory, so they are relative.
bool isAbsolutePath(std::string_view path) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  bool drive = path.size() >= 3 &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (drive && path[1] == ':' && separator(path[2])) {
    return true;
  }
  return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

std::optional<std::string> environment(const char* name) {
  std::wstring wideName = widen(name);
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::wstring value(size, L'\0');
  DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  value.resize(length);
  return narrow(value);
}

std::optional<std::string_view> environment(const char* name, std::string& storage) {
  std::optional<std::string> value = environment(name);
  if (!value) return std::nullopt;
  storage = std::move(*value);
  return std::string_view(storage);
}

}  // namespace zep::platform
