// The trace file on Windows: a view of the whole file, its blocks the
// file's own from the start; Windows writes a view's pages to the file when
// the process dies. Who may write the directory is not checked: Windows
// decides that by access lists, which the module reads nowhere. A view
// cannot give way to other memory in one step as a POSIX mapping does, so a
// file's view stays while the process lives (a thread may still write
// there), the file keeps its whole size, and a full file is not begun
// again from a recording thread: the threads' records are counted dropped.
#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "platform/windows.hpp"
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
  std::size_t limit = 0;
  std::string path;
  std::wstring wide;

  // The view stays: the handles go.
  void unmap() noexcept {
    if (view != nullptr) FlushViewOfFile(view, 0);
    view = nullptr;
    if (mapping != nullptr) CloseHandle(mapping);
    mapping = nullptr;
  }
};

Storage::Storage() : state_(new State) {}
Storage::~Storage() { delete state_; }

void Storage::take(const std::string& path, std::size_t limit) {
  State& s = *state_;
  s.path = path;
  s.limit = limit;
  s.wide = platform::windows::widen(path);
  // A trace that ends in a crash is what support asks for: the file of the
  // previous run is kept as FILE.1.
  WIN32_FILE_ATTRIBUTE_DATA previous{};
  if (GetFileAttributesExW(s.wide.c_str(), GetFileExInfoStandard, &previous) &&
      (previous.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (previous.nFileSizeLow != 0 || previous.nFileSizeHigh != 0)) {
    MoveFileExW(s.wide.c_str(), (s.wide + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

char* Storage::create() {
  State& s = *state_;
  // Shared for deletion: a later trace renames the file while its view
  // stays.
  s.file =
      CreateFileW(s.wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (s.file == INVALID_HANDLE_VALUE) {
    fail(GetLastError(), "cannot write the trace file \"" + s.path + "\"");
  }
  // The whole size at once: a full disk fails here.
  LARGE_INTEGER size{};
  size.QuadPart = static_cast<LONGLONG>(s.limit);
  if (!SetFilePointerEx(s.file, size, nullptr, FILE_BEGIN) || !SetEndOfFile(s.file)) {
    fail(GetLastError(), "cannot write the trace file \"" + s.path + "\"");
  }
  s.mapping = CreateFileMappingW(s.file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  if (s.mapping == nullptr) fail(GetLastError(), "cannot map the trace file \"" + s.path + "\"");
  s.view = static_cast<char*>(MapViewOfFile(s.mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (s.view == nullptr) fail(GetLastError(), "cannot map the trace file \"" + s.path + "\"");
  return s.view;
}

bool Storage::own(std::size_t, std::size_t) noexcept { return true; }

bool Storage::populate(char* at, std::size_t length) noexcept {
  for (std::size_t page = 0; page < length; page += 4096)
    __atomic_fetch_or(reinterpret_cast<unsigned long*>(at + page), 0, __ATOMIC_RELAXED);
  return true;
}

char* Storage::rotate() noexcept { return nullptr; }
void Storage::retire() noexcept {}

void Storage::close(std::size_t, bool) noexcept {
  State& s = *state_;
  s.unmap();
  if (s.file != INVALID_HANDLE_VALUE) CloseHandle(s.file);
  s.file = INVALID_HANDLE_VALUE;
}

void Storage::release() noexcept { close(0, false); }

}  // namespace zep::trace::file
