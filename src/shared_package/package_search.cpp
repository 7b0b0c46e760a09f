#include "shared_package/package_search.hpp"

#include <algorithm>
#include <cstring>

#include "platform/access.hpp"
#include "platform/platform.hpp"
#include "shared_package/explain.hpp"

namespace zep::shared_package {

bool isBaseName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && c != '_') return false;
  }
  return true;
}

std::vector<std::string> packageDirectories(const std::optional<std::string>& searchPath,
                                            const std::string& ownDirectory) {
  std::vector<std::string> directories;
  visitPackageDirectories(searchPath, ownDirectory, [&](std::string_view directory) {
    directories.emplace_back(directory);
    return false;
  });
  return directories;
}

namespace {

std::string joined(std::string_view directory, const std::string& file) {
  std::string path;
  path.reserve(directory.size() + 1 + file.size());
  path.append(directory).append(1, platform::kDirectorySeparator).append(file);
  return path;
}

}  // namespace

std::string candidatePath(std::string_view directory, const std::string& package) {
  return joined(directory, platform::packageFileName(package));
}

std::optional<FoundPackage> findPackage(std::optional<std::string_view> searchPath,
                                        std::string_view ownDirectory, const std::string& package,
                                        std::string& tried) {
  std::optional<FoundPackage> found;
  // The same file name in every directory.
  const std::string name = platform::packageFileName(package);
  visitPackageDirectories(searchPath, ownDirectory, [&](std::string_view directory) {
    platform::PackageFile opened = platform::openPackageFile(directory, name);
    if (opened.problem != platform::PackageFile::Problem::None) {
      tried += "\n  " + joined(directory, name) + ": " + whyNotLoaded(opened);
      return false;
    }
    found = FoundPackage{joined(directory, name), std::string(directory), std::move(opened)};
    return true;
  });
  return found;
}

namespace {

using Problem = platform::PackageFile::Problem;

// clang-format off
struct ProblemWords { Problem problem; const char* words; };
constexpr ProblemWords kProblemWords[] = {
  {Problem::NoFile,                "no such file"},
  {Problem::NoDirectory,           "no such file: the directory does not exist"},
  {Problem::NotADirectory,         "no such file: the package directory is not a directory"},
  {Problem::DirectoryUnsearchable, "the package directory cannot be searched"},
  {Problem::IsDirectory,           "is a directory, not a library file"},
  {Problem::IsFifo,                "is a FIFO (named pipe), not a library file"},
  {Problem::IsDevice,              "is a device, not a library file"},
  {Problem::IsSocket,              "is a socket, not a library file"},
  {Problem::Unreadable,            "cannot be opened"},
  {Problem::NameTooLong,           "the name is too long for the system"},
  {Problem::DanglingLink,          "is a link to a file that does not exist"},
  {Problem::Moved,                 "was moved or replaced while it was opened; load it again"},
};
// clang-format on

}  // namespace

std::string whyNotLoaded(const platform::PackageFile& opened) {
  std::string words = "cannot be opened";
  for (const ProblemWords& row : kProblemWords) {
    if (row.problem == opened.problem) words = row.words;
  }
  return opened.detail.empty() ? words : words + " (" + opened.detail + ")";
}

