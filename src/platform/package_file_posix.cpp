// Package files opened for their load on Linux: the directory held, the
// file opened in it, links followed one at a time.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.hpp"
#include "platform/posix.hpp"

namespace zep::platform {
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

// The file behind the link `name` in `opened.linkDirectory`, followed a
// link at a time as the kernel would: each link opened itself, its owner
// read (every link read is kept as a step, with the directories its target
// passes through), its target (which no one can change in a link once made)
// walked from the link's directory to the directory it names, which is then
// held: the real file is opened in it without following a link.
void followLink(PackageFile& opened, const std::string& name) {
  Descriptor current;
  current = fcntl(opened.linkDirectory, F_DUPFD_CLOEXEC, 0);
  std::string where = descriptorPath(opened.linkDirectory);
  std::string base = name;
  for (int links = 0;; ++links) {
    Descriptor link;
    link = openat(current, base.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat found {};
    if (link < 0) {
      const int error = errno;
      return failed(
          opened, error == ENOENT ? PackageFile::Problem::DanglingLink : openProblem(error, false),
          error);
    }
    if (fstat(link, &found) != 0) return failed(opened, PackageFile::Problem::Unreadable, errno);
    if (!S_ISLNK(found.st_mode)) break;
    char target[PATH_MAX];
    const ssize_t length = links < 40 ? readlinkat(link, "", target, sizeof target - 1) : -1;
    if (length <= 0)
      return failed(opened, PackageFile::Problem::Unreadable, links < 40 ? errno : ELOOP);
    target[length] = '\0';
    const std::string linkPath = (where == "/" ? "" : where) + "/" + base;
    opened.linkSteps.push_back({linkPath, statusOf(found), true});
    const std::string_view followed(target, static_cast<std::size_t>(length));
    const std::string_view::size_type slash = followed.rfind('/');
    base = std::string(slash == std::string_view::npos ? followed : followed.substr(slash + 1));
    DirectoryWalk walk = walkDirectory(
        slash == std::string_view::npos ? std::string_view() : followed.substr(0, slash + 1),
        current, where);
    opened.linkSteps.insert(opened.linkSteps.end(), walk.steps.begin(), walk.steps.end());
    if (walk.directory < 0) {
      return failed(
          opened,
          walk.error == ENOENT ? PackageFile::Problem::DanglingLink : openProblem(walk.error, true),
          walk.error);
    }
    current = std::move(walk.directory);
    where = walk.path;
  }
  opened.file = openat(current, base.c_str(), kOpenFile | O_NOFOLLOW);
  if (opened.file < 0) return failed(opened, openProblem(errno, false), errno);
  struct stat file {};
  struct stat directory {};
  if (fstat(opened.file, &file) != 0 || fstat(current, &directory) != 0)
    return failed(opened, PackageFile::Problem::Unreadable, errno);
  if (PackageFile::Problem kind = kindProblem(file.st_mode); kind != PackageFile::Problem::None)
    return failed(opened, kind);
  opened.status = statusOf(file, opened.file, false);
  opened.directoryStatus = statusOf(directory, current, false);
  opened.realFile = descriptorPath(current) + "/" + base;
  opened.loaderName = "/proc/self/fd/" + std::to_string(current) + "/" + base;
  opened.directory = std::move(current);
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
  const FileStatus directoryStatus = statusOf(directoryFound, held, false);
  return openInDirectory(std::move(held), directoryStatus, name);
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
  opened.status = statusOf(file, opened.file, false);
  opened.directoryStatus = directoryStatus;
  opened.loaderName.reserve(24 + name.size());
  opened.loaderName.append("/proc/self/fd/")
      .append(std::to_string(descriptor))
      .append(1, '/')
      .append(name);
  return opened;
}

}  // namespace zep::platform
