// Windows: the loader is confined to the package's directory and System32,
// and looks beside the package first. What the package needs from beside it
// is checked as the package is and loaded from its held file by the
// platform (platform/access.hpp), so the plan handed back stays empty.
#include <set>

#include "platform/access.hpp"
#include "shared_package/dependencies.hpp"
#include "shared_package/explain.hpp"

namespace zep::shared_package {

namespace {

// What an image names: what the loader maps with it, and what Windows loads
// by name later, the delay-load helper at a first call or the loader when a
// forwarded entry is looked up ("OTHER.Entry" names OTHER.dll; where the name
// holds another dot, both ways of reading it). Each library once, with the
// first reason for it: a package may forward thousands of entries to one.
platform::LibraryNames namesOf(const object::Image& image) {
  platform::LibraryNames names{image.needed, {}};
  std::set<std::string> named;
  auto later = [&](std::string library, const std::string& why) {
    if (named.insert(library).second) names.later.push_back({std::move(library), why});
  };
  for (const std::string& library : image.delayNeeded) later(library, "delay-loaded");
  for (const object::Forward& forward : image.forwarded) {
    const std::string why = "for its forwarded entry " + forward.entry;
    const std::string::size_type dot = forward.library.find('.');
    if (dot != std::string::npos) later(forward.library, why);
    later(forward.library.substr(0, dot) + ".dll", why);
  }
  return names;
}

// What a held library names, read whole by the module's own reader.
bool neededOf(const platform::PackageFile& library, platform::LibraryNames& names) {
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  if (!platform::readFileHead(library, object::kLargestLibrary, bytes, size) ||
      bytes.size() != size)
    return false;
  const object::Image image = object::readImage(bytes, object::ImageDepth::Loader);
  names = namesOf(image);
  return image.defect.empty();
}

}  // namespace

bool planDependencies(const platform::PackageFile& package, const object::Image& image,
                      std::uint32_t, const ImageReader&, std::vector<Dependency>&,
                      std::string& reason) {
  bool local = false;
  return platform::dependenciesBesideTrusted(package, namesOf(image), neededOf, reason, local);
}

}  // namespace zep::shared_package
