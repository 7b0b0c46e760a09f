// Package files opened on Windows as the trust rule needs them: the file
// sharing reading only, the directory that holds it held the same way, so
// that what is judged through the handles is what the loader maps; and the
// libraries beside a package, judged and loaded ahead of it the same way.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/access.hpp"
#include "platform/platform.hpp"
#include "platform/windows.hpp"
#include "platform/windows_trust.hpp"

namespace zep::platform {

using windows::handleOf;
using windows::narrow;
using windows::widen;

namespace windows {

std::string parentOf(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// Held sharing reading only: nobody may rename or delete it meanwhile. The
// entries inside stay the owner's to change, as the access list says.
HANDLE openDirectory(const std::wstring& path, DWORD share) {
  return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES, share,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

namespace {

thread_local std::vector<HMODULE> preloaded;
// Those Windows loads by name only after the package: held until the
// package is closed, so that the load by name finds them loaded.
thread_local std::vector<HMODULE> later;
std::mutex keptLock;
std::vector<std::pair<HMODULE, std::vector<HMODULE>>> kept;

void release(std::vector<HMODULE>& modules) noexcept {
  for (HMODULE module : modules) FreeLibrary(module);
  modules.clear();
}

}  // namespace

void releasePreloaded(HMODULE package) noexcept {
  release(preloaded);
  if (package == nullptr || later.empty()) return release(later);
  std::lock_guard<std::mutex> lock(keptLock);
  kept.emplace_back(package, std::move(later));
  later.clear();
}

void releaseKept(HMODULE package) noexcept {
  std::vector<HMODULE> modules;
  {
    std::lock_guard<std::mutex> lock(keptLock);
    auto found = std::find_if(kept.begin(), kept.end(),
                              [package](const auto& entry) { return entry.first == package; });
    if (found == kept.end()) return;
    modules = std::move(found->second);
    kept.erase(found);
  }
  release(modules);
}

}  // namespace windows

using windows::openDirectory;
using windows::parentOf;

namespace {

bool samePath(const std::string& a, const std::string& b) {
  const std::wstring wideA = widen(a);
  const std::wstring wideB = widen(b);
  return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                              static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

bool sameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

void failed(PackageFile& opened, PackageFile::Problem problem, DWORD error = 0) {
  opened.problem = problem;
  if (error != 0) opened.detail = windows::systemMessage(error);
}

PackageFile::Problem openProblem(DWORD error, bool directory) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return directory ? PackageFile::Problem::NoDirectory : PackageFile::Problem::NoFile;
    case ERROR_FILENAME_EXCED_RANGE:
      return PackageFile::Problem::NameTooLong;
    case ERROR_ACCESS_DENIED:
      return directory ? PackageFile::Problem::DirectoryUnsearchable
                       : PackageFile::Problem::Unreadable;
    default:
      return PackageFile::Problem::Unreadable;
  }
}

// The name led out of the directory it stands in (a link that Wine shows
// for a Unix symbolic link): the real file's directory is opened and held
// too, and must hold this very file.
void holdRealDirectory(PackageFile& opened, const std::string& real) {
  const std::string directory = parentOf(real);
  HANDLE held = openDirectory(widen(directory));
  if (held == INVALID_HANDLE_VALUE) return failed(opened, PackageFile::Problem::Moved);
  opened.linkDirectory = std::exchange(opened.directory, windows::descriptorOf(held));
  HANDLE again = CreateFileW(widen(real).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  const bool same = again != INVALID_HANDLE_VALUE && sameFile(again, handleOf(opened.file)) &&
                    samePath(windows::finalPath(held), directory);
  if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
  if (!same) return failed(opened, PackageFile::Problem::Moved);
  opened.realFile = real;
}

}  // namespace

PackageFile openPackageFile(std::string_view directory, const std::string& name) {
  PackageFile opened;
  std::wstring path = widen(std::string(directory));
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  HANDLE held = openDirectory(path);
  if (held == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failed(opened, openProblem(error, true), error == ERROR_SHARING_VIOLATION ? error : 0);
    return opened;
  }
  opened.directory = windows::descriptorOf(held);
  BY_HANDLE_FILE_INFORMATION about{};
  if (!GetFileInformationByHandle(held, &about)) {
    failed(opened, PackageFile::Problem::DirectoryUnsearchable, GetLastError());
    return opened;
  }
  if ((about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    failed(opened, PackageFile::Problem::NotADirectory);
    return opened;
  }
  path.append(1, L'\\').append(widen(name));
  // Sharing reading only: nobody may write, rename or delete it while it is
  // held, and one that somebody holds open for writing is not taken.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failed(opened, openProblem(error, false),
           error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error);
    return opened;
  }
  opened.file = windows::descriptorOf(file);
  if (!GetFileInformationByHandle(file, &about)) {
    failed(opened, PackageFile::Problem::Unreadable, GetLastError());
    return opened;
  }
  if ((about.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    failed(opened, PackageFile::Problem::IsDirectory);
    return opened;
  }
  // A symbolic link or junction of Windows is not followed: the file must
  // be the file itself.
  if ((about.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    opened.problem = PackageFile::Problem::Unreadable;
    opened.detail = "it is a symbolic link or another reparse point, which is not followed";
    return opened;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    failed(opened, PackageFile::Problem::IsDevice);
    return opened;
  }
  const std::string real = windows::finalPath(file);
  const std::string heldDirectory = windows::finalPath(held);
  if (real.empty() || heldDirectory.empty()) {
    failed(opened, PackageFile::Problem::Moved);
    return opened;
  }
  if (!samePath(parentOf(real), heldDirectory)) holdRealDirectory(opened, real);
  if (opened.problem != PackageFile::Problem::None) return opened;
  opened.status.kind = FileStatus::Kind::Regular;
  opened.directoryStatus.kind = FileStatus::Kind::Directory;
  opened.loaderName = real;
  return opened;
}

bool readFileHead(const PackageFile& file, std::size_t limit, std::vector<std::uint8_t>& head,
                  std::uint64_t& size) {
  if (file.file < 0) return false;
  HANDLE handle = handleOf(file.file);
  LARGE_INTEGER whole{};
  if (!GetFileSizeEx(handle, &whole)) return false;
  size = static_cast<std::uint64_t>(whole.QuadPart);
  head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
  std::size_t got = 0;
  while (got < head.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(got);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(got) >> 32);
    DWORD part = 0;
    if (!ReadFile(handle, head.data() + got, static_cast<DWORD>(head.size() - got), &part, &at) ||
        part == 0) {
      return false;
    }
    got += part;
  }
  return true;
}

std::string descriptorPath(int descriptor) {
  return descriptor < 0 ? std::string() : windows::finalPath(handleOf(descriptor));
}

void closeDescriptor(int descriptor) noexcept {
  if (descriptor >= 0) CloseHandle(handleOf(descriptor));
}

namespace {

bool systemName(const std::string& library) {
  // API sets are names the system resolves itself, not files.
  return _strnicmp(library.c_str(), "api-ms-", 7) == 0 ||
         _strnicmp(library.c_str(), "ext-ms-", 7) == 0;
}

// A file of that name in System32, where Windows's search by name looks
// right after the program's own directory.
bool inSystemDirectory(const std::wstring& library) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const DWORD attributes =
      GetFileAttributesW((std::wstring(directory, length) + L"\\" + library).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

struct DependencyWalk {
  NeededLibraries neededOf;
  std::string& reason;
  bool& local;
  std::vector<std::wstring> seen{};
};

bool walkDependencies(DependencyWalk& walk, const PackageFile& of, const LibraryNames& names);

// One library that `of` names: loaded with it, or later by name when `why`
// says why.
bool walkLibrary(DependencyWalk& walk, const PackageFile& of, const std::string& library,
                 const std::string* why) {
  if (systemName(library)) return true;
  const std::string named = why == nullptr ? library : library + " (" + *why + ")";
  if (library.find_first_of("\\/:") != std::string::npos) {
    if (why == nullptr) return true;
    walk.reason = "needs " + named + " by a path, which may lead into the current directory";
    return false;
  }
  std::wstring wide = widen(library);
  CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  // One loaded already is the one the loader gives the package; one loaded
  // later by name is held until the package is closed.
  if (why == nullptr) {
    if (GetModuleHandleW(wide.c_str()) != nullptr) return true;
  } else if (HMODULE loaded; GetModuleHandleExW(0, wide.c_str(), &loaded)) {
    windows::later.push_back(loaded);
    return true;
  }
  if (std::find(walk.seen.begin(), walk.seen.end(), wide) != walk.seen.end()) return true;
  if (walk.seen.size() >= 64) {
    walk.reason = "needs more than 64 libraries that are not loaded yet, more than are checked";
    return false;
  }
  walk.seen.push_back(wide);
  const std::string directory = parentOf(of.loaderName);
  PackageFile beside = openPackageFile(directory, library);
  if (beside.problem == PackageFile::Problem::NoFile) {
    if (why == nullptr || inSystemDirectory(wide)) return true;
    walk.reason = "needs " + named + ", which is not beside it in " + directory +
                  ", not loaded and not in System32, and which Windows would look for only "
                  "later, by name, in the current directory and on PATH too";
    return false;
  }
  walk.local = true;
  const std::string file = directory + kDirectorySeparator + library;
  if (beside.problem != PackageFile::Problem::None) {
    walk.reason = "needs " + named + ", which lies beside it as " + file +
                  " but cannot be opened sharing reading only" +
                  (beside.detail.empty() ? std::string() : " (" + beside.detail + ")");
    return false;
  }
  const std::vector<AccessFinding> refusals = accessFindings(beside);
  if (!refusals.empty()) {
    walk.reason = "needs " + named + ", which the loader would take from " + beside.loaderName +
                  ", and which ";
    for (std::size_t i = 0; i < refusals.size(); ++i) {
      walk.reason +=
          (i == 0 ? "" : "; and which ") + refusals[i].problem + "; remedy: " + refusals[i].remedy;
    }
    return false;
  }
  LibraryNames itsOwn;
  if (!walk.neededOf(beside, itsOwn)) {
    walk.reason = "needs " + named + ", which lies beside it as " + beside.loaderName +
                  " and cannot be read whole, so what it needs in turn cannot be decided";
    return false;
  }
  if (!walkDependencies(walk, beside, itsOwn)) return false;
  // Loaded from its final path while its handles are held, ahead of the
  // package, which then finds it loaded by its name.
  HMODULE module;
  DWORD error;
  {
    windows::QuietLoader quiet;
    module = LoadLibraryExW(widen(beside.loaderName).c_str(), nullptr, windows::kPackageSearch);
    error = GetLastError();
  }
  if (module == nullptr) {
    walk.reason = "needs " + named + ", which the loader refused to load from " +
                  beside.loaderName + ": " + windows::systemMessage(error);
    return false;
  }
  (why == nullptr ? windows::preloaded : windows::later).push_back(module);
  return true;
}

bool walkDependencies(DependencyWalk& walk, const PackageFile& of, const LibraryNames& names) {
  for (const std::string& library : names.needed) {
    if (!walkLibrary(walk, of, library, nullptr)) return false;
  }
  for (const LaterLibrary& library : names.later) {
    if (!walkLibrary(walk, of, library.name, &library.why)) return false;
  }
  return true;
}

}  // namespace

bool dependenciesBesideTrusted(const PackageFile& package, const LibraryNames& names,
                               NeededLibraries neededOf, std::string& reason, bool& local) {
  local = false;
  windows::releasePreloaded();
  DependencyWalk walk{neededOf, reason, local};
  if (walkDependencies(walk, package, names)) return true;
  windows::releasePreloaded();
  return false;
}

}  // namespace zep::platform
