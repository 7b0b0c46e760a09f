// Windows: the loader is confined to the package's directory and System32
// while the package's directory is held, so nothing is loaded ahead of it
// here; a stricter walk of the import table sits beside the ELF one.
#include "shared_package/dependencies.hpp"

namespace zep::shared_package {

bool planDependencies(const platform::PackageFile&, const object::Image&, std::uint32_t,
                      const ImageReader&, std::vector<Dependency>&, std::string&) {
  return true;
}

}  // namespace zep::shared_package
