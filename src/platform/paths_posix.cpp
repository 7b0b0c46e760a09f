// What the walk of a package's dependencies asks of the system: a path
// opened one component at a time, which libraries are loaded under which
// names, and where the loader itself looks.
#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <limits.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

#include "platform/platform.hpp"
#include "platform/posix.hpp"

#if defined(__x86_64__) && __has_include(<sys/platform/x86.h>)
// A C header, whose _Bool clang does not take in C++.
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#define ZEP_X86_64_LEVELS 1
#endif

namespace zep::platform {
namespace {

constexpr int kStep = O_PATH | O_NOFOLLOW | O_CLOEXEC;
// As the kernel's own limit on the links one lookup follows.
constexpr int kMostLinks = 40;

std::string joinedPath(const std::string& directory, std::string_view name) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') path += '/';
  return path.append(name);
}

std::string parentPath(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// Components still to walk, the next at the back.
void pushComponents(std::vector<std::string>& pending, std::string_view path) {
  std::vector<std::string> components;
  while (!path.empty()) {
    const std::string_view::size_type slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty() && part != ".") components.emplace_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  pending.insert(pending.end(), components.rbegin(), components.rend());
}

bool openRoot(DirectoryWalk& walk, Descriptor& current, std::string& where) {
  current = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat found {};
  if (current < 0 || fstat(current, &found) != 0) {
    walk.error = errno;
    return false;
  }
  where.assign(1, '/');
  walk.steps.push_back({where, statusOf(found, current, true), false});
  return true;
}

}  // namespace

DirectoryWalk walkDirectory(std::string_view path, int start, std::string_view startPath) {
  DirectoryWalk walk;
  Descriptor current;
  std::string where;
  std::vector<std::string> pending;
  if (!path.empty() && path.front() == '/') {
    if (!openRoot(walk, current, where)) return walk;
  } else if (start >= 0) {
    current = fcntl(start, F_DUPFD_CLOEXEC, 0);
    where = std::string(startPath);
  } else {
    walk.error = EINVAL;
    return walk;
  }
  pushComponents(pending, path);
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    Descriptor next;
    next = openat(current, name.c_str(), kStep);
    struct stat found {};
    if (next < 0 || fstat(next, &found) != 0) {
      walk.error = errno;
      return walk;
    }
    const std::string reached = name == ".." ? parentPath(where) : joinedPath(where, name);
    if (S_ISLNK(found.st_mode)) {
      char target[PATH_MAX];
      const ssize_t length = readlinkat(next, "", target, sizeof target);
      if (++links > kMostLinks || length <= 0 || length >= static_cast<ssize_t>(sizeof target)) {
        walk.error = length <= 0 ? errno : ELOOP;
        return walk;
      }
      walk.steps.push_back({reached, statusOf(found), true});
      const std::string_view followed(target, static_cast<std::size_t>(length));
      pushComponents(pending, followed);
      if (followed.front() == '/' && !openRoot(walk, current, where)) return walk;
      continue;
    }
    if (!S_ISDIR(found.st_mode)) {
      walk.error = ENOTDIR;
      return walk;
    }
    walk.steps.push_back({reached, statusOf(found, next, true), false});
    current = std::move(next);
    where = reached;
  }
  walk.directory = openat(current, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat found {};
  if (walk.directory < 0 || fstat(walk.directory, &found) != 0) {
    walk.error = errno;
    walk.directory = -1;
    return walk;
  }
  // The directory the last step reached, whose access list that step read.
  const bool stepped = !walk.steps.empty() && !walk.steps.back().link;
  walk.status = stepped ? statusOf(found) : statusOf(found, walk.directory, false);
  if (stepped) walk.status.access = walk.steps.back().status.access;
  walk.path = where;
  return walk;
}

int duplicateDescriptor(int descriptor) { return fcntl(descriptor, F_DUPFD_CLOEXEC, 0); }

namespace {

struct NameSearch {
  std::span<const std::string> names;
  std::vector<bool>* loaded;
};

// The SONAME and DT_RPATH of a loaded object, read from its dynamic
// section as the loader left it: glibc has made the string table's address
// absolute, except where the section is read-only.
struct LoadedStrings {
  const char* soname = nullptr;
  const char* rPath = nullptr;
  bool runPath = false;
};
LoadedStrings loadedStrings(const dl_phdr_info* info) {
  LoadedStrings found;
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    if (info->dlpi_phdr[i].p_type != PT_DYNAMIC) continue;
    const auto* entry =
        reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
    ElfW(Addr) strings = 0;
    const ElfW(Dyn)* soname = nullptr;
    const ElfW(Dyn)* rPath = nullptr;
    for (; entry->d_tag != DT_NULL; ++entry) {
      if (entry->d_tag == DT_STRTAB) strings = entry->d_un.d_ptr;
      if (entry->d_tag == DT_SONAME) soname = entry;
      if (entry->d_tag == DT_RPATH) rPath = entry;
      if (entry->d_tag == DT_RUNPATH) found.runPath = true;
    }
    if (strings == 0) return found;
    if (strings < info->dlpi_addr) strings += info->dlpi_addr;
    const auto* table = reinterpret_cast<const char*>(strings);
    if (soname != nullptr) found.soname = table + soname->d_un.d_val;
    if (rPath != nullptr) found.rPath = table + rPath->d_un.d_val;
    return found;
  }
  return found;
}

int matchLoadedNames(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<NameSearch*>(data);
  const char* soname = loadedStrings(info).soname;
  for (std::size_t i = 0; i < search->names.size(); ++i) {
    const std::string& name = search->names[i];
    if (name == info->dlpi_name || (soname != nullptr && name == soname))
      (*search->loaded)[i] = true;
  }
  return 0;
}

}  // namespace

