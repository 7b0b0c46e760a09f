#include "inspect/identify.hpp"

#include <algorithm>
#include <filesystem>
#include <span>

#include "object/image.hpp"
#include "platform/platform.hpp"
#include "shared_package/explain.hpp"
#include "shared_package/dependencies.hpp"
#include "shared_package/package_search.hpp"
#include "shared_package/trust.hpp"

namespace zep::inspect {

using object::Image;
using object::ImageFormat;
using object::ImageKind;
using object::describeContent;
using object::describeTarget;
using object::kLargestLibrary;
using object::processTarget;
using object::readFile;
using object::readImage;

char packagePathSeparator() { return platform::kPathListSeparator; }

std::string packageFileName(const std::string& name) { return platform::packageFileName(name); }

std::optional<std::string> packageNameOf(const std::string& fileName) {
  // The platform's file name of the empty name gives its prefix and suffix.
  const std::string frame = platform::packageFileName("");
  const std::string prefix = frame.substr(0, frame.find('.'));
  const std::string suffix = frame.substr(prefix.size());
  if (fileName.size() <= frame.size() || !fileName.starts_with(prefix) ||
      !fileName.ends_with(suffix)) {
    return std::nullopt;
  }
  std::string name = fileName.substr(prefix.size(), fileName.size() - frame.size());
  if (!shared_package::isBaseName(name)) return std::nullopt;
  return name;
}

bool Identity::refused() const {
  return std::any_of(trust.begin(), trust.end(),
                     [](const TrustNote& note) { return note.refused; });
}

int Identity::exitStatus() const {
  return unloadable.empty() && !sets.empty() && !refused() ? 0 : 1;
}

namespace {

void readSets(Identity& identity, const Image& image) {
  for (const catalog::SlotSet& set : catalog::sets()) {
    std::size_t exported = 0;
    for (const catalog::Slot& slot : set.slots) {
      exported += std::binary_search(image.exports.begin(), image.exports.end(), slot.entry);
    }
    if (exported != 0) identity.sets.push_back({&set, exported});
  }
  std::stable_sort(identity.sets.begin(), identity.sets.end(),
                   [](const SetServed& a, const SetServed& b) {
                     if (a.exported != b.exported) return a.exported > b.exported;
                     return a.exported * b.set->slots.size() > b.exported * a.set->slots.size();
                   });
}

void checkTrust(Identity& identity, const shared_package::FoundPackage& found, const Image& image) {
  identity.trustChecked = true;
  const std::uint32_t user = platform::effectiveUser();
  for (shared_package::TrustFinding& finding : shared_package::trustFindings(found, user)) {
    identity.trust.push_back({finding.kind, finding.refused,
                              finding.subject + " " + finding.problem, std::move(finding.remedy)});
  }
  // The walk a bind makes, with nothing loaded: the held files close with it.
  std::string reason;
  std::vector<shared_package::Dependency> plan;
  if (!shared_package::planDependencies(found.opened, image, user, object::readLoadableImage, plan,
                                        reason)) {
    identity.trust.push_back({"dependency", true, reason, ""});
  }
}

// What keeps the loader from taking the file at all, or nothing.
std::string unloadable(const Image& image, std::span<const std::uint8_t> bytes) {
  if (image.target.format == ImageFormat::None) return "is no library: " + describeContent(bytes);
  if (image.target != processTarget()) {
    return "is built for " + describeTarget(image.target) + ", not for this host's " +
           describeTarget(processTarget());
  }
  if (image.kind != ImageKind::SharedLibrary) return "is no shared library";
  if (!image.defect.empty()) return "is damaged: " + image.defect;
  return {};
}

}  // namespace

// A package's file is opened as a load opens it, its directory the only one
// searched, and what is read and checked is that open file.
Identity identify(const std::string& file) {
  Identity identity;
  identity.file = file;
  identity.package = packageNameOf(std::filesystem::path(file).filename().string());
  std::vector<std::uint8_t> bytes;
  std::optional<shared_package::FoundPackage> found;
  if (identity.package) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::absolute(file, error);
    std::string tried;
    if (!error) {
      found =
          shared_package::findPackage(path.parent_path().string(), "", *identity.package, tried);
    }
    std::uint64_t size = 0;
    if (!found) {
      identity.unloadable = "cannot be opened as the default shared package opens it:" +
                            (error ? " " + error.message() : tried);
      return identity;
    }
    if (!platform::readFileHead(found->opened, kLargestLibrary, bytes, size) ||
        bytes.size() != size) {
      identity.unloadable = "cannot be read whole";
      return identity;
    }
  } else {
    std::string error;
    if (!readFile(file, bytes, error)) {
      identity.unloadable = "cannot be read: " + error;
      return identity;
    }
  }
  const Image image = readImage(bytes);
  identity.unloadable = unloadable(image, bytes);
  readSets(identity, image);
  if (found && identity.unloadable.empty()) checkTrust(identity, *found, image);
  return identity;
}

}  // namespace zep::inspect
