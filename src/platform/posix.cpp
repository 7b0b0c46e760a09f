// The platform seam on Linux (glibc).
#include "platform/posix.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

// A POSIX access list as the kernel gives it: a version 2 header, then
// entries of tag, permissions and id, little-endian whatever the machine.
constexpr std::uint32_t kAccessListVersion = 2;
constexpr std::uint16_t kUserObject = 0x01;
constexpr std::uint16_t kUser = 0x02;
constexpr std::uint16_t kGroupObject = 0x04;
constexpr std::uint16_t kGroup = 0x08;
constexpr std::uint16_t kMask = 0x10;
constexpr std::uint16_t kOther = 0x20;
constexpr std::uint16_t kWrite = 2;
constexpr std::size_t kHeader = 4;
constexpr std::size_t kEntry = 8;
// The most a file system may keep of one extended attribute.
constexpr std::size_t kLargestAccessList = 65536;

std::uint32_t littleEndian(const unsigned char* bytes, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

// The users and groups of named entries that may write, the mask applied;
// false for what is no access list this code understands.
bool parseAccessList(const unsigned char* list, std::size_t size, FileStatus::Access& access) {
  if (size < kHeader || (size - kHeader) % kEntry != 0 ||
      littleEndian(list, 4) != kAccessListVersion)
    return false;
  bool maskWrites = true;
  for (std::size_t at = kHeader; at < size; at += kEntry) {
    const auto tag = static_cast<std::uint16_t>(littleEndian(list + at, 2));
    const auto permissions = static_cast<std::uint16_t>(littleEndian(list + at + 2, 2));
    const std::uint32_t id = littleEndian(list + at + 4, 4);
    if (permissions > 7) return false;
    const bool writes = (permissions & kWrite) != 0;
    switch (tag) {
      case kUser:
        if (writes) access.users.push_back(id);
        break;
      case kGroup:
        if (writes) access.groups.push_back(id);
        break;
      case kMask:
        maskWrites = writes;
        break;
      // The owner's, the owning group's and everyone's: the mode bits show
      // them (the group's bits show the mask where there is one).
      case kUserObject:
      case kGroupObject:
      case kOther:
        break;
      default:
        return false;
    }
  }
  if (!maskWrites) {
    access.users.clear();
    access.groups.clear();
  }
  return true;
}

// Only the access list proper: a directory's default list is what files
// made in it later are given, each of which is judged by its own.
// Read through `descriptor`, or by `path` where there is one.
void readAccessList(int descriptor, const char* path, FileStatus::Access& access) {
  static constexpr const char* kName = "system.posix_acl_access";
  const auto read = [&](void* into, std::size_t size) {
    return path != nullptr ? getxattr(path, kName, into, size)
                           : fgetxattr(descriptor, kName, into, size);
  };
  unsigned char small[kHeader + 16 * kEntry];
  std::vector<unsigned char> large;
  unsigned char* list = small;
  ssize_t size = read(small, sizeof small);
  if (size < 0 && errno == ERANGE) {
    large.resize(kLargestAccessList);
    list = large.data();
    size = read(list, large.size());
  }
  if (size < 0) {
    if (errno == ENODATA || errno == ENOTSUP) return;
    access.problem = std::string("its access list cannot be read (") + std::strerror(errno) + ")";
    return;
  }
  if (!parseAccessList(list, static_cast<std::size_t>(size), access)) {
    access = {};
    access.problem = "its access list is not one this module understands";
  }
}

}  // namespace

FileStatus statusOf(const struct stat& found, int descriptor, bool pathOnly) {
  FileStatus status = statusOf(found);
  if (!S_ISREG(found.st_mode) && !S_ISDIR(found.st_mode)) return status;
  // Through the very descriptor checked; an O_PATH one takes no fgetxattr,
  // but its /proc name reaches the same file.
  char path[40];
  if (pathOnly) std::snprintf(path, sizeof path, "/proc/self/fd/%d", descriptor);
  readAccessList(descriptor, pathOnly ? path : nullptr, status.access);
  return status;
}

FileStatus statusOf(const struct stat& found, const std::string& path) {
  FileStatus status = statusOf(found);
  readAccessList(-1, path.c_str(), status.access);
  return status;
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
