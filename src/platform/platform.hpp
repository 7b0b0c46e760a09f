// The few operating-system calls the module and the shared package make:
// loading a library, looking up an export of that library alone, and the
// facts needed to find package files. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zep::platform {

// A loaded library as the loader returned it (dlopen's or LoadLibrary's).
using Library = void*;

// Loads the library at `path` with all its symbols resolved now and none
// offered to later loads. Gives null and the loader's reason on failure.
Library openLibrary(const std::string& path, std::string& reason);
void closeLibrary(Library library) noexcept;

// The exports of one loaded library. A lookup answers only with an address
// that the library itself defines: the loader's own lookup also searches the
// library's dependencies, which would fill a slot with a stranger's function
// (even the module's own slot of that name).
class Exports {
 public:
  explicit Exports(Library library);
  // A bind looks up every entry of its set: the common case, one range known
  // from the loader's index, is answered here without a further call.
  void* find(const char* name) const noexcept {
    if (lookUp_ == nullptr) return findElsewhere(name);
    void* address = lookUp_(library_, name);
    const auto where = reinterpret_cast<std::uintptr_t>(address);
    return where - ranges_[0].begin < ranges_[0].end - ranges_[0].begin ? address : nullptr;
  }

 private:
  void* findElsewhere(const char* name) const noexcept;

  struct Range {
    std::uintptr_t begin;
    std::uintptr_t end;
  };
  Library library_;
  // The platform's own lookup, set only when the library's exports lie in
  // the one range ranges_[0].
  void* (*lookUp_)(void*, const char*) noexcept = nullptr;
  Range ranges_[16];
  std::size_t rangeCount_ = 0;
};

// The library file name of a package: lib<name>.so, or <name>.bpl on Windows.
std::string packageFileName(const std::string& package);

// The absolute directory of the library or program that holds `address`.
std::string directoryOf(const void* address);

// The export `name` of the loaded library that holds `address` (a function
// it defines), or null when it has none; `file` receives that library's
// path. How one library reaches an optional export of another that it
// already uses, without naming that one's file.
void* exportOfLibraryHolding(const void* address, const char* name, std::string& file);

bool isRegularFile(const std::string& path);

// A time as the file system stamps it.
struct Timestamp {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  auto operator<=>(const Timestamp&) const = default;
};

// What one stat of a path tells: what it is, who may change it, and enough
// to know a file again, unchanged, without reading it.
struct FileStatus {
  enum class Kind { Regular, Directory, Other };
  // The same file with the same contents: a write or a change of owner or
  // permissions sets the change time, which no user can set back.
  struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    Timestamp modified;
    Timestamp changed;
    bool operator==(const Identity&) const = default;
  };
  Kind kind = Kind::Other;
  // Owner, group and permission bits (as POSIX numbers them, the sticky bit
  // included) are read where they decide who may write a file; not on
  // Windows, where access lists do.
  bool hasOwnership = false;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint32_t mode = 0;
  // Others an access list lets write it beyond what `mode` shows (Linux):
  // the users and groups of its named entries that the mask leaves write.
  // `problem` says why it could not be read or understood ("" when it was,
  // or when there is none), which leaves who may write undecided.
  struct Access {
    std::vector<std::uint32_t> users;
    std::vector<std::uint32_t> groups;
    std::string problem;
  };
  Access access;
  // Not read on Windows.
  std::optional<Identity> identity;
};

// The status of what `path` names, symbolic links followed; nothing when
// there is nothing there that this process can reach.
std::optional<FileStatus> fileStatus(const std::string& path);

// The path of what an open descriptor names, links resolved; "" when unknown.
std::string descriptorPath(int descriptor);
void closeDescriptor(int descriptor) noexcept;

