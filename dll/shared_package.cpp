// The default shared package: loads driver packages by base name from the
// package directories, counts the loads of each name, and gives operator
// messages to the host's message handler, or else writes them to standard
// error. A host with dialogs provides its own library of this name with the
// same three exports, or sets a handler through the C interface.
#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"
#include "shared_package/dependencies.hpp"
#include "shared_package/explain.hpp"
#include "shared_package/message_handler.hpp"
#include "shared_package/package_search.hpp"
#include "shared_package/trust.hpp"
#include "zep00001/zep00001.hpp"

namespace {

// A name as it can be read in a log: control bytes, bytes above 126 and the
// quote itself written as \xNN, so a stray NUL cannot cut the message short.
std::string quoted(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string shown = "\"";
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') {
      shown += "\\x";
      shown += digits[c >> 4];
      shown += digits[c & 15];
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown + "\"";
}

// The directory of this library, found once: it stays where it is while it is
// mapped, and finding it costs a walk of the whole path on every load.
const std::string& ownDirectory() {
  // The address of a function of this library alone: that of an exported one
  // may be a program's PLT entry, which would place it in the program.
  static const std::string directory =
      zep::platform::directoryOf(reinterpret_cast<const void*>(&quoted));
  return directory;
}

// The images of files that passed the check before their load, known again
// by their identity, so that an unchanged file is not read on every load;
// what they need is walked again every time. A till loads a handful of
// packages; the oldest is forgotten first.
class CheckedImages {
 public:
  bool find(const zep::platform::FileStatus::Identity& identity, zep::object::Image& image) const {
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].identity != identity) continue;
      image = entries_[i].image;
      return true;
    }
    return false;
  }
  void add(const zep::platform::FileStatus::Identity& identity, const zep::object::Image& image) {
    for (std::size_t i = 0; i < count_; ++i) {
      if (entries_[i].identity == identity) return;
    }
    entries_[next_] = {identity, image};
    next_ = (next_ + 1) % entries_.size();
    count_ = std::min(count_ + 1, entries_.size());
  }

 private:
  struct Entry {
    zep::platform::FileStatus::Identity identity;
    zep::object::Image image;
  };
  std::array<Entry, 32> entries_{};
  std::size_t count_ = 0;
  std::size_t next_ = 0;
};

// The package directories held open for the loader's names of the libraries
// loaded from them. glibc knows a library again by the name it was loaded
// under before it looks at a file, so a name under /proc/self/fd/<n> must
// never come to mean another file: a descriptor stays open while a library
// named through it is loaded, or stays mapped after its unload. One
// descriptor a directory, known again by its identity.
struct HeldDirectory {
  std::uint64_t device;
  std::uint64_t inode;
  int descriptor;
  std::size_t loads;
  // Libraries unloaded from it that were still mapped then (closeLibraryAndTellIfGone's keys).
  std::vector<std::uintptr_t> lingering;
};

struct Opened {
  zep::platform::Library library;
  int directory;
};

// A package's load, and those of the libraries loaded for it, leaves first.
struct Load {
  Opened package;
  std::vector<Opened> dependencies;
};

std::mutex tableMutex;
// Every load holds one handle; an unload of the name releases the latest. A
// name keeps its entry when it holds none, so that a package bound and
// unbound over and over makes and frees nothing here.
std::map<std::string, std::vector<Load>> loads;
std::vector<HeldDirectory> heldDirectories;
CheckedImages checkedImages;

// Gives up one load's use of a held directory (under tableMutex); `mapped`
// is what closeLibraryAndTellIfGone gave for its library.
void releaseDirectory(int descriptor, std::uintptr_t mapped) noexcept {
  auto held = std::find_if(heldDirectories.begin(), heldDirectories.end(),
                           [&](const HeldDirectory& h) { return h.descriptor == descriptor; });
  if (held == heldDirectories.end()) return;
  --held->loads;
  if (mapped != 0) {
    try {
      held->lingering.push_back(mapped);
    } catch (...) {
      return;  // kept open for good rather than a name freed too soon
    }
  }
  if (held->loads != 0) return;
  std::erase_if(held->lingering,
                [](std::uintptr_t key) { return !zep::platform::stillMapped(key); });
  if (!held->lingering.empty()) return;
  zep::platform::closeDescriptor(held->descriptor);
  *held = std::move(heldDirectories.back());
  heldDirectories.pop_back();
}

