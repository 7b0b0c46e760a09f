// The platform seam on Linux (glibc).
#include "platform/posix.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/platform.hpp"

namespace zep::platform {

Library openLibrary(const std::string& path, std::string& reason) {
  dlerror();
  Library library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    reason = error != nullptr ? error : "the loader gave no reason";
    // The loader starts its reason with the path, which the caller names.
    if (reason.starts_with(path + ": ")) reason.erase(0, path.size() + 2);
  }
  return library;
}

void closeLibrary(Library library) noexcept {
  if (library != nullptr) dlclose(library);
}

std::uintptr_t closeLibraryAndTellIfGone(Library library) noexcept {
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    closeLibrary(library);
    return 0;
  }
  const auto key = reinterpret_cast<std::uintptr_t>(map->l_ld);
  dlclose(library);
  return stillMapped(key) ? key : 0;
}

// A mapping of another object at that address is taken for the same one
// still there, which only keeps a name reserved longer.
bool stillMapped(std::uintptr_t key) noexcept {
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 35)
  // The loader's index answers without taking its lock.
  dl_find_object object{};
  return _dl_find_object(reinterpret_cast<void*>(key), &object) == 0;
#else
  Dl_info info{};
  return dladdr(reinterpret_cast<void*>(key), &info) != 0;
#endif
}

namespace {

struct SegmentSearch {
  const link_map* map;
  std::size_t capacity;
  std::size_t count;
  std::uintptr_t (*ranges)[2];
};

// Collects the loadable segments of the object whose link map we hold; the
// link map gives its load bias and name, the program headers its extent.
int collectSegments(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<SegmentSearch*>(data);
  if (info->dlpi_addr != search->map->l_addr ||
      std::strcmp(info->dlpi_name, search->map->l_name) != 0) {
    return 0;
  }
  for (ElfW(Half) i = 0; i < info->dlpi_phnum && search->count < search->capacity; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    std::uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
    search->ranges[search->count][0] = begin;
    search->ranges[search->count][1] = begin + segment.p_memsz;
    ++search->count;
  }
  return 1;
}

}  // namespace

Exports::Exports(Library library) : library_(library) {
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return;
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 35)
  // The loader's own index gives the object's whole mapping without walking
  // every loaded object under its lock; the gaps between the segments are
  // reserved to the object, so nothing of another lies within.
  dl_find_object object{};
  if (_dl_find_object(map->l_ld, &object) == 0 && object.dlfo_link_map == map) {
    ranges_[0] = {reinterpret_cast<std::uintptr_t>(object.dlfo_map_start),
                  reinterpret_cast<std::uintptr_t>(object.dlfo_map_end)};
    rangeCount_ = 1;
    if (ranges_[0].end > ranges_[0].begin) lookUp_ = &dlsym;
    return;
  }
#endif
  std::uintptr_t found[16][2];
  SegmentSearch search{map, 16, 0, found};
  dl_iterate_phdr(collectSegments, &search);
  for (std::size_t i = 0; i < search.count; ++i) ranges_[i] = {found[i][0], found[i][1]};
  rangeCount_ = search.count;
}

void* Exports::findElsewhere(const char* name) const noexcept {
  if (rangeCount_ == 0) return nullptr;
  void* address = dlsym(library_, name);
  auto where = reinterpret_cast<std::uintptr_t>(address);
  for (std::size_t i = 0; i < rangeCount_; ++i) {
    if (where >= ranges_[i].begin && where < ranges_[i].end) return address;
  }
  return nullptr;
}

std::string packageFileName(const std::string& package) { return "lib" + package + ".so"; }

std::string directoryOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  // Owned at once: making the text can run out of memory.
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(info.dli_fname, nullptr),
                                                       &std::free);
  std::string path = resolved ? resolved.get() : info.dli_fname;
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void* exportOfLibraryHolding(const void* address, const char* name, std::string& file) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  file = info.dli_fname;
  // Already mapped: this only takes a handle, given back at once.
  Library library = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return nullptr;
  void* found = Exports(library).find(name);
  dlclose(library);
  return found;
}

bool isRegularFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

