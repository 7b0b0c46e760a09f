#include "shared_package/package_search.hpp"

#include "platform/platform.hpp"

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
    std::string file = joined(directory, name);
    std::optional<platform::FileStatus> status = platform::fileStatus(file);
    if (!status || status->kind != platform::FileStatus::Kind::Regular) {
      tried += "\n  " + file + ": no such file";
      return false;
    }
    found = FoundPackage{std::move(file), std::string(directory), *status};
    return true;
  });
  return found;
}

namespace {

// Permission bits as POSIX numbers them.
constexpr std::uint32_t kOthersWrite = 0002;
constexpr std::uint32_t kGroupWrite = 0020;
constexpr std::uint32_t kSticky = 01000;

std::string number(std::uint32_t id) { return std::to_string(id); }

}  // namespace

std::vector<TrustFinding> trustFindings(const std::string& path, const platform::FileStatus& file,
                                        const std::string& directory,
                                        const std::optional<platform::FileStatus>& inDirectory,
                                        std::uint32_t effectiveUser, bool refusalsOnly) {
  std::vector<TrustFinding> found;
  if (!file.hasOwnership) return found;
  const bool worldWritable = (file.mode & kOthersWrite) != 0;
  if (worldWritable) {
    found.push_back({kWorldWritable, true, path,
                     "is writable by every user, so anyone could put code of theirs into every "
                     "process that loads it",
                     "chmod o-w " + path});
  }
  if (file.owner != 0 && file.owner != effectiveUser) {
    std::string remedy = "chown root " + path;
    if (effectiveUser != 0) remedy += " (or chown " + number(effectiveUser) + " " + path + ")";
    found.push_back({kForeignOwner, true, path,
                     "is owned by user " + number(file.owner) +
                         ", neither root nor the user this process runs as (" +
                         number(effectiveUser) + "), so that user could put code of theirs into it",
                     remedy});
  }
  const bool checkDirectory = inDirectory && inDirectory->hasOwnership;
  const bool openDirectory = checkDirectory && (inDirectory->mode & kOthersWrite) != 0;
  if (openDirectory && (inDirectory->mode & kSticky) == 0) {
    found.push_back({kOpenDirectory, true, directory,
                     "is in " + directory +
                         ", which every user can write and which has no sticky bit, so anyone "
                         "could put a package of theirs in its place",
                     "chmod o-w " + directory});
  }
  if (refusalsOnly) return found;
  // What others may write is told above; the group's write matters apart.
  if (!worldWritable && (file.mode & kGroupWrite) != 0) {
    found.push_back({kGroupWritable, false, path,
                     "is writable by its group (group " + number(file.group) +
                         "), whose members could put code of theirs into it",
                     "chmod g-w " + path});
  }
  if (checkDirectory && !openDirectory && (inDirectory->mode & kGroupWrite) != 0) {
    found.push_back({kGroupWritableDirectory, false, directory,
                     "is in " + directory + ", which its group (group " +
                         number(inDirectory->group) +
                         ") can write, so its members could put a package of theirs in its place",
                     "chmod g-w " + directory});
  }
  return found;
}

}  // namespace zep::shared_package