// An open file descriptor (-1 for none), closed with its holder.
class Descriptor {
 public:
  Descriptor() = default;
  Descriptor(Descriptor&& other) noexcept : descriptor_(other.release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept { return *this = other.release(); }
  Descriptor& operator=(int descriptor) noexcept {
    if (descriptor != descriptor_) closeDescriptor(descriptor_);
    descriptor_ = descriptor;
    return *this;
  }
  ~Descriptor() { closeDescriptor(descriptor_); }
  operator int() const noexcept { return descriptor_; }
  int release() noexcept {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
  }

 private:
  int descriptor_ = -1;
};

// One directory a walk passed through, or one link it followed.
struct PathStep {
  std::string path;
  FileStatus status;
  bool link;
};

// A package file opened for its load, with the directory that holds the real
// file (links resolved) held open, so that what is checked is what the
// loader maps: that directory cannot be swapped for another under its
// descriptor, and the loader is given the file's name beneath it.
struct PackageFile {
  // Why a name leads to no file that could be loaded.
  enum class Problem {
    None,
    NoFile,
    NoDirectory,
    NotADirectory,
    DirectoryUnsearchable,
    IsDirectory,
    IsFifo,
    IsDevice,
    IsSocket,
    Unreadable,
    NameTooLong,
    DanglingLink,
    Moved
  };
  Problem problem = Problem::None;
  // The system's error number behind the problem (0 when it has none):
  // only ENOENT says that there is nothing there.
  int error = 0;
  // The system's own words, where they add to the problem.
  std::string detail;
  // The open file's status, and that of the directory holding the real file.
  FileStatus status;
  FileStatus directoryStatus;
  // Reached through a link elsewhere: the directory the link stands in,
  // and the real file's path. Empty `realFile` when there is no link.
  std::optional<FileStatus> linkDirectoryStatus;
  // Every link followed on the way to the real file (the first is the one
  // found: its owner chose where it leads), with the directories their
  // targets pass through.
  std::vector<PathStep> linkSteps;
  std::string realFile;
  // The name under which the loader maps this very file, unique to it
  // while `directory` stays open ("/proc/self/fd/<directory>/<name>").
  std::string loaderName;
  // The open file and directory; -1 where the platform holds none.
  Descriptor file;
  Descriptor directory;
  Descriptor linkDirectory;

