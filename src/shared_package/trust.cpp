#include "shared_package/trust.hpp"

#include "platform/access.hpp"

namespace zep::shared_package {

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

// What another user owns is replaced, never given away: chown would leave
// that user whatever descriptor of it they hold open, to write through
// later, and a directory's entries theirs.
std::string replaceFile(const std::string& file) {
  return "as root, once its contents are trusted, replace it with a copy made by root: cp " + file +
         " " + file + ".root && mv -f " + file + ".root " + file;
}
std::string replaceDirectory(const std::string& directory) {
  return "as root, replace it with a directory made by root holding copies of what you trust in "
         "it: mkdir " +
         directory + ".root && cp -R " + directory + "/. " + directory + ".root && mv " +
         directory + " " + directory + ".old && mv " + directory + ".root " + directory;
}

// What an access list lets others write, said of `subject` (`said` leading
// the problem: "is", or "is in DIR, which"): another user's write refuses
// as their owning it would, a group's is the group's own affair. A file's
// remedy replaces it, as a file another user owns: taking the entry away
// would leave that user a descriptor already opened for writing; a
// directory's entries are checked each time they are opened.
void accessFindings(std::vector<TrustFinding>& found, const std::string& said,
                    const std::string& subject, const platform::FileStatus& status,
                    std::uint32_t effectiveUser, bool refusalsOnly) {
  const bool directory = status.kind == platform::FileStatus::Kind::Directory;
  const char* refused = directory ? kForeignDirectory : kForeignOwner;
  const std::string replaces = directory ? "" : replaceFile(subject);
  const std::string harm =
      directory ? "put a package of theirs in its place" : "put code of theirs into it";
  if (!status.access.problem.empty()) {
    found.push_back({refused, true, subject,
                     said + (directory ? " a directory" : " a file") +
                         " of which who may write cannot be told: " + status.access.problem,
                     directory ? "setfacl -b " + subject : replaces});
  }
  for (const std::uint32_t user : status.access.users) {
    if (trustedOwner(user, effectiveUser)) continue;
    found.push_back({refused, true, subject,
                     said + " writable by user " + number(user) +
                         " through its access list, neither root nor the user this process "
                         "runs as (" +
                         number(effectiveUser) + "), so that user could " + harm,
                     directory ? "setfacl -x u:" + number(user) + " " + subject : replaces});
  }
  if (refusalsOnly) return;
  for (const std::uint32_t group : status.access.groups) {
    found.push_back({directory ? kGroupWritableDirectory : kGroupWritable, false, subject,
                     said + " writable by group " + number(group) +
                         " through its access list, so its members could " + harm,
                     "setfacl -x g:" + number(group) + " " + subject});
  }
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
                     replaceDirectory(directory)});
  }
  if (!refusalsOnly && !open && (status.mode & kGroupWrite) != 0) {
    found.push_back({kGroupWritableDirectory, false, directory,
                     place + directory + ", which its group (group " + number(status.group) +
                         ") can write, so its members could put a package of theirs in its place",
                     "chmod g-w " + directory});
  }
  accessFindings(found, place + directory + ", which is", directory, status, effectiveUser,
                 refusalsOnly);
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
             open ? "chmod o-w " + above : replaceDirectory(above)});
      }
    }
    if (above == "/") break;
  }
}

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
    return (status.mode & kOthersWrite) != 0 || !trustedOwner(status.owner, effectiveUser) ||
           accessRefused(status, effectiveUser);
  };
  bool foreignLink = false;
  for (const platform::PathStep& step : opened.linkSteps)
    foreignLink = foreignLink || (step.link && !trustedOwner(step.status.owner, effectiveUser));
  const bool anyFault =
      !refusalsOnly || worldWritable || foreignOwner || foreignLink ||
      accessRefused(file, effectiveUser) || directoryAtFault(opened.directoryStatus) ||
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
  if (foreignLink) {
    const platform::PathStep& first = opened.linkSteps.front();
    if (!trustedOwner(first.status.owner, effectiveUser)) {
      findings.push_back(
          {kForeignLink, true, found.file,
           "is a link made by user " + number(first.status.owner) +
               ", neither root nor the user this process runs as (" + number(effectiveUser) +
               "), who so chooses which file is loaded (the kernel itself follows no such link "
               "in a sticky directory)",
           "as root, make the link again: ln -sfn " + real + " " + found.file});
    }
    for (std::size_t i = 1; i < opened.linkSteps.size(); ++i) {
      const platform::PathStep& step = opened.linkSteps[i];
      if (!step.link) continue;
      if (std::optional<TrustFinding> refused = stepRefusal(step, effectiveUser, "leads through "))
        findings.push_back(std::move(*refused));
    }
  }
  if (worldWritable) {
    findings.push_back({kWorldWritable, true, real,
                        is + " writable by every user, so anyone could put code of theirs into "
                             "every process that loads it",
                        "chmod o-w " + real});
  }
  if (foreignOwner) {
    const std::string remedy = replaceFile(real);
    findings.push_back({kForeignOwner, true, real,
                        is + " owned by user " + number(file.owner) +
                            ", neither root nor the user this process runs as (" +
                            number(effectiveUser) +
                            "), so that user could put code of theirs into it",
                        remedy});
  }
  accessFindings(findings, is, real, file, effectiveUser, refusalsOnly);
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

std::optional<TrustFinding> stepRefusal(const platform::PathStep& step, std::uint32_t effectiveUser,
                                        const std::string& place) {
  const platform::FileStatus& status = step.status;
  if (!status.hasOwnership) return std::nullopt;
  if (step.link) {
    if (trustedOwner(status.owner, effectiveUser)) return std::nullopt;
    return TrustFinding{
        kForeignLink, true, step.path,
        place + "the link " + step.path + ", made by user " + number(status.owner) +
            ", who so chooses where it leads",
        "as root, make the link again: ln -sfn \"$(readlink " + step.path + ")\" " + step.path};
  }
  std::vector<TrustFinding> found;
  directoryFindings(found, place, step.path, status, effectiveUser, true);
  if (found.empty()) return std::nullopt;
  return std::move(found.front());
}

bool accessRefused(const platform::FileStatus& status, std::uint32_t effectiveUser) {
  if (!status.access.problem.empty()) return true;
  for (const std::uint32_t user : status.access.users)
    if (!trustedOwner(user, effectiveUser)) return true;
  return false;
}

std::string refusalText(const std::vector<TrustFinding>& refusals, const std::string& separator) {
  std::string text;
  for (const TrustFinding& refusal : refusals) {
    if (!text.empty()) text += separator;
    text += refusal.problem + "; remedy: " + refusal.remedy;
  }
  return text;
}

bool checkStands(const platform::FileStatus::Identity& identity, platform::Timestamp checkBegan) {
  return platform::Timestamp{identity.changed.seconds + 1, identity.changed.nanoseconds} <=
         checkBegan;
}

}  // namespace zep::shared_package
