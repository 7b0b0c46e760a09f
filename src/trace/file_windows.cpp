// The trace file on Windows: a view of the whole file, its blocks the
// file's own from the start; Windows writes a view's pages to the file when
// the process dies. The file is made only in a directory that passes the
// package rule, with an access list for this process's user alone. A view
// cannot give way to other memory in one step as a POSIX mapping does: the
// view of a file ended stays until the file after it ends too (a thread
// that took a region before the end may still write there), and the file
// keeps its whole size.
#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>
#include <utility>

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
  char* ended = nullptr;  // the view of the file before
  std::size_t limit = 0;
  std::string path;
  std::wstring wide;
  std::wstring older;  // FILE.1
  platform::windows::PrivateFileSecurity security;

  // The view stays, as the one of the file before; that one goes.
  void unmap() noexcept {
    if (view != nullptr) {
      if (ended != nullptr) UnmapViewOfFile(ended);
      ended = std::exchange(view, nullptr);
    }
    if (mapping != nullptr) CloseHandle(mapping);
    mapping = nullptr;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
  }
};

namespace {

// A new file of `limit` zero bytes at `name`, mapped whole: its handles and
// view, or the error. From a recording thread too: calls of kernel32 only,
// which keep what a Windows call must keep.
DWORD created(const std::wstring& name, SECURITY_ATTRIBUTES* security, std::size_t limit,
              HANDLE& file, HANDLE& mapping, char*& view) noexcept {
  // Shared for deletion: a later trace renames the file while its view
  // stays.
  file =
      CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  security, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  // The whole size at once: a full disk fails here.
  LARGE_INTEGER size{};
  size.QuadPart = static_cast<LONGLONG>(limit);
  mapping = nullptr;
  view = nullptr;
  if (SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file))
    mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  if (mapping != nullptr)
    view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (view != nullptr) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (mapping != nullptr) CloseHandle(mapping);
  CloseHandle(file);
  return error;
}

}  // namespace

Storage::Storage() : state_(new State) {}
Storage::~Storage() { delete state_; }

void Storage::take(const std::string& path, std::size_t limit) {
  State& s = *state_;
  s.path = path;
  s.limit = limit;
  s.wide = platform::windows::widen(path);
  s.security.requireDirectoryOf(path, "the trace file");
  s.older = s.wide + L".1";
  // The view of the file of the trace before gives way.
  s.unmap();
  if (s.ended != nullptr) UnmapViewOfFile(s.ended);
  s.ended = nullptr;
  // A trace that ends in a crash is what support asks for: the file of the
  // previous run is kept as FILE.1.
  WIN32_FILE_ATTRIBUTE_DATA previous{};
  if (GetFileAttributesExW(s.wide.c_str(), GetFileExInfoStandard, &previous) &&
      (previous.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (previous.nFileSizeLow != 0 || previous.nFileSizeHigh != 0)) {
    MoveFileExW(s.wide.c_str(), s.older.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

char* Storage::create() {
  State& s = *state_;
  const DWORD error = created(s.wide, s.security.attributes(), s.limit, s.file, s.mapping, s.view);
  if (error != ERROR_SUCCESS) fail(error, "cannot write the trace file \"" + s.path + "\"");
  return s.view;
}

bool Storage::own(std::size_t, std::size_t) noexcept { return true; }

bool Storage::populate(char* at, std::size_t length) noexcept {
  for (std::size_t page = 0; page < length; page += 4096)
    __atomic_fetch_or(reinterpret_cast<unsigned long*>(at + page), 0, __ATOMIC_RELAXED);
  return true;
}

// FILE.1 (the file before, whose view goes now) gives way to FILE.
char* Storage::rotate() noexcept {
  State& s = *state_;
  if (s.ended != nullptr) UnmapViewOfFile(s.ended);
  s.ended = nullptr;
  if (!MoveFileExW(s.wide.c_str(), s.older.c_str(), MOVEFILE_REPLACE_EXISTING)) return nullptr;
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  char* view = nullptr;
  if (created(s.wide, s.security.attributes(), s.limit, file, mapping, view) != ERROR_SUCCESS)
    return nullptr;
  s.unmap();
  s.file = file;
  s.mapping = mapping;
  s.view = view;
  return view;
}

void Storage::retire() noexcept {}

void Storage::close(std::size_t, bool) noexcept {
  if (state_->view != nullptr) FlushViewOfFile(state_->view, 0);
  state_->unmap();
}

void Storage::release() noexcept { close(0, false); }

}  // namespace zep::trace::file