FileStatus statusOf(const struct stat& found) {
  FileStatus status;
  status.kind = S_ISREG(found.st_mode)   ? FileStatus::Kind::Regular
                : S_ISDIR(found.st_mode) ? FileStatus::Kind::Directory
                                         : FileStatus::Kind::Other;
  status.hasOwnership = true;
  status.owner = found.st_uid;
  status.group = found.st_gid;
  status.mode = found.st_mode & 07777;
  status.identity = FileStatus::Identity{static_cast<std::uint64_t>(found.st_dev),
                                         static_cast<std::uint64_t>(found.st_ino),
                                         static_cast<std::uint64_t>(found.st_size),
                                         {found.st_mtim.tv_sec, found.st_mtim.tv_nsec},
                                         {found.st_ctim.tv_sec, found.st_ctim.tv_nsec}};
  return status;
}

namespace {

PackageFile::Problem kindProblem(mode_t mode) {
  if (S_ISREG(mode)) return PackageFile::Problem::None;
  if (S_ISDIR(mode)) return PackageFile::Problem::IsDirectory;
  if (S_ISFIFO(mode)) return PackageFile::Problem::IsFifo;
  if (S_ISSOCK(mode)) return PackageFile::Problem::IsSocket;
  return PackageFile::Problem::IsDevice;
}

PackageFile::Problem openProblem(int error, bool directory) {
  switch (error) {
    case ENOENT:
      return directory ? PackageFile::Problem::NoDirectory : PackageFile::Problem::NoFile;
    case ENOTDIR:
      return directory ? PackageFile::Problem::NotADirectory : PackageFile::Problem::NoFile;
    case ENAMETOOLONG:
      return PackageFile::Problem::NameTooLong;
    case EACCES:
      return directory ? PackageFile::Problem::DirectoryUnsearchable
                       : PackageFile::Problem::Unreadable;
    default:
      return PackageFile::Problem::Unreadable;
  }
}

// Opened for reading only: no FIFO waits for a writer, no terminal becomes
// this process's, and the descriptor is no child's.
constexpr int kOpenFile = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
constexpr int kOpenDirectory = O_RDONLY | O_CLOEXEC | O_DIRECTORY;

// `error` is what the system said; it is shown unless it only repeats the
// problem (ENOENT).
void failed(PackageFile& opened, PackageFile::Problem problem, int error = 0) {
  opened.problem = problem;
  opened.error = error;
  if (error != 0 && error != ENOENT && error != ENOTDIR && error != ENAMETOOLONG)
    opened.detail = std::strerror(error);
}

// The file behind the link `name` in `opened.linkDirectory`: the link opened
// itself, its owner read, and its target (which no one can change in a link
// once made) opened from the link's directory; the real path read from the
// open file, its directory opened by that path and found to hold this very
// file under its name.
void followLink(PackageFile& opened, const std::string& name) {
  Descriptor link;
  link = openat(opened.linkDirectory, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  struct stat linkFound {};
  char target[PATH_MAX];
  ssize_t length = -1;
  if (link >= 0 && fstat(link, &linkFound) == 0 && S_ISLNK(linkFound.st_mode))
    length = readlinkat(link, "", target, sizeof target - 1);
  if (length <= 0) return failed(opened, PackageFile::Problem::Moved, errno);
  target[length] = '\0';
  opened.linkStatus = statusOf(linkFound);
  opened.file = openat(opened.linkDirectory, target, kOpenFile);
  if (opened.file < 0) {
    const int error = errno;
    return failed(opened,
                  error == ENOENT ? PackageFile::Problem::DanglingLink : openProblem(error, false),
                  error);
  }
  struct stat file {};
  if (fstat(opened.file, &file) != 0)
    return failed(opened, PackageFile::Problem::Unreadable, errno);
  if (PackageFile::Problem kind = kindProblem(file.st_mode); kind != PackageFile::Problem::None)
    return failed(opened, kind);
  opened.realFile = descriptorPath(opened.file);
  const std::string::size_type slash = opened.realFile.rfind('/');
  if (slash == std::string::npos) return failed(opened, PackageFile::Problem::Moved);
  const std::string directory = slash == 0 ? "/" : opened.realFile.substr(0, slash);
  const std::string base = opened.realFile.substr(slash + 1);
  opened.directory = open(directory.c_str(), kOpenDirectory);
  struct stat there {};
  struct stat directoryFound {};
  if (opened.directory < 0 ||
      fstatat(opened.directory, base.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
      there.st_dev != file.st_dev || there.st_ino != file.st_ino ||
      fstat(opened.directory, &directoryFound) != 0) {
    return failed(opened, PackageFile::Problem::Moved);
  }
  opened.status = statusOf(file);
  opened.directoryStatus = statusOf(directoryFound);
  opened.loaderName = "/proc/self/fd/" + std::to_string(opened.directory) + "/" + base;
}

}  // namespace

PackageFile openPackageFile(std::string_view directory, const std::string& name) {
  PackageFile opened;
  if (directory.size() + 1 + name.size() >= PATH_MAX) {
    failed(opened, PackageFile::Problem::NameTooLong, ENAMETOOLONG);
    return opened;
  }
  char path[PATH_MAX];
  directory.copy(path, directory.size());
  path[directory.size()] = '\0';
  Descriptor held;
  held = open(path, kOpenDirectory);
  if (held < 0) {
    failed(opened, openProblem(errno, true), errno);
    return opened;
  }
  struct stat directoryFound {};
  if (fstat(held, &directoryFound) != 0) {
    failed(opened, PackageFile::Problem::DirectoryUnsearchable, errno);
    return opened;
  }
  return openInDirectory(std::move(held), statusOf(directoryFound), name);
}

PackageFile openInDirectory(Descriptor held, const FileStatus& directoryStatus,
                            const std::string& name) {
  PackageFile opened;
  opened.file = openat(held, name.c_str(), kOpenFile | O_NOFOLLOW);
  if (opened.file < 0 && errno == ELOOP) {
    opened.linkDirectory = std::move(held);
    opened.linkDirectoryStatus = directoryStatus;
    followLink(opened, name);
    return opened;
  }
  const int descriptor = held;
  opened.directory = std::move(held);
  if (opened.file < 0) {
    failed(opened, openProblem(errno, false), errno);
    return opened;
  }
  struct stat file {};
  if (fstat(opened.file, &file) != 0) {
    failed(opened, PackageFile::Problem::Unreadable, errno);
    return opened;
  }
  if (PackageFile::Problem kind = kindProblem(file.st_mode); kind != PackageFile::Problem::None) {
    failed(opened, kind);
    return opened;
  }
  opened.status = statusOf(file);
  opened.directoryStatus = directoryStatus;
  opened.loaderName.reserve(24 + name.size());
  opened.loaderName.append("/proc/self/fd/")
      .append(std::to_string(descriptor))
      .append(1, '/')
      .append(name);
  return opened;
}

std::string descriptorPath(int descriptor) {
  char link[40];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
  char target[PATH_MAX];
  const ssize_t length = readlink(link, target, sizeof target);
  if (length <= 0 || length >= static_cast<ssize_t>(sizeof target)) return {};
  return std::string(target, static_cast<std::size_t>(length));
}

void closeDescriptor(int descriptor) noexcept {
  if (descriptor >= 0) close(descriptor);
}

std::optional<FileStatus> fileStatus(const std::string& path) {
  struct stat found {};
  if (stat(path.c_str(), &found) != 0) return std::nullopt;
  return statusOf(found);
}

std::uint32_t effectiveUser() { return geteuid(); }

Timestamp changeClock() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return {now.tv_sec, now.tv_nsec};
}

bool isAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

namespace {

bool readHead(int file, std::size_t limit, std::vector<std::uint8_t>& head, std::uint64_t& size) {
  struct stat status {};
  if (fstat(file, &status) != 0) return false;
  size = static_cast<std::uint64_t>(status.st_size);
  head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
  std::size_t got = 0;
  while (got < head.size()) {
    ssize_t part = pread(file, head.data() + got, head.size() - got, static_cast<off_t>(got));
    if (part < 0 && errno == EINTR) continue;
    if (part <= 0) break;
    got += static_cast<std::size_t>(part);
  }
  return got == head.size();
}

}  // namespace

bool readFileHead(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& head,
                  std::uint64_t& size) {
  int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  const bool read = readHead(file, limit, head, size);
  close(file);
  return read;
}

bool readFileHead(const PackageFile& file, std::size_t limit, std::vector<std::uint8_t>& head,
                  std::uint64_t& size) {
  return file.file >= 0 && readHead(file.file, limit, head, size);
}

std::optional<std::string_view> environment(const char* name, std::string&) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string_view(value);
}

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace zep::platform
