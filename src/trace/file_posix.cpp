// The trace file on POSIX systems: a shared mapping of a file in a directory
// that only its owner may write, opened once and used through its
// descriptor; and the clock and ids of the events.
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <string>
#include <system_error>

#include "trace/file.hpp"
#include "trace/storage.hpp"

namespace zep::trace::file {
namespace {

[[noreturn]] void fail(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

// A forked child is a process of its own: its events carry its own id.
std::atomic<std::uint32_t> process{0};

void forked() {
  process.store(static_cast<std::uint32_t>(::getpid()), std::memory_order_relaxed);
  afterForkInChild();
}

[[maybe_unused]] const bool forkHandled =
    ::pthread_atfork(beforeFork, afterForkInParent, forked) == 0;

}  // namespace

struct Storage::State {
  int directory = -1;
  int file = -1;
  std::string name;
  std::string path;
  char* map = nullptr;
  std::size_t limit = 0;
};

Storage::Storage() : state_(new State) {}
Storage::~Storage() { delete state_; }

void Storage::take(const std::string& path, std::size_t limit) {
  State& s = *state_;
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "."
                                : slash == 0               ? "/"
                                                           : path.substr(0, slash);
  s.name = slash == std::string::npos ? path : path.substr(slash + 1);
  s.path = path;
  s.limit = limit;
  if (s.name.empty() || s.name == "." || s.name == "..") {
    fail(EINVAL, "the trace file \"" + path + "\" names no file");
  }
  s.directory = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (s.directory < 0) fail(errno, "cannot open the trace file's directory \"" + directory + "\"");
  struct stat status {};
  if (::fstat(s.directory, &status) != 0) {
    fail(errno, "cannot read the trace file's directory \"" + directory + "\"");
  }
  // Others who may write the directory may swap the file for a link to one
  // of ours in between two traces.
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
      (status.st_uid != 0 && status.st_uid != ::geteuid())) {
    fail(EPERM, "the trace file's directory \"" + directory +
                    "\" may be written by other users; give the trace a directory that only "
                    "its owner may write (chmod go-w)");
  }
  // A trace that ends in a crash is what support asks for: the file of the
  // previous run is kept as FILE.1.
  struct stat previous {};
  if (::fstatat(s.directory, s.name.c_str(), &previous, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(previous.st_mode) && previous.st_size > 0) {
    ::renameat(s.directory, s.name.c_str(), s.directory, (s.name + ".1").c_str());
  }
}

void Storage::create() {
  State& s = *state_;
  s.file = ::openat(s.directory, s.name.c_str(),
                    O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (s.file < 0) fail(errno, "cannot write the trace file \"" + s.path + "\"");
  struct stat status {};
  if (::fstat(s.file, &status) != 0 || !S_ISREG(status.st_mode)) {
    fail(EINVAL, "the trace file \"" + s.path + "\" is no regular file");
  }
  void* map = ::mmap(nullptr, s.limit, PROT_READ | PROT_WRITE, MAP_SHARED, s.file, 0);
  if (map == MAP_FAILED) fail(errno, "cannot map the trace file \"" + s.path + "\"");
  s.map = static_cast<char*>(map);
}

// The mapping covers the largest file from the start; only what is filled
// may be touched.
char* Storage::grow(std::size_t from, std::size_t to) {
  State& s = *state_;
  static const std::string spaces(std::size_t{64} << 10, ' ');
  while (from < to) {
    const std::size_t chunk = std::min(spaces.size(), to - from);
    const ssize_t written = ::pwrite(s.file, spaces.data(), chunk, static_cast<off_t>(from));
    if (written <= 0) {
      fail(written < 0 ? errno : ENOSPC, "cannot write the trace file \"" + s.path + "\"");
    }
    from += static_cast<std::size_t>(written);
  }
  return s.map;
}

void Storage::close(std::size_t length) noexcept {
  State& s = *state_;
  if (s.map != nullptr) ::munmap(s.map, s.limit);
  s.map = nullptr;
  if (s.file >= 0) {
    if (::ftruncate(s.file, static_cast<off_t>(length)) != 0) {
      // The padding stays: spaces, which a reader skips.
    }
    ::close(s.file);
  }
  s.file = -1;
}

void Storage::rotate() {
  State& s = *state_;
  if (::renameat(s.directory, s.name.c_str(), s.directory, (s.name + ".1").c_str()) != 0) {
    fail(errno, "cannot rename the full trace file \"" + s.path + "\"");
  }
}

void Storage::release() noexcept { forget(); }

void Storage::forget() noexcept {
  State& s = *state_;
  if (s.map != nullptr) ::munmap(s.map, s.limit);
  s.map = nullptr;
  if (s.file >= 0) ::close(s.file);
  s.file = -1;
  if (s.directory >= 0) ::close(s.directory);
  s.directory = -1;
}

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
