// The walk of DT_NEEDED as glibc would search it: each name not loaded yet
// is looked for along DT_RPATH (where there is no DT_RUNPATH, up the chain
// of the libraries that need it, then of the object that loads them and
// the program), LD_LIBRARY_PATH and DT_RUNPATH, each
// directory's glibc-hwcaps subdirectories first; what none of them holds is
// the system's. Every directory on the way is reached one component at a
// time and judged, whether or not it holds the library today: the loader
// searches them again by name for what falls through to the system.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>

#include "shared_package/dependencies.hpp"
#include "shared_package/package_search.hpp"
#include "shared_package/trust.hpp"

namespace zep::shared_package {
namespace {

using platform::PackageFile;

// How long a chain of libraries needing libraries may be.
constexpr std::size_t kDeepest = 64;
constexpr std::string_view kDescriptors = "/proc/self/fd/";
constexpr std::string_view kHwcaps = "/glibc-hwcaps";
constexpr std::string_view kLibraryPath = "LD_LIBRARY_PATH";

std::string parentOf(std::string_view path) {
  const std::string_view::size_type slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return std::string(slash == 0 ? "/" : path.substr(0, slash));
}

// One list of directories the loader searches, and the directory its
// $ORIGIN stands for (empty: none).
struct PathList {
  std::string entries;
  std::string origin;
  std::string_view source;
  // Whose list it is, where not the library's that needs the name.
  std::string object = {};
};

// A directory of a search path, as the loader would reach it by name.
struct SearchDirectory {
  platform::Descriptor directory;
  platform::FileStatus status;
  // Its real path, for what is said of it.
  std::string shown;
};

enum class Found { Nothing, Library, Refused };

class Walk {
 public:
  Walk(std::uint32_t user, const ImageReader& read, std::vector<Dependency>& load,
       std::string& reason)
      : user_(user), read_(read), load_(load), reason_(reason) {}

  bool object(const PackageFile& of, const object::Image& image,
              const std::vector<PathList>& rpaths, std::size_t depth) {
    const std::vector<bool> loaded = platform::loadedUnderNames(image.needed);
    const std::string origin = parentOf(of.loaderName);
    origins_.push_back(origin);
    std::vector<PathList> chain;
    if (image.runPath.empty() && !image.rPath.empty())
      chain.push_back({image.rPath, origin, "DT_RPATH"});
    chain.insert(chain.end(), rpaths.begin(), rpaths.end());
    for (std::size_t i = 0; i < image.needed.size(); ++i) {
      const std::string& name = image.needed[i];
      if (loaded[i] || std::find(planned_.begin(), planned_.end(), name) != planned_.end())
        continue;
      if (name.find('/') != std::string::npos) {
        if (!systemPath(name)) return false;
        continue;
      }
      // A library with DT_RUNPATH has the DT_RPATHs of none searched.
      std::vector<PathList> lists;
      if (image.runPath.empty()) {
        lists = chain;
        const std::vector<PathList>& above = inherited();
        lists.insert(lists.end(), above.begin(), above.end());
      }
      std::optional<std::string> libraryPath;
      if (!platform::loaderLibraryPath(libraryPath)) {
        reason_ = "needs " + name +
                  ", and the LD_LIBRARY_PATH the loader searches first cannot "
                  "be read (" +
                  std::strerror(errno) + ")";
        return false;
      }
      if (libraryPath) lists.push_back({*libraryPath, {}, kLibraryPath});
      if (!image.runPath.empty()) lists.push_back({image.runPath, origin, "DT_RUNPATH"});
      planned_.push_back(name);
      std::optional<Dependency> found;
      if (search(name, lists, found) == Found::Refused) return false;
      if (!found) {
        if (!systemChecked()) return false;
        continue;
      }
      object::Image dependency;
      if (!read_(found->opened, dependency, reason_))
        return refuse(name, found->opened, std::string(reason_));
      if (dependency.soname != name) {
        return refuse(
            name, found->opened,
            (dependency.soname.empty() ? std::string("has no SONAME")
                                       : "is known to the loader as " + dependency.soname) +
                ", so the loader would search for " + name + " again, by name");
      }
      if (depth >= kDeepest) {
        reason_ = "needs libraries nested deeper than " + std::to_string(kDeepest) + " levels";
        return false;
      }
      if (!object(found->opened, dependency, chain, depth + 1)) return false;
      load_.push_back(std::move(*found));
    }
    return true;
  }

 private:
  bool refuse(const std::string& name, const PackageFile& opened, const std::string& why) {
    std::string real = opened.realFile;
    if (real.empty()) real = platform::descriptorPath(opened.directory) + "/" + name;
    reason_ = "needs " + name + ", which the loader would take from " + real + ", and which " + why;
    return false;
  }

