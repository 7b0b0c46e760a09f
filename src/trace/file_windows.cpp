// The trace file on Windows: a view of the file, grown by writing spaces
// (so that a full disk fails a write here, never a store into the view,
// and the padding after the last event is JSON whitespace) and mapped again
// at each growth. Windows writes a view's pages to the file when the process
// dies. Who may write the directory is not checked here: Windows decides
// that by access lists, which the module reads nowhere.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "platform/windows.hpp"
#include "trace/file.hpp"

namespace zep::trace::file {
namespace {

constexpr std::size_t kDefaultLimit = std::size_t{64} << 20;
constexpr std::size_t kLeastLimit = std::size_t{64} << 10;
constexpr std::size_t kGrowth = std::size_t{1} << 20;
constexpr char kClosing[] = "\r\n]\r\n";
constexpr std::size_t kClosingLength = sizeof kClosing - 1;

[[noreturn]] void fail(DWORD error, const std::string& what) {
  throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

class Writer {
 public:
  void open(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock_);
    finish();
    failure_.clear();
    path_ = path;
    wide_ = platform::windows::widen(path);
    limit_ = limitFromEnvironment();
    // A trace that ends in a crash is what support asks for: the file of
    // the previous run is kept as FILE.1.
    WIN32_FILE_ATTRIBUTE_DATA previous{};
    if (GetFileAttributesExW(wide_.c_str(), GetFileExInfoStandard, &previous) &&
        (previous.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (previous.nFileSizeLow != 0 || previous.nFileSizeHigh != 0)) {
      MoveFileExW(wide_.c_str(), (wide_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    start();
  }

  void close() noexcept {
    std::lock_guard<std::mutex> hold(lock_);
    finish();
  }

  void append(const char* event, std::size_t length) noexcept {
    std::lock_guard<std::mutex> hold(lock_);
    if (view_ == nullptr) return;
    const std::size_t need = length + (first_ ? 0 : 3);
    try {
      if (used_ + need + kClosingLength > limit_) rotate();
      if (used_ + need + kClosingLength > filled_) grow();
    } catch (const std::exception& failure) {
      failure_ = failure.what();
      finish();
      return;
    }
    if (!first_) {
      std::memcpy(view_ + used_, ",\r\n", 3);
      used_ += 3;
    }
    std::memcpy(view_ + used_, event, length);
    used_ += length;
    first_ = false;
  }

  bool isOpen() const noexcept { return open_.load(std::memory_order_relaxed); }

  std::string takeFailure() {
    std::lock_guard<std::mutex> hold(lock_);
    return std::exchange(failure_, std::string());
  }

 private:
  static std::size_t limitFromEnvironment() {
    const char* text = std::getenv("ZEP_TRACE_LIMIT");
    if (text == nullptr || *text == '\0') return kDefaultLimit;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0') return kDefaultLimit;
    return std::max<std::size_t>(kLeastLimit, static_cast<std::size_t>(value));
  }

  void start() {
    file_ = CreateFileW(wide_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) {
      fail(GetLastError(), "cannot write the trace file \"" + path_ + "\"");
    }
    filled_ = 0;
    used_ = 0;
    try {
      grow();
    } catch (...) {
      finish();
      throw;
    }
    std::memcpy(view_, "[\r\n", 3);
    used_ = 3;
    first_ = true;
    open_.store(true, std::memory_order_relaxed);
  }

  void unmap() noexcept {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    view_ = nullptr;
    if (mapping_ != nullptr) CloseHandle(mapping_);
    mapping_ = nullptr;
  }

  // Writes spaces past what is filled, then maps the whole file again.
  void grow() {
    static const std::string spaces(std::size_t{64} << 10, ' ');
    const std::size_t target = std::min(limit_, filled_ + kGrowth);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(filled_);
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) {
      fail(GetLastError(), "cannot write the trace file \"" + path_ + "\"");
    }
    while (filled_ < target) {
      const DWORD chunk = static_cast<DWORD>(std::min(spaces.size(), target - filled_));
      DWORD written = 0;
      if (!WriteFile(file_, spaces.data(), chunk, &written, nullptr) || written == 0) {
        fail(GetLastError(), "cannot write the trace file \"" + path_ + "\"");
      }
      filled_ += written;
    }
    unmap();
    mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (mapping_ == nullptr) fail(GetLastError(), "cannot map the trace file \"" + path_ + "\"");
    view_ = static_cast<char*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0));
    if (view_ == nullptr) fail(GetLastError(), "cannot map the trace file \"" + path_ + "\"");
  }

  void rotate() {
    finish();
    if (!MoveFileExW(wide_.c_str(), (wide_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING)) {
      fail(GetLastError(), "cannot rename the full trace file \"" + path_ + "\"");
    }
    start();
  }

  // Closes the array and cuts the padding off.
  void finish() noexcept {
    open_.store(false, std::memory_order_relaxed);
    std::size_t end = used_;
    if (view_ != nullptr) {
      const std::size_t closing = std::min(filled_ - used_, kClosingLength);
      std::memcpy(view_ + used_, kClosing, closing);
      end += closing;
    }
    unmap();
    if (file_ != INVALID_HANDLE_VALUE) {
      LARGE_INTEGER at{};
      at.QuadPart = static_cast<LONGLONG>(end);
      if (SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) SetEndOfFile(file_);
      CloseHandle(file_);
    }
    file_ = INVALID_HANDLE_VALUE;
  }

  std::mutex lock_;
  std::atomic<bool> open_{false};
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  char* view_ = nullptr;
  std::string path_;
  std::wstring wide_;
  std::size_t limit_ = kDefaultLimit;
  std::size_t filled_ = 0;
  std::size_t used_ = 0;
  bool first_ = true;
  std::string failure_;
};

Writer writer;

}  // namespace

void open(const std::string& path) { writer.open(path); }
void close() noexcept { writer.close(); }
bool isOpen() noexcept { return writer.isOpen(); }
void append(const char* event, std::size_t length) noexcept { writer.append(event, length); }
std::string takeFailure() { return writer.takeFailure(); }

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
