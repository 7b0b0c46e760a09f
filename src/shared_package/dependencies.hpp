// The libraries a package needs, found, checked and loaded by the default
// shared package itself before the package: the loader takes a library it
// has loaded under a name for every later need of that name, so it never
// searches for one by name after the check. One implementation per
// platform family: ELF systems walk DT_NEEDED as glibc would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "object/image.hpp"
#include "platform/platform.hpp"

namespace zep::shared_package {

// One library to load before the package, opened and checked: its
// directory stays held while it is loaded under `opened.loaderName`.
struct Dependency {
  // The name the package (or another dependency) asks for.
  std::string name;
  platform::PackageFile opened;
};

// The image of an opened library, read and checked as the package's is
// (explain.hpp's readLoadableImage), or false and why in `reason`. The
// caller may give one it read before of the same unchanged file.
using ImageReader = std::function<bool(const platform::PackageFile& file, object::Image& image,
                                       std::string& reason)>;

// Walks what `image`, the package held by `package`, needs and is not
// loaded yet, as the loader would search for it; gives in `load` the
// libraries to load first, leaves first. False and why in `reason` when
// anything of the walk refuses the load or cannot be decided.
bool planDependencies(const platform::PackageFile& package, const object::Image& image,
                      std::uint32_t effectiveUser, const ImageReader& read,
                      std::vector<Dependency>& load, std::string& reason);

}  // namespace zep::shared_package