namespace {

// Permission bits as POSIX numbers them.
constexpr std::uint32_t kOthersWrite = 0002;
constexpr std::uint32_t kGroupWrite = 0020;
constexpr std::uint32_t kSticky = 01000;

std::string number(std::uint32_t id) { return std::to_string(id); }

std::string parentOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool trustedOwner(std::uint32_t owner, std::uint32_t effectiveUser) {
  return owner == 0 || owner == effectiveUser;
}

// A directory that others may write into: every user without the sticky
// bit, or a user other than root and this one, who owns it.
void directoryFindings(std::vector<TrustFinding>& found, const std::string& place,
                       const std::string& directory, const platform::FileStatus& status,
                       std::uint32_t effectiveUser, bool refusalsOnly) {
  const bool open = (status.mode & kOthersWrite) != 0;
  if (open && (status.mode & kSticky) == 0) {
    found.push_back({kOpenDirectory, true, directory,
                     place + directory +
                         ", which every user can write and which has no sticky bit, so anyone "
                         "could put a package of theirs in its place",
                     "chmod o-w " + directory});
  }
  if (!trustedOwner(status.owner, effectiveUser)) {
    found.push_back({kForeignDirectory, true, directory,
                     place + directory + ", which is owned by user " + number(status.owner) +
                         ", neither root nor the user this process runs as (" +
                         number(effectiveUser) +
                         "), so that user could put a package of theirs in its place",
                     "chown root " + directory});
  }
  if (!refusalsOnly && !open && (status.mode & kGroupWrite) != 0) {
    found.push_back({kGroupWritableDirectory, false, directory,
                     place + directory + ", which its group (group " + number(status.group) +
                         ") can write, so its members could put a package of theirs in its place",
                     "chmod g-w " + directory});
  }
}

// The directories above `directory` that others may write: they could
// move it away and put another in its place, which a load then checks
// afresh, but which check tells.
void ancestorFindings(std::vector<TrustFinding>& found, const std::string& directory,
                      std::uint32_t effectiveUser) {
  for (std::string above = parentOf(directory); !above.empty(); above = parentOf(above)) {
    const std::optional<platform::FileStatus> status = platform::fileStatus(above);
    if (status && status->hasOwnership) {
      const bool open = (status->mode & kOthersWrite) != 0 && (status->mode & kSticky) == 0;
      if (open || !trustedOwner(status->owner, effectiveUser)) {
        found.push_back(
            {kOpenAncestor, false, above,
             "is below " + above + ", which " +
                 (open ? std::string("every user can write and which has no sticky bit")
                       : "user " + number(status->owner) + " owns") +
                 ", so its package directory could be moved away and another put in its place",
             open ? "chmod o-w " + above : "chown root " + above});
      }
    }
    if (above == "/") break;
  }
}

}  // namespace

namespace {

// Where owners and access lists decide (Windows), the platform reads them.
std::vector<TrustFinding> accessTrustFindings(const platform::PackageFile& opened) {
  std::vector<TrustFinding> findings;
  for (platform::AccessFinding& found : platform::accessFindings(opened)) {
    const char* kind = found.directory ? (found.owner ? kForeignDirectory : kOpenDirectory)
                                       : (found.owner ? kForeignOwner : kWorldWritable);
    findings.push_back(
        {kind, true, std::move(found.subject), std::move(found.problem), std::move(found.remedy)});
  }
  return findings;
}

}  // namespace