  // The DT_RPATHs searched after those of the libraries that need a name,
  // read once a name is searched for. An $ORIGIN under a descriptor is the
  // directory that descriptor holds now, as for the loader.
  const std::vector<PathList>& inherited() {
    if (inherited_) return *inherited_;
    inherited_.emplace();
    for (platform::InheritedRpath& rpath : platform::inheritedRpaths()) {
      if (rpath.origin.starts_with(kDescriptors)) {
        // Only a number names a descriptor; any other name there is none.
        const std::string held =
            rpath.origin.substr(0, rpath.origin.find('/', kDescriptors.size()));
        const std::string_view number = std::string_view(held).substr(kDescriptors.size());
        if (!number.empty() && number.size() < 10 &&
            number.find_first_not_of("0123456789") == std::string_view::npos)
          origins_.push_back(held);
      }
      inherited_->push_back(
          {std::move(rpath.entries), std::move(rpath.origin), "DT_RPATH", std::move(rpath.object)});
    }
    return *inherited_;
  }

  // What is said of a directory the loader searches for `name` on `list`.
  static std::string lookedFor(const std::string& name, const PathList& list) {
    std::string said = "needs " + name + ", which the loader looks for";
    if (!list.object.empty())
      said += " (as the " + std::string(list.source) + " of " + list.object + " says)";
    return said;
  }

  // `name` along the lists, in the loader's order.
  Found search(const std::string& name, const std::vector<PathList>& lists,
               std::optional<Dependency>& found) {
    for (const PathList& list : lists) {
      const std::string said = lookedFor(name, list);
      std::string_view rest = list.entries;
      for (;;) {
        const std::string_view::size_type end =
            rest.find_first_of(list.source == kLibraryPath ? ":;" : ":");
        const std::string_view entry = rest.substr(0, end);
        const std::optional<std::string> path = expand(name, entry, list);
        if (!path) return Found::Refused;
        if (const Found in = searchDirectory(name, said, *path, found); in != Found::Nothing)
          return in;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
      }
    }
    return Found::Nothing;
  }

  // The directory an entry names, $ORIGIN made the directory of the
  // library whose list it is; nothing, and why, when the loader's reading
  // of it cannot be known or goes through the current directory.
  std::optional<std::string> expand(const std::string& name, std::string_view entry,
                                    const PathList& list) {
    std::string path(entry);
    const std::string said =
        "needs " + name + ", and " +
        (list.object.empty() ? "its search path" : "the search path of " + list.object) + " (" +
        std::string(list.source) + " \"" + list.entries + "\") holds ";
    if (path.empty()) {
      reason_ = said + "an empty entry, which the loader takes for the current directory";
      return std::nullopt;
    }
    if (!list.origin.empty()) {
      for (const std::string_view token : {"${ORIGIN}", "$ORIGIN"}) {
        for (std::string::size_type at; (at = path.find(token)) != std::string::npos;) {
          const std::string::size_type after = at + token.size();
          if (after < path.size() && path[after] != '/') break;
          path.replace(at, token.size(), list.origin);
        }
      }
    }
    if (path.find('$') != std::string::npos) {
      reason_ = said + std::string(entry) +
                ", which the module cannot expand exactly as the loader would";
      return std::nullopt;
    }
    if (path.front() != '/') {
      reason_ = said + "the relative entry " + std::string(entry) +
                ", which the loader takes from the current directory";
      return std::nullopt;
    }
    return path;
  }

  // `name` in the directory `path`, of which `said` says how the loader
  // comes to look there.
  Found searchDirectory(const std::string& name, const std::string& said, const std::string& path,
                        std::optional<Dependency>& found) {
    const SearchDirectory* directory = open(said, path);
    if (directory == nullptr) return Found::Refused;
    if (directory->directory < 0) return Found::Nothing;
    if (!subdirectories_) {
      // A processor whose glibc-hwcaps subdirectories this build does not
      // know: any there could be the loader's choice.
      const std::optional<platform::FileStatus> hwcaps =
          platform::fileStatus(path + std::string(kHwcaps));
      if (hwcaps) {
        reason_ = said + " in " + directory->shown + std::string(kHwcaps) +
                  ", whose subdirectories for this processor the module cannot tell";
        return Found::Refused;
      }
    } else if (!subdirectories_->empty()) {
      // Most directories have none: then no level is looked for.
      const std::string levels = path + std::string(kHwcaps);
      const SearchDirectory* hwcaps = open(said, levels);
      if (hwcaps == nullptr) return Found::Refused;
      for (const std::string& subdirectory : *subdirectories_) {
        if (hwcaps->directory < 0) break;
        const SearchDirectory* below = open(said, levels + "/" + subdirectory);
        if (below == nullptr) return Found::Refused;
        if (const Found in = lookUp(name, *below, found); in != Found::Nothing) return in;
      }
    }
    return lookUp(name, *directory, found);
  }

