#include "inspect/identify.hpp"

#include <algorithm>
#include <filesystem>

#include "object/image.hpp"
#include "platform/platform.hpp"
#include "shared_package/package_search.hpp"

namespace zep::inspect {

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

// As a load would find the file: its directory the only one searched.
void checkTrust(Identity& identity, const Image& image) {
  const std::filesystem::path path = std::filesystem::absolute(identity.file);
  std::string tried;
  std::optional<shared_package::FoundPackage> found =
      shared_package::findPackage(path.parent_path().string(), "", *identity.package, tried);
  if (!found) {
    identity.unloadable = "the default shared package would not open it:" + tried;
    return;
  }
  identity.trustChecked = true;
  const std::uint32_t user = platform::effectiveUser();
  for (shared_package::TrustFinding& finding : shared_package::trustFindings(*found, user)) {
    identity.trust.push_back({finding.kind, finding.refused,
                              finding.subject + " " + finding.problem, std::move(finding.remedy)});
  }
  std::string reason;
  bool local = false;
  if (!shared_package::dependenciesTrusted(found->opened, image, user, reason, local)) {
    identity.trust.push_back({"dependency", true, reason, ""});
  }
}

}  // namespace

Identity identify(const std::string& file) {
  Identity identity;
  identity.file = file;
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!readFile(file, bytes, error)) {
    identity.unloadable = "cannot be read: " + error;
    return identity;
  }
  const Image image = readImage(bytes);
  if (image.target.format == ImageFormat::None) {
    identity.unloadable = "is no library: " + describeContent(bytes);
  } else if (image.target != processTarget()) {
    identity.unloadable = "is built for " + describeTarget(image.target) +
                          ", not for this host's " + describeTarget(processTarget());
  } else if (image.kind != ImageKind::SharedLibrary) {
    identity.unloadable = "is no shared library";
  } else if (!image.defect.empty()) {
    identity.unloadable = "is damaged: " + image.defect;
  }
  readSets(identity, image);
  identity.package = packageNameOf(std::filesystem::path(file).filename().string());
  if (identity.unloadable.empty() && identity.package) checkTrust(identity, image);
  return identity;
}

}  // namespace zep::inspect