std::vector<bool> loadedUnderNames(std::span<const std::string> names) {
  std::vector<bool> loaded(names.size());
  if (names.empty()) return loaded;
  NameSearch search{names, &loaded};
  dl_iterate_phdr(matchLoadedNames, &search);
  return loaded;
}

namespace {

struct RpathSearch {
  // The object holding openLibrary, by its load bias and name.
  const link_map* caller;
  bool first = true;
  std::vector<InheritedRpath> program;
  std::vector<InheritedRpath> callers;
  std::vector<InheritedRpath> others;
};

int collectRpaths(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<RpathSearch*>(data);
  const bool program = search->first;
  search->first = false;
  const LoadedStrings strings = loadedStrings(info);
  // The loader uses no DT_RPATH of an object that has a DT_RUNPATH.
  if (strings.rPath == nullptr || strings.runPath) return 0;
  InheritedRpath found{"the library ", strings.rPath, {}};
  std::string name = info->dlpi_name;
  if (program) {
    found.object = "the program ";
    // Its own name is empty, but for a program started through the loader
    // by name; the loader then takes $ORIGIN from /proc/self/exe.
    if (name.empty()) {
      char target[PATH_MAX];
      const ssize_t length = readlink("/proc/self/exe", target, sizeof target);
      if (length > 0 && length < static_cast<ssize_t>(sizeof target))
        name.assign(target, static_cast<std::size_t>(length));
    }
  }
  found.object += name;
  // The loader made $ORIGIN of the name it loaded the object under, as it
  // stood: only an absolute one tells which directory that was.
  if (name.starts_with('/')) found.origin = parentPath(name);
  const bool caller = search->caller != nullptr && info->dlpi_addr == search->caller->l_addr &&
                      std::strcmp(info->dlpi_name, search->caller->l_name) == 0;
  (program  ? search->program
   : caller ? search->callers
            : search->others)
      .push_back(std::move(found));
  return 0;
}

}  // namespace

// Which objects loaded the one holding this code, up to the program, the
// loader keeps to itself (l_loader): every loaded object's DT_RPATH is
// taken for one of them, after the caller's and before the program's, as
// the loader searches them, so that every directory it could search is
// judged.
std::vector<InheritedRpath> inheritedRpaths() {
  RpathSearch search{};
  Dl_info info{};
  void* map = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&openLibrary), &info, &map, RTLD_DL_LINKMAP) != 0)
    search.caller = static_cast<const link_map*>(map);
  dl_iterate_phdr(collectRpaths, &search);
  std::vector<InheritedRpath> found = std::move(search.callers);
  for (std::vector<InheritedRpath>* more : {&search.others, &search.program})
    found.insert(found.end(), std::make_move_iterator(more->begin()),
                 std::make_move_iterator(more->end()));
  return found;
}