  // Gives up the directory's descriptor to a caller that keeps it open
  // while the library is loaded under loaderName.
  int releaseDirectory() noexcept { return directory.release(); }
};

// Opens `name` in `directory`: the directory by descriptor, the name within
// it without following a link; a link is followed to the real file, whose
// own directory is then opened and checked to hold it.
PackageFile openPackageFile(std::string_view directory, const std::string& name);
// The same in a directory already held open (`directory`, of that status).
PackageFile openInDirectory(Descriptor directory, const FileStatus& directoryStatus,
                            const std::string& name);

// The first `limit` bytes and the size of an opened package file.
bool readFileHead(const PackageFile& file, std::size_t limit, std::vector<std::uint8_t>& head,
                  std::uint64_t& size);

// ---- What the walk of a package's dependencies asks (ELF systems only;
// ---- the Windows build neither defines nor calls these).

// A directory opened one component at a time, as the loader would reach it
// by name, with every directory and link on the way: no link is followed
// unseen, and `..` leaves the directory it stands in. An absolute `path`
// begins at /, a relative one at the descriptor `start` (whose path is
// `startPath`, for naming). `error` is the errno that stopped it (ENOENT:
// something named is not there); `directory` is -1 then.
struct DirectoryWalk {
  Descriptor directory;
  FileStatus status;
  std::string path;
  int error = 0;
  std::vector<PathStep> steps;
};
DirectoryWalk walkDirectory(std::string_view path, int start = -1, std::string_view startPath = {});

// A second descriptor of the same open directory, closed with its holder.
int duplicateDescriptor(int descriptor);

// For each name, whether a library is loaded in this process under it, by
// its SONAME or its loaded name: the loader takes that one for a
// dependency of that name, searching nothing.
std::vector<bool> loadedUnderNames(std::span<const std::string> names);

// LD_LIBRARY_PATH as the loader read it when the program started (later
// changes to the environment reach it no more): nothing where it has none
// or ignores it. False when it cannot be read now.
bool loaderLibraryPath(std::optional<std::string>& path);

// A DT_RPATH that the loader searches, after those of the libraries that
// need a library, for what a library loaded by openLibrary needs: that of
// the object whose code calls the loader, of the objects that loaded it in
// turn, and of the program. Only objects without DT_RUNPATH count.
struct InheritedRpath {
  // Whose it is, for what is said: "the program /usr/bin/host".
  std::string object;
  std::string entries;
  // The directory $ORIGIN stands for in it; empty where it cannot be known.
  std::string origin;
};
std::vector<InheritedRpath> inheritedRpaths();

// The subdirectories of glibc-hwcaps/ that the loader searches in each
// directory before the directory itself, as this machine's processor lets
// it, in its order ("x86-64-v3"); nothing when this build cannot tell.
const std::optional<std::vector<std::string>>& loaderSubdirectories();

// The directories the system's loader takes libraries from when nothing
// else names them (its own, and those /etc/ld.so.conf names), and the
// configuration files read to know them (as steps: their status).
struct SystemDirectories {
  std::vector<std::string> directories;
  std::vector<PathStep> configuration;
};
SystemDirectories systemDirectories();

// Releases one load of `library`. Gives 0 when the library is gone from the
// process since, else a key to ask stillMapped about later: the names it
// was loaded under must not name another file while it stays.
std::uintptr_t closeLibraryAndTellIfGone(Library library) noexcept;
bool stillMapped(std::uintptr_t key) noexcept;

// The user whose rights this process uses for files.
std::uint32_t effectiveUser();

// Now, by the coarse clock that the file system stamps changes with: a
// change made after this reading has a change time no earlier than it.
Timestamp changeClock();

// The first `limit` bytes of the file at `path` and the file's whole size,
// from one opening of it: what the check before every load reads. False
// when the file cannot be opened or read.
bool readFileHead(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& head,
                  std::uint64_t& size);
bool isAbsolutePath(std::string_view path);
std::optional<std::string> environment(const char* name);
// The same, without a copy where the platform keeps the value as it is given;
// else it is made in `storage`. Valid until the environment or `storage`
// changes.
std::optional<std::string_view> environment(const char* name, std::string& storage);

// Whether the loader takes PE images (Windows) rather than ELF objects.
inline constexpr bool kLoaderTakesPe =
#if defined(_WIN32)
    true;
#else
    false;
#endif
// This process's machine as each format numbers it (the ELF e_machine, the
// PE Machine field; 0 where the format has no number for it), and its byte
// order.
inline constexpr std::uint16_t kElfMachine =
#if defined(__x86_64__) || defined(_M_X64)
    62;
#elif defined(__i386__) || defined(_M_IX86)
    3;
#elif defined(__aarch64__) || defined(_M_ARM64)
        183;
#elif defined(__arm__) || defined(_M_ARM)
        40;
#elif defined(__riscv)
        243;
#elif defined(__powerpc64__)
        21;
#elif defined(__s390x__)
        22;
#else
        0;
#endif
inline constexpr std::uint16_t kPeMachine =
#if defined(__x86_64__) || defined(_M_X64)
    0x8664;
#elif defined(__i386__) || defined(_M_IX86)
    0x014c;
#elif defined(__aarch64__) || defined(_M_ARM64)
    0xaa64;
#elif defined(__arm__) || defined(_M_ARM)
    0x01c4;
#elif defined(__riscv)
    0x5064;
#else
    0;
#endif
inline constexpr bool kBigEndian =
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    true;
#else
    false;
#endif
inline constexpr char kPathListSeparator =
#if defined(_WIN32)
    ';';
#else
    ':';
#endif
inline constexpr char kDirectorySeparator =
#if defined(_WIN32)
    '\\';
#else
    '/';
#endif

}  // namespace zep::platform
