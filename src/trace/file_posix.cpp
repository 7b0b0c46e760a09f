// The trace file on POSIX systems: a shared mapping of the file, grown by
// writing spaces (so that a full disk fails a write here, never a store into
// the mapping, and the padding after the last event is JSON whitespace).
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <system_error>
#include <utility>

#include "trace/file.hpp"

namespace zep::trace::file {
namespace {

constexpr std::size_t kDefaultLimit = std::size_t{64} << 20;
constexpr std::size_t kLeastLimit = std::size_t{64} << 10;
constexpr std::size_t kGrowth = std::size_t{1} << 20;
// Room kept for the end of the array.
constexpr char kClosing[] = "\n]\n";
constexpr std::size_t kClosingLength = sizeof kClosing - 1;

[[noreturn]] void fail(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

class Writer {
 public:
  void open(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock_);
    finish();
    closeDirectory();
    failure_.clear();
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : path.substr(0, slash);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    path_ = path;
    if (name_.empty() || name_ == "." || name_ == "..") {
      fail(EINVAL, "the trace file \"" + path + "\" names no file");
    }
    limit_ = limitFromEnvironment();
    directory_ = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory_ < 0) fail(errno, "cannot open the trace file's directory \"" + directory + "\"");
    struct stat status {};
    if (::fstat(directory_, &status) != 0) {
      const int error = errno;
      closeDirectory();
      fail(error, "cannot read the trace file's directory \"" + directory + "\"");
    }
    // Others who may write the directory may swap the file for a link to
    // one of ours in between two traces.
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
        (status.st_uid != 0 && status.st_uid != ::geteuid())) {
      closeDirectory();
      fail(EPERM, "the trace file's directory \"" + directory +
                      "\" may be written by other users; give the trace a directory that only "
                      "its owner may write (chmod go-w)");
    }
    // A trace that ends in a crash is what support asks for: the file of
    // the previous run is kept as FILE.1.
    struct stat previous {};
    if (::fstatat(directory_, name_.c_str(), &previous, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(previous.st_mode) && previous.st_size > 0) {
      ::renameat(directory_, name_.c_str(), directory_, (name_ + ".1").c_str());
    }
    try {
      start();
    } catch (...) {
      closeDirectory();
      throw;
    }
  }

  void close() noexcept {
    std::lock_guard<std::mutex> hold(lock_);
    finish();
    closeDirectory();
  }

  void append(const char* event, std::size_t length) noexcept {
    std::lock_guard<std::mutex> hold(lock_);
    if (map_ == nullptr) return;
    const std::size_t need = length + (first_ ? 0 : 2);
    try {
      if (used_ + need + kClosingLength > limit_) rotate();
      if (used_ + need + kClosingLength > filled_) grow();
    } catch (const std::exception& failure) {
      failure_ = failure.what();
      finish();
      closeDirectory();
      return;
    }
    if (!first_) {
      std::memcpy(map_ + used_, ",\n", 2);
      used_ += 2;
    }
    std::memcpy(map_ + used_, event, length);
    used_ += length;
    first_ = false;
  }

  bool isOpen() const noexcept { return open_.load(std::memory_order_relaxed); }

  // Around a fork: no other thread holds the lock while the process is
  // copied, and the child leaves the file to its parent (both writing into
  // one mapping would mix their events); it may open a file of its own.
  void beforeFork() noexcept { lock_.lock(); }
  void afterForkInParent() noexcept { lock_.unlock(); }
  void afterForkInChild() noexcept {
    open_.store(false, std::memory_order_relaxed);
    if (map_ != nullptr) ::munmap(map_, limit_);
    map_ = nullptr;
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    closeDirectory();
    lock_.unlock();
  }

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