// The descriptor through which the loader is given `opened`'s file: the one
// already held for its directory, or its own, now held (under tableMutex).
int holdDirectory(zep::platform::PackageFile& opened) {
  const auto& identity = *opened.directoryStatus.identity;
  for (HeldDirectory& held : heldDirectories) {
    if (held.device != identity.device || held.inode != identity.inode) continue;
    if (held.descriptor != opened.directory) {
      const std::string::size_type slash = opened.loaderName.rfind('/');
      opened.loaderName =
          "/proc/self/fd/" + std::to_string(held.descriptor) + opened.loaderName.substr(slash);
    }
    ++held.loads;
    return held.descriptor;
  }
  heldDirectories.push_back({identity.device, identity.inode, opened.directory, 1, {}});
  return opened.releaseDirectory();
}

void unload(const Opened& opened) noexcept {
  const std::uintptr_t mapped = zep::platform::closeLibraryAndTellIfGone(opened.library);
  std::lock_guard<std::mutex> lock(tableMutex);
  releaseDirectory(opened.directory, mapped);
}

// Unloads what was loaded for one package, the last first.
void unloadAll(const std::vector<Opened>& opened) noexcept {
  for (auto at = opened.rbegin(); at != opened.rend(); ++at) unload(*at);
}

// The image of an opened file: the one read at an earlier check of this
// unchanged file, or read and checked now and kept when the check stands.
// A file changed within a second of its check could keep the change time
// the search read: that one is read again next time.
bool checkedImage(const zep::platform::PackageFile& file, zep::object::Image& image,
                  std::string& reason) {
  const auto& identity = file.status.identity;
  if (identity) {
    std::lock_guard<std::mutex> lock(tableMutex);
    if (checkedImages.find(*identity, image)) return true;
  }
  const zep::platform::Timestamp checkBegan = zep::platform::changeClock();
  if (!zep::object::readLoadableImage(file, image, reason)) return false;
  if (identity && zep::shared_package::checkStands(*identity, checkBegan)) {
    std::lock_guard<std::mutex> lock(tableMutex);
    checkedImages.add(*identity, image);
  }
  return true;
}

// Loads, leaves first, the libraries the package needs that are not loaded
// yet, each held as the package is; false and why when one is refused.
bool loadDependencies(const zep::platform::PackageFile& package, const zep::object::Image& image,
                      std::uint32_t user, std::vector<Opened>& loaded, std::string& reason) {
  std::vector<zep::shared_package::Dependency> plan;
  if (!zep::shared_package::planDependencies(package, image, user, checkedImage, plan, reason))
    return false;
  // Room made first: nothing may fail between a load and its record.
  loaded.reserve(plan.size());
  for (zep::shared_package::Dependency& dependency : plan) {
    int directory = -1;
    {
      std::lock_guard<std::mutex> lock(tableMutex);
      if (dependency.opened.directory >= 0) directory = holdDirectory(dependency.opened);
    }
    std::string why;
    zep::platform::Library library = zep::platform::openLibrary(dependency.opened.loaderName, why);
    if (library == nullptr) {
      {
        std::lock_guard<std::mutex> lock(tableMutex);
        releaseDirectory(directory, 0);
      }
      reason = "needs " + dependency.name + ", which the loader refused to load from " +
               zep::platform::descriptorPath(dependency.opened.file) + ": " + why;
      return false;
    }
    loaded.push_back({library, directory});
  }
  return true;
}