std::vector<TrustFinding> trustFindings(const FoundPackage& found, std::uint32_t effectiveUser,
                                        bool refusalsOnly) {
  std::vector<TrustFinding> findings;
  const platform::PackageFile& opened = found.opened;
  const platform::FileStatus& file = opened.status;
  if (!file.hasOwnership) return accessTrustFindings(opened);
  const bool link = !opened.realFile.empty();
  const bool worldWritable = (file.mode & kOthersWrite) != 0;
  const bool foreignOwner = !trustedOwner(file.owner, effectiveUser);
  auto directoryAtFault = [&](const platform::FileStatus& status) {
    return (status.mode & kOthersWrite) != 0 || !trustedOwner(status.owner, effectiveUser);
  };
  const bool anyFault =
      !refusalsOnly || worldWritable || foreignOwner || directoryAtFault(opened.directoryStatus) ||
      (opened.linkDirectoryStatus && directoryAtFault(*opened.linkDirectoryStatus));
  if (!anyFault) return findings;
  // Named by their real paths, so that no remedy acts through a link. Read
  // only now: a sound package costs no more than its descriptors' status.
  std::string real = opened.realFile;
  if (!link) {
    const std::string directory = platform::descriptorPath(opened.directory);
    const std::string::size_type slash = found.file.rfind(platform::kDirectorySeparator);
    real = directory.empty() ? found.file : directory + "/" + found.file.substr(slash + 1);
  }
  const std::string realDirectory = parentOf(real);
  const std::string is = link ? "leads to " + real + ", which is" : "is";
  if (worldWritable) {
    findings.push_back({kWorldWritable, true, real,
                        is + " writable by every user, so anyone could put code of theirs into "
                             "every process that loads it",
                        "chmod o-w " + real});
  }
  if (foreignOwner) {
    std::string remedy = "chown root " + real;
    if (effectiveUser != 0) remedy += " (or chown " + number(effectiveUser) + " " + real + ")";
    findings.push_back({kForeignOwner, true, real,
                        is + " owned by user " + number(file.owner) +
                            ", neither root nor the user this process runs as (" +
                            number(effectiveUser) +
                            "), so that user could put code of theirs into it",
                        remedy});
  }
  directoryFindings(findings, link ? "leads to " + real + ", in " : "is in ", realDirectory,
                    opened.directoryStatus, effectiveUser, refusalsOnly);
  std::string linkDirectory;
  // A link to a file beside it stands in the directory judged above.
  const auto sameDirectory = [](const platform::FileStatus& a, const platform::FileStatus& b) {
    return a.identity && b.identity && a.identity->device == b.identity->device &&
           a.identity->inode == b.identity->inode;
  };
  if (opened.linkDirectoryStatus &&
      !sameDirectory(*opened.linkDirectoryStatus, opened.directoryStatus)) {
    linkDirectory = platform::descriptorPath(opened.linkDirectory);
    if (linkDirectory.empty()) linkDirectory = found.directory;
    directoryFindings(findings, "is a link in ", linkDirectory, *opened.linkDirectoryStatus,
                      effectiveUser, refusalsOnly);
  }
  if (refusalsOnly) return findings;
  // What others may write is told above; the group's write matters apart.
  if (!worldWritable && (file.mode & kGroupWrite) != 0) {
    findings.push_back({kGroupWritable, false, real,
                        is + " writable by its group (group " + number(file.group) +
                            "), whose members could put code of theirs into it",
                        "chmod g-w " + real});
  }
  ancestorFindings(findings, realDirectory, effectiveUser);
  if (!linkDirectory.empty()) ancestorFindings(findings, linkDirectory, effectiveUser);
  return findings;
}