  // A new, empty FILE in the directory already checked.
  void start() {
    file_ = ::openat(directory_, name_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                     0600);
    if (file_ < 0) fail(errno, "cannot write the trace file \"" + path_ + "\"");
    struct stat status {};
    if (::fstat(file_, &status) != 0 || !S_ISREG(status.st_mode)) {
      ::close(file_);
      file_ = -1;
      fail(EINVAL, "the trace file \"" + path_ + "\" is no regular file");
    }
    void* map = ::mmap(nullptr, limit_, PROT_READ | PROT_WRITE, MAP_SHARED, file_, 0);
    if (map == MAP_FAILED) {
      const int error = errno;
      ::close(file_);
      file_ = -1;
      fail(error, "cannot map the trace file \"" + path_ + "\"");
    }
    map_ = static_cast<char*>(map);
    filled_ = 0;
    used_ = 0;
    try {
      grow();
    } catch (...) {
      finish();
      throw;
    }
    std::memcpy(map_, "[\n", 2);
    used_ = 2;
    first_ = true;
    open_.store(true, std::memory_order_relaxed);
  }

  // Writes spaces past what is filled, so that the stores into the mapping
  // land on blocks the file already has.
  void grow() {
    static const std::string spaces(std::size_t{64} << 10, ' ');
    const std::size_t target = std::min(limit_, filled_ + kGrowth);
    while (filled_ < target) {
      const std::size_t chunk = std::min(spaces.size(), target - filled_);
      const ssize_t written = ::pwrite(file_, spaces.data(), chunk, static_cast<off_t>(filled_));
      if (written <= 0) {
        fail(written < 0 ? errno : ENOSPC, "cannot write the trace file \"" + path_ + "\"");
      }
      filled_ += static_cast<std::size_t>(written);
    }
  }

  // FILE becomes FILE.1 and a new FILE begins.
  void rotate() {
    finish();
    if (::renameat(directory_, name_.c_str(), directory_, (name_ + ".1").c_str()) != 0) {
      fail(errno, "cannot rename the full trace file \"" + path_ + "\"");
    }
    start();
  }

  // Closes the array and cuts the padding off.
  void finish() noexcept {
    open_.store(false, std::memory_order_relaxed);
    if (map_ != nullptr) {
      const std::size_t room = filled_ - used_;
      const std::size_t closing = std::min(room, kClosingLength);
      std::memcpy(map_ + used_, kClosing, closing);
      ::munmap(map_, limit_);
      map_ = nullptr;
      if (::ftruncate(file_, static_cast<off_t>(used_ + closing)) != 0) {
        // The padding stays: spaces, which a reader skips.
      }
    }
    if (file_ >= 0) ::close(file_);
    file_ = -1;
  }

  void closeDirectory() noexcept {
    if (directory_ >= 0) ::close(directory_);
    directory_ = -1;
  }

  std::mutex lock_;
  std::atomic<bool> open_{false};
  int directory_ = -1;
  int file_ = -1;
  std::string name_;
  std::string path_;
  char* map_ = nullptr;
  std::size_t limit_ = kDefaultLimit;
  std::size_t filled_ = 0;
  std::size_t used_ = 0;
  bool first_ = true;
  std::string failure_;
};

Writer writer;

// A forked child is a process of its own: its events carry its own id.
std::atomic<std::uint32_t> process{0};

void forked() {
  process.store(static_cast<std::uint32_t>(::getpid()), std::memory_order_relaxed);
  writer.afterForkInChild();
}

[[maybe_unused]] const bool forkHandled = [] {
  return ::pthread_atfork([] { writer.beforeFork(); }, [] { writer.afterForkInParent(); },
                          forked) == 0;
}();

}  // namespace

void open(const std::string& path) { writer.open(path); }
void close() noexcept { writer.close(); }
bool isOpen() noexcept { return writer.isOpen(); }
void append(const char* event, std::size_t length) noexcept { writer.append(event, length); }
std::string takeFailure() { return writer.takeFailure(); }

std::uint64_t now() noexcept {
  timespec time{};
  ::clock_gettime(CLOCK_REALTIME, &time);
  return static_cast<std::uint64_t>(time.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(time.tv_nsec);
}

std::uint32_t processId() noexcept {
  std::uint32_t id = process.load(std::memory_order_relaxed);
  if (id == 0) {
    id = static_cast<std::uint32_t>(::getpid());
    process.store(id, std::memory_order_relaxed);
  }
  return id;
}

std::uint32_t threadId() noexcept { return static_cast<std::uint32_t>(::gettid()); }

}  // namespace zep::trace::file