namespace {

std::optional<std::vector<std::string>> machineSubdirectories() {
#if defined(ZEP_X86_64_LEVELS)
  // glibc's own tests of each level, in its order of preference.
  const bool v2 = CPU_FEATURE_ACTIVE(CMPXCHG16B) && CPU_FEATURE_ACTIVE(LAHF64_SAHF64) &&
                  CPU_FEATURE_ACTIVE(POPCNT) && CPU_FEATURE_ACTIVE(SSE3) &&
                  CPU_FEATURE_ACTIVE(SSE4_1) && CPU_FEATURE_ACTIVE(SSE4_2) &&
                  CPU_FEATURE_ACTIVE(SSSE3);
  const bool v3 =
      v2 && CPU_FEATURE_ACTIVE(AVX) && CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(BMI1) &&
      CPU_FEATURE_ACTIVE(BMI2) && CPU_FEATURE_ACTIVE(F16C) && CPU_FEATURE_ACTIVE(FMA) &&
      CPU_FEATURE_ACTIVE(LZCNT) && CPU_FEATURE_ACTIVE(MOVBE) && CPU_FEATURE_ACTIVE(OSXSAVE);
  const bool v4 = v3 && CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512BW) &&
                  CPU_FEATURE_ACTIVE(AVX512CD) && CPU_FEATURE_ACTIVE(AVX512DQ) &&
                  CPU_FEATURE_ACTIVE(AVX512VL);
  std::vector<std::string> levels;
  if (v4) levels.emplace_back("x86-64-v4");
  if (v3) levels.emplace_back("x86-64-v3");
  if (v2) levels.emplace_back("x86-64-v2");
  return levels;
#else
  return std::nullopt;
#endif
}

}  // namespace

// The processor does not change under the process.
const std::optional<std::vector<std::string>>& loaderSubdirectories() {
  static const std::optional<std::vector<std::string>> levels = machineSubdirectories();
  return levels;
}

bool loaderLibraryPath(std::optional<std::string>& path) {
  // Read once, as the loader did; a reading that fails is tried again.
  static std::mutex mutex;
  static bool read = false;
  static std::optional<std::string> value;
  std::lock_guard<std::mutex> lock(mutex);
  // A program run with others' rights (setuid) has the loader ignore it.
  if (!read && getauxval(AT_SECURE) == 0) {
    Descriptor file;
    file = open("/proc/self/environ", O_RDONLY | O_CLOEXEC);
    if (file < 0) return false;
    std::string block;
    char part[4096];
    for (ssize_t got; (got = ::read(file, part, sizeof part)) != 0;) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return false;
      block.append(part, static_cast<std::size_t>(got));
    }
    for (std::string_view rest = block; !rest.empty();) {
      const std::string_view variable = rest.substr(0, rest.find('\0'));
      if (variable.starts_with("LD_LIBRARY_PATH=")) value = std::string(variable.substr(16));
      rest.remove_prefix(std::min(rest.size(), variable.size() + 1));
    }
  }
  read = true;
  path = value;
  return true;
}

namespace {

// The directories of one configuration file, its includes followed.
void configuredDirectories(const std::string& file, int depth, SystemDirectories& found) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) return;
  found.configuration.push_back({file, statusOf(status, file), false});
  std::ifstream in(file);
  std::string read;
  while (std::getline(in, read)) {
    std::string_view line(read);
    line = line.substr(0, line.find('#'));
    const std::string_view::size_type begin = line.find_first_not_of(" \t");
    if (begin == std::string_view::npos) continue;
    line.remove_prefix(begin);
    line = line.substr(0, line.find_last_not_of(" \t\r") + 1);
    if (line.starts_with("include") && line.size() > 8 && (line[7] == ' ' || line[7] == '\t')) {
      const std::string_view named = line.substr(line.find_first_not_of(" \t", 7));
      const std::string pattern =
          named.front() == '/' ? std::string(named) : joinedPath(parentPath(file), named);
      glob_t matches{};
      if (depth < 8 && glob(pattern.c_str(), 0, nullptr, &matches) == 0) {
        for (std::size_t i = 0; i < matches.gl_pathc; ++i)
          configuredDirectories(matches.gl_pathv[i], depth + 1, found);
      }
      globfree(&matches);
    } else if (line.front() == '/') {
      found.directories.emplace_back(line.substr(0, line.find_first_of(" \t=")));
    }
  }
}

}  // namespace

SystemDirectories systemDirectories() {
  SystemDirectories found;
  for (const char* builtIn : {"/lib", "/usr/lib", "/lib64", "/usr/lib64"})
    found.directories.emplace_back(builtIn);
  configuredDirectories("/etc/ld.so.conf", 0, found);
  struct stat cache {};
  if (stat("/etc/ld.so.cache", &cache) == 0)
    found.configuration.push_back({"/etc/ld.so.cache", statusOf(cache, "/etc/ld.so.cache"), false});
  return found;
}

}  // namespace zep::platform
