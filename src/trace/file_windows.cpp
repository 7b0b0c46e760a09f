// The trace file on Windows: a view of the file, mapped again as it grows;
// Windows writes a view's pages to the file when the process dies; in a
// directory that passes the package rule, with an access list for this
// process's user alone. And the clock and ids of the events.
#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/windows.hpp"
#include "platform/windows_trust.hpp"
#include "trace/file.hpp"
#include "trace/storage.hpp"

namespace zep::trace::file {
namespace {

[[noreturn]] void fail(DWORD error, const std::string& what) {
  throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

}  // namespace

struct Storage::State {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  char* view = nullptr;
  std::string path;
  std::wstring wide;
  platform::windows::PrivateFileSecurity security;

  void unmap() noexcept {
    if (view != nullptr) UnmapViewOfFile(view);
    view = nullptr;
    if (mapping != nullptr) CloseHandle(mapping);
    mapping = nullptr;
  }
};

Storage::Storage() : state_(new State) {}
Storage::~Storage() { delete state_; }

void Storage::take(const std::string& path, std::size_t) {
  State& s = *state_;
  s.path = path;
  s.wide = platform::windows::widen(path);
  s.security.requireDirectoryOf(path, "the trace file");
  // A trace that ends in a crash is what support asks for: the file of the
  // previous run is kept as FILE.1.
  WIN32_FILE_ATTRIBUTE_DATA previous{};
  if (GetFileAttributesExW(s.wide.c_str(), GetFileExInfoStandard, &previous) &&
      (previous.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (previous.nFileSizeLow != 0 || previous.nFileSizeHigh != 0)) {
    MoveFileExW(s.wide.c_str(), (s.wide + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

void Storage::create() {
  State& s = *state_;
  s.file = CreateFileW(s.wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                       s.security.attributes(), CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (s.file == INVALID_HANDLE_VALUE) {
    fail(GetLastError(), "cannot write the trace file \"" + s.path + "\"");
  }
}

// A mapping cannot outgrow its file without growing the file, with zeros:
// the view is made again over the file as it now is.
char* Storage::grow(std::size_t from, std::size_t to) {
  State& s = *state_;
  static const std::string spaces(std::size_t{64} << 10, ' ');
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(from);
  if (!SetFilePointerEx(s.file, at, nullptr, FILE_BEGIN)) {
    fail(GetLastError(), "cannot write the trace file \"" + s.path + "\"");
  }
  while (from < to) {
    const DWORD chunk = static_cast<DWORD>(std::min(spaces.size(), to - from));
    DWORD written = 0;
    if (!WriteFile(s.file, spaces.data(), chunk, &written, nullptr) || written == 0) {
      fail(GetLastError(), "cannot write the trace file \"" + s.path + "\"");
    }
    from += written;
  }
  s.unmap();
  s.mapping = CreateFileMappingW(s.file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  if (s.mapping == nullptr) fail(GetLastError(), "cannot map the trace file \"" + s.path + "\"");
  s.view = static_cast<char*>(MapViewOfFile(s.mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (s.view == nullptr) fail(GetLastError(), "cannot map the trace file \"" + s.path + "\"");
  return s.view;
}

void Storage::close(std::size_t length) noexcept {
  State& s = *state_;
  s.unmap();
  if (s.file != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    if (SetFilePointerEx(s.file, at, nullptr, FILE_BEGIN)) SetEndOfFile(s.file);
    CloseHandle(s.file);
  }
  s.file = INVALID_HANDLE_VALUE;
}

void Storage::rotate() {
  State& s = *state_;
  if (!MoveFileExW(s.wide.c_str(), (s.wide + L".1").c_str(), MOVEFILE_REPLACE_EXISTING)) {
    fail(GetLastError(), "cannot rename the full trace file \"" + s.path + "\"");
  }
}

void Storage::release() noexcept { forget(); }

void Storage::forget() noexcept {
  State& s = *state_;
  s.unmap();
  if (s.file != INVALID_HANDLE_VALUE) CloseHandle(s.file);
  s.file = INVALID_HANDLE_VALUE;
}

std::uint64_t now() noexcept {
  FILETIME time{};
  GetSystemTimePreciseAsFileTime(&time);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  // 100 ns ticks since 1601; the events count from 1970.
  return (ticks - 116444736000000000ull) * 100;
}

std::uint32_t processId() noexcept { return GetCurrentProcessId(); }
std::uint32_t threadId() noexcept { return GetCurrentThreadId(); }

}  // namespace zep::trace::file