// Loads the package file the search found and holds open, after what it
// needs, or gives null and why not. A file that others could rewrite is
// refused before anything of it is read.
zep::platform::Library openPackage(zep::shared_package::FoundPackage& found, Load& load,
                                   std::string& reason) {
  // Which user this process is matters only for what root does not own.
  const std::uint32_t user = zep::platform::effectiveUser();
  const std::vector<zep::shared_package::TrustFinding> refusals =
      zep::shared_package::trustFindings(found, user, true);
  if (!refusals.empty()) {
    reason = zep::shared_package::refusalText(refusals, "\n  " + found.file + ": ");
    return nullptr;
  }
  int& directory = load.package.directory;
  directory = -1;
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    // Windows holds the directory by a handle of the search's own, for the load.
    if (found.opened.directory >= 0 && found.opened.directoryStatus.identity)
      directory = holdDirectory(found.opened);
  }
  zep::platform::Library library = nullptr;
  try {
    zep::object::Image image;
    if (checkedImage(found.opened, image, reason)) {
      library = zep::object::openCheckedLibrary(
          found.opened, reason, &image,
          [&](const zep::platform::PackageFile& file, const zep::object::Image& needs,
              std::string& why) {
            return loadDependencies(file, needs, user, load.dependencies, why);
          });
    }
  } catch (...) {
    unloadAll(load.dependencies);
    std::lock_guard<std::mutex> lock(tableMutex);
    releaseDirectory(directory, 0);
    throw;
  }
  if (library == nullptr) {
    unloadAll(load.dependencies);
    load.dependencies.clear();
    std::lock_guard<std::mutex> lock(tableMutex);
    releaseDirectory(directory, 0);
  }
  return library;
}

}  // namespace

void* LoadBPL_FOS(const std::string& package) {
  if (!zep::shared_package::isBaseName(package)) {
    throw std::runtime_error("cannot load package " + quoted(package) +
                             ": a package name is a base name of ASCII letters, digits and _");
  }
  std::string tried;
  std::string searchPath;
  std::optional<zep::shared_package::FoundPackage> found = zep::shared_package::findPackage(
      zep::platform::environment("ZEP_PACKAGE_PATH", searchPath), ownDirectory(), package, tried);
  if (!found) {
    throw std::runtime_error("cannot load package " + quoted(package) + ": " +
                             zep::platform::packageFileName(package) +
                             " is in none of the package directories" + tried);
  }
  std::string reason;
  Load load;
  load.package.library = openPackage(*found, load, reason);
  if (load.package.library == nullptr) {
    throw std::runtime_error("cannot load package " + quoted(package) + tried + "\n  " +
                             found->file + ": " + reason);
  }
  void* const library = load.package.library;
  std::unique_lock<std::mutex> lock(tableMutex);
  try {
    loads[package].push_back(std::move(load));
  } catch (...) {
    lock.unlock();
    unload(load.package);
    unloadAll(load.dependencies);
    throw;
  }
  return library;
}

void UnLoadBPL(const std::string& package) {
  Load load{};
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    auto found = loads.find(package);
    if (found == loads.end() || found->second.empty()) return;
    load = std::move(found->second.back());
    found->second.pop_back();
  }
  unload(load.package);
  unloadAll(load.dependencies);
}

namespace {

struct MessageReceiver {
  zep_message_handler handler = nullptr;
  void* context = nullptr;
};

std::mutex receiverMutex;
MessageReceiver receiver;

MessageReceiver currentReceiver() {
  std::lock_guard<std::mutex> lock(receiverMutex);
  return receiver;
}

}  // namespace

extern "C" ZEP_SHARED_API void zep_dll_set_message_handler(zep_message_handler handler,
                                                           void* context) {
  std::lock_guard<std::mutex> lock(receiverMutex);
  receiver = {handler, context};
}

void Mensagem(const std::string& text, const std::string& text2, const std::string& text3,
              const std::string& text4, zep::TTipoMsg kind, const std::string& text5,
              const std::string& text6, std::int32_t number, zep::TClientDataSet* dataSet) {
  if (const MessageReceiver to = currentReceiver(); to.handler != nullptr) {
    to.handler(to.context, text.c_str(), text2.c_str(), text3.c_str(), text4.c_str(),
               static_cast<std::int32_t>(kind), text5.c_str(), text6.c_str(), number, dataSet);
    return;
  }
  std::string shown = text;
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  std::cerr << "[operator message, kind " << static_cast<std::int32_t>(kind) << "]\n"
            << shown << std::endl;
}
