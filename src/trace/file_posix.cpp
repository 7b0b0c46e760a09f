// The trace file on POSIX systems: a shared mapping of a file in a directory
// that only its owner may write, opened once and used through its
// descriptor. What runs while a thread records (prepare, rotate, close)
// makes its system calls directly.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#include "trace/storage.hpp"
#include "trace/syscall_linux.hpp"

namespace zep::trace::file {
namespace {

using system::call;
using system::failed;

[[noreturn]] void fail(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

struct Storage::State {
  int directory = -1;
  int file = -1;
  std::string name;
  std::string older;  // name.1
  std::string path;
  char* map = nullptr;
  std::size_t limit = 0;
  // The file before the last rotation, until retired; its descriptor stays
  // open one rotation more, for a thread that makes its blocks its own now.
  int previousFile = -1;
  char* previousMap = nullptr;
  int retiredFile = -1;
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
  s.older = s.name + ".1";
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
    ::renameat(s.directory, s.name.c_str(), s.directory, s.older.c_str());
  }
}

namespace {

// A new file of `limit` zero bytes (holes, until prepared), mapped whole;
// -errno where it cannot be.
long created(int directory, const char* name, std::size_t limit, char*& map) noexcept {
  const long file = call(SYS_openat, directory, reinterpret_cast<long>(name),
                         O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (failed(file)) return file;
  struct stat status {};
  long result = call(SYS_fstat, file, reinterpret_cast<long>(&status));
  if (!failed(result) && !S_ISREG(status.st_mode)) result = -EINVAL;
  if (!failed(result)) result = call(SYS_ftruncate, file, static_cast<long>(limit));
  if (!failed(result)) {
    result =
        call(SYS_mmap, 0, static_cast<long>(limit), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
  }
  if (failed(result)) {
    call(SYS_close, file);
    return result;
  }
  map = reinterpret_cast<char*>(result);
  return file;
}

// Anonymous memory takes the place of a file's pages in one step: a thread
// still writing there writes nowhere, and the file can be cut.
void inert(char* map, std::size_t limit) noexcept {
  if (map == nullptr) return;
  call(SYS_mmap, reinterpret_cast<long>(map), static_cast<long>(limit), PROT_READ | PROT_WRITE,
       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE, -1, 0);
}

}  // namespace

char* Storage::create() {
  State& s = *state_;
  const long file = created(s.directory, s.name.c_str(), s.limit, s.map);
  if (failed(file)) {
    fail(static_cast<int>(-file), file == -EINVAL
                                      ? "the trace file \"" + s.path + "\" is no regular file"
                                      : "cannot write the trace file \"" + s.path + "\"");
  }
  s.file = static_cast<int>(file);
  return s.map;
}

bool Storage::own(std::size_t offset, std::size_t length) noexcept {
  State& s = *state_;
  // A file system without fallocate takes zeros written.
  long result =
      call(SYS_fallocate, s.file, 0, static_cast<long>(offset), static_cast<long>(length));
  if (result == -EOPNOTSUPP) {
    static const char zeros[4096] = {};
    result = 0;
    for (std::size_t at = 0; at < length && !failed(result); at += sizeof zeros) {
      result = call(SYS_pwrite64, s.file, reinterpret_cast<long>(zeros), sizeof zeros,
                    static_cast<long>(offset + at));
    }
  }
  return !failed(result);
}

bool Storage::populate(char* at, std::size_t length) noexcept {
  const long result = call(SYS_madvise, reinterpret_cast<long>(at), static_cast<long>(length),
                           23 /* MADV_POPULATE_WRITE, Linux 5.14 */);
  if (result != -EINVAL) return !failed(result);
  // An older kernel: the pages faulted in one by one, their words left as
  // they are (a thread may be writing there).
  for (std::size_t page = 0; page < length; page += 4096)
    __atomic_fetch_or(reinterpret_cast<unsigned long*>(at + page), 0, __ATOMIC_RELAXED);
  return true;
}

char* Storage::rotate() noexcept {
  State& s = *state_;
  if (failed(call(SYS_renameat, s.directory, reinterpret_cast<long>(s.name.c_str()), s.directory,
                  reinterpret_cast<long>(s.older.c_str())))) {
    return nullptr;
  }
  char* map = nullptr;
  const long file = created(s.directory, s.name.c_str(), s.limit, map);
  if (failed(file)) return nullptr;
  s.previousFile = std::exchange(s.file, static_cast<int>(file));
  s.previousMap = std::exchange(s.map, map);
  return map;
}

void Storage::retire() noexcept {
  State& s = *state_;
  inert(s.previousMap, s.limit);
  if (s.retiredFile >= 0) call(SYS_close, s.retiredFile);
  s.retiredFile = std::exchange(s.previousFile, -1);
  s.previousMap = nullptr;
}

void Storage::close(std::size_t length, bool cut) noexcept {
  State& s = *state_;
  inert(s.map, s.limit);
  s.map = nullptr;
  if (s.file >= 0) {
    if (cut) call(SYS_ftruncate, s.file, static_cast<long>(length));
    call(SYS_close, s.file);
  }
  s.file = -1;
}

void Storage::release() noexcept {
  State& s = *state_;
  retire();
  retire();
  close(0, false);
  if (s.directory >= 0) ::close(s.directory);
  s.directory = -1;
}

}  // namespace zep::trace::file