namespace {

// The loader's search path of one library, $ORIGIN made its directory: the
// entries of DT_RPATH where there is no DT_RUNPATH, then DT_RUNPATH's. An
// entry with another substitution ($LIB, $PLATFORM) or none absolute is left
// to the loader.
std::vector<std::string> searchDirectories(const inspect::Image& image, const std::string& origin) {
  std::vector<std::string> directories;
  for (const std::string* list : {image.runPath.empty() ? &image.rPath : nullptr, &image.runPath}) {
    if (list == nullptr) continue;
    std::string_view rest = *list;
    while (!rest.empty()) {
      const std::string_view::size_type end = rest.find(':');
      std::string entry(rest.substr(0, end));
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      for (const char* token : {"${ORIGIN}", "$ORIGIN"}) {
        for (std::string::size_type at; (at = entry.find(token)) != std::string::npos;)
          entry.replace(at, std::strlen(token), origin);
      }
      if (!entry.empty() && entry.front() == '/' && entry.find('$') == std::string::npos)
        directories.push_back(std::move(entry));
    }
  }
  return directories;
}

struct DependencyWalk {
  std::uint32_t effectiveUser;
  std::string& reason;
  bool& local;
  // Files gone through, known by their identity, so a loop ends.
  std::vector<platform::FileStatus::Identity> seen{};
};

// Refuses `opened` (found as `path`) as the package would be refused.
bool passes(DependencyWalk& walk, const std::string& library, std::string path,
            std::string directory, platform::PackageFile& opened) {
  FoundPackage found{std::move(path), std::move(directory), std::move(opened)};
  const std::vector<TrustFinding> refusals = trustFindings(found, walk.effectiveUser, true);
  opened = std::move(found.opened);
  if (refusals.empty()) return true;
  std::string real = opened.realFile;
  if (real.empty()) {
    const std::string directoryPath = platform::descriptorPath(opened.directory);
    real = directoryPath.empty() ? found.file : directoryPath + "/" + library;
  }
  walk.reason = "needs " + library + ", which the loader would take from " + real + ", and which ";
  for (std::size_t i = 0; i < refusals.size(); ++i) {
    walk.reason +=
        (i == 0 ? "" : "; and which ") + refusals[i].problem + "; remedy: " + refusals[i].remedy;
  }
  return false;
}

bool walkDependencies(DependencyWalk& walk, const platform::PackageFile& of,
                      const inspect::Image& image) {
  // The directory as the loader is given it, held open.
  const std::string origin = parentOf(of.loaderName);
  const std::vector<std::string> directories = searchDirectories(image, origin);
  for (const std::string& library : image.needed) {
    if (library.find('/') != std::string::npos) continue;
    bool taken = false;
    for (const std::string& directory : directories) {
      platform::PackageFile opened = platform::openPackageFile(directory, library);
      if (opened.problem != platform::PackageFile::Problem::None) continue;
      walk.local = taken = true;
      if (!passes(walk, library, joined(directory, library), directory, opened)) return false;
      const platform::FileStatus::Identity& identity = *opened.status.identity;
      if (walk.seen.size() >= 32 ||
          std::find(walk.seen.begin(), walk.seen.end(), identity) != walk.seen.end()) {
        break;
      }
      walk.seen.push_back(identity);
      std::vector<std::uint8_t> bytes;
      std::uint64_t size = 0;
      if (platform::readFileHead(opened, inspect::kLargestLibrary, bytes, size)) {
        if (!walkDependencies(walk, opened, inspect::readImage(bytes, inspect::ImageDepth::Loader)))
          return false;
      }
      break;
    }
    if (taken) continue;
    // Beside the package, where nothing of the package sends the loader, a
    // host's LD_LIBRARY_PATH might.
    platform::PackageFile beside = platform::openPackageFile(origin, library);
    if (beside.problem != platform::PackageFile::Problem::None) continue;
    walk.local = true;
    if (!passes(walk, library, joined(origin, library), origin, beside)) return false;
  }
  return true;
}

}  // namespace

bool dependenciesTrusted(const platform::PackageFile& package, const inspect::Image& image,
                         std::uint32_t effectiveUser, std::string& reason, bool& local) {
  local = false;
  if (!package.status.hasOwnership) {
    return platform::dependenciesBesideTrusted(
        package, image.needed,
        [](const platform::PackageFile& library, std::vector<std::string>& needed) {
          std::vector<std::uint8_t> bytes;
          std::uint64_t size = 0;
          if (!platform::readFileHead(library, inspect::kLargestLibrary, bytes, size) ||
              bytes.size() != size)
            return false;
          inspect::Image image = inspect::readImage(bytes, inspect::ImageDepth::Loader);
          needed = std::move(image.needed);
          return image.defect.empty();
        },
        reason, local);
  }
  if (image.needed.empty()) return true;
  DependencyWalk walk{effectiveUser, reason, local};
  return walkDependencies(walk, package, image);
}

bool checkStands(const platform::FileStatus::Identity& identity, platform::Timestamp checkBegan) {
  return platform::Timestamp{identity.changed.seconds + 1, identity.changed.nanoseconds} <=
         checkBegan;
}

}  // namespace zep::shared_package
