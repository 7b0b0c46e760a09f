// Windows: the loader is confined to the package's directory and System32,
// and looks beside the package first. What the package needs from beside it
// is checked as the package is and loaded from its held file by the
// platform (platform/access.hpp), so the plan handed back stays empty.
#include "shared_package/dependencies.hpp"

#include "platform/access.hpp"
#include "shared_package/explain.hpp"

namespace zep::shared_package {

namespace {

// What a held library needs, read whole by the module's own reader.
bool neededOf(const platform::PackageFile& library, std::vector<std::string>& needed) {
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  if (!platform::readFileHead(library, object::kLargestLibrary, bytes, size) ||
      bytes.size() != size)
    return false;
  object::Image image = object::readImage(bytes, object::ImageDepth::Loader);
  needed = std::move(image.needed);
  return image.defect.empty();
}

}  // namespace

bool planDependencies(const platform::PackageFile& package, const object::Image& image,
                      std::uint32_t, const ImageReader&, std::vector<Dependency>&,
                      std::string& reason) {
  bool local = false;
  return platform::dependenciesBesideTrusted(package, image.needed, neededOf, reason, local);
}

}  // namespace zep::shared_package