  Found lookUp(const std::string& name, const SearchDirectory& directory,
               std::optional<Dependency>& found) {
    if (directory.directory < 0) return Found::Nothing;
    platform::Descriptor held;
    held = platform::duplicateDescriptor(directory.directory);
    PackageFile opened = platform::openInDirectory(std::move(held), directory.status, name);
    if (opened.problem == PackageFile::Problem::NoFile && opened.error == ENOENT)
      return Found::Nothing;
    if (opened.problem != PackageFile::Problem::None) {
      reason_ =
          "needs " + name + ", and " + directory.shown + "/" + name + " " + whyNotLoaded(opened);
      return Found::Refused;
    }
    FoundPackage candidate{directory.shown + "/" + name, directory.shown, std::move(opened)};
    const std::vector<TrustFinding> refusals = trustFindings(candidate, user_, true);
    if (!refusals.empty()) {
      refuse(name, candidate.opened, refusalText(refusals, "; and which "));
      return Found::Refused;
    }
    found = Dependency{name, std::move(candidate.opened)};
    return Found::Library;
  }

  // The directory `path` names, reached as the loader would reach it and
  // judged on the way; null when it is refused, `said` saying why the loader
  // looks there.
  const SearchDirectory* open(const std::string& said, const std::string& path) {
    if (auto known = directories_.find(path); known != directories_.end()) return &known->second;
    platform::DirectoryWalk walk;
    // An $ORIGIN: the directory held open for the loader's name of the
    // library whose list it is, begun from there.
    const std::string::size_type originEnd = path.find('/', kDescriptors.size());
    const std::string origin = path.substr(0, originEnd);
    if (path.starts_with(kDescriptors) &&
        std::find(origins_.begin(), origins_.end(), origin) != origins_.end()) {
      const int held = std::stoi(origin.substr(kDescriptors.size()));
      const std::string rest = originEnd == std::string::npos ? "" : path.substr(originEnd + 1);
      // Its path names the steps below it, where there are any.
      walk = platform::walkDirectory(rest, held,
                                     rest.empty() ? std::string() : platform::descriptorPath(held));
    } else {
      walk = platform::walkDirectory(path);
    }
    const std::string place = said + " through ";
    for (const platform::PathStep& step : walk.steps) {
      if (std::optional<TrustFinding> refused = stepRefusal(step, user_, place)) {
        reason_ = refused->problem + "; remedy: " + refused->remedy;
        return nullptr;
      }
    }
    if (walk.error != 0 && walk.error != ENOENT) {
      reason_ =
          said + " in " + path + ", which cannot be searched (" + std::strerror(walk.error) + ")";
      return nullptr;
    }
    SearchDirectory& directory = directories_[path];
    directory.shown = walk.directory >= 0 ? platform::descriptorPath(walk.directory) : path;
    directory.status = walk.status;
    directory.directory = std::move(walk.directory);
    return &directory;
  }

  // A library the loader takes from the system's own directories, which
  // only root may change: so are they, and so is what names them.
  bool systemChecked() {
    if (systemChecked_) return true;
    system_ = platform::systemDirectories();
    for (const platform::PathStep& file : system_.configuration) {
      // Root's alone: an access list may let no other user write it.
      if (file.status.hasOwnership && (file.status.owner != 0 || (file.status.mode & 022) != 0 ||
                                       accessRefused(file.status, 0))) {
        reason_ = "needs a library of the system's, whose directories " + file.path +
                  " names, and which others than root can change; remedy: as root, replace it "
                  "with a copy made by root: cp " +
                  file.path + " " + file.path + ".root && chmod 644 " + file.path +
                  ".root && mv -f " + file.path + ".root " + file.path;
        return false;
      }
    }
    for (const std::string& directory : system_.directories) {
      if (open("needs a library of the system's, which the loader looks for", directory) == nullptr)
        return false;
    }
    systemChecked_ = true;
    return true;
  }

  // A name holding a '/', which the loader opens as it stands: taken only
  // in a directory of the system's.
  bool systemPath(const std::string& name) {
    if (name.front() == '/') {
      if (!systemChecked()) return false;
      const std::vector<std::string>& directories = system_.directories;
      if (std::find(directories.begin(), directories.end(), parentOf(name)) != directories.end())
        return true;
    }
    reason_ = "needs " + name +
              ", a path which the loader opens as it stands (from the current directory when it "
              "is relative), outside the system's library directories";
    return false;
  }

  std::uint32_t user_;
  const ImageReader& read_;
  std::vector<Dependency>& load_;
  std::string& reason_;
  std::vector<std::string> planned_;
  std::vector<std::string> origins_;
  std::optional<std::vector<PathList>> inherited_;
  std::map<std::string, SearchDirectory> directories_;
  const std::optional<std::vector<std::string>>& subdirectories_ = platform::loaderSubdirectories();
  bool systemChecked_ = false;
  platform::SystemDirectories system_;
};

}  // namespace

bool planDependencies(const platform::PackageFile& package, const object::Image& image,
                      std::uint32_t effectiveUser, const ImageReader& read,
                      std::vector<Dependency>& load, std::string& reason) {
  if (!package.status.hasOwnership || image.needed.empty()) return true;
  Walk walk(effectiveUser, read, load, reason);
  return walk.object(package, image, {}, 0);
}

}  // namespace zep::shared_package
