// Why a library file would not load, in the words a till engineer needs:
// what the file itself shows (another machine or word size, no library at
// all, damage, a dependency missing), followed by the loader's own reason.
#pragma once

#include <functional>
#include <string>

#include "object/image.hpp"
#include "platform/platform.hpp"

namespace zep::object {

// The most of a package file that is read before or after its load: no
// driver package comes near it, and a larger file is left to the loader.
inline constexpr std::uint64_t kLargestLibrary = 64u << 20;

// Reads the opened file's image as far as the loader follows it, and
// refuses (false, and why in `reason`) a file the loader would fault on
// rather than refuse: one cut short, whose segments glibc maps past the
// file's end and then dies of SIGBUS, or one whose tables run past its
// segments. A file larger than any driver package, or one that cannot be
// read, is refused too: what it needs cannot be known. Every byte is read
// through the open file.
bool readLoadableImage(const platform::PackageFile& file, Image& image, std::string& reason);

// Loads the opened package file under its loader name, like openLibrary,
// after readLoadableImage (unless `known` gives the image that an earlier
// check of this unchanged file read) and `dependencies`, which judges (and
// loads) what the image needs before the loader takes it: false and its
// reason refuse the load. The image read is left in `read` when given. A
// refusal of the loader's own is explained with explainLoadFailure.
using DependencyCheck =
    std::function<bool(const platform::PackageFile& file, const Image& image, std::string& reason)>;
platform::Library openCheckedLibrary(const platform::PackageFile& file, std::string& reason,
                                     const Image* known = nullptr,
                                     const DependencyCheck& dependencies = {},
                                     Image* read = nullptr);

// The reason to give for the file at `path` that the loader refused with
// `loaderReason`. The file is read only now that the loader has refused it,
// so a fault in reading it can never keep a good package from loading. Gives
// the loader's reason alone when the file shows nothing more.
std::string explainLoadFailure(const std::string& path, const std::string& loaderReason);

// What the image shows against this process, or "" when it could be loaded:
// "is a 32-bit x86 library; this process is 64-bit x86-64".
std::string explainImage(const Image& image, std::span<const std::uint8_t> bytes);

}  // namespace zep::object
