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

}  // namespace zep::shared_package
