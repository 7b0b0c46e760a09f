// Why a library file would not load, in the words a till engineer needs:
// what the file itself shows (another machine or word size, no library at
// all, damage, a dependency missing), followed by the loader's own reason.
#pragma once

#include <functional>
#include <string>

#include "object/image.hpp"
#include "platform/platform.hpp"

namespace zep::inspect {

// The most of a package file that is read before or after its load: no
// driver package comes near it, and a larger file is left to the loader.
inline constexpr std::uint64_t kLargestLibrary = 64u << 20;

// Loads the opened package file under its loader name, like openLibrary,
// but first refuses a file the loader would fault on rather than refuse (one
// cut short, whose segments glibc maps past the file's end and then dies of
// SIGBUS), and explains every refusal with explainLoadFailure. Every byte is
// read through the open file. `checkedBefore`: the file passed that check
// before and is unchanged since, so it is not read again.
// `dependencies`, when given, judges what the image needs before the loader
// takes it; false and its reason refuse the load.
using DependencyCheck =
    std::function<bool(const platform::PackageFile& file, const Image& image, std::string& reason)>;
platform::Library openCheckedLibrary(const platform::PackageFile& file, std::string& reason,
                                     bool checkedBefore = false,
                                     const DependencyCheck& dependencies = {});

// The reason to give for the file at `path` that the loader refused with
// `loaderReason`. The file is read only now that the loader has refused it,
// so a fault in reading it can never keep a good package from loading. Gives
// the loader's reason alone when the file shows nothing more.
std::string explainLoadFailure(const std::string& path, const std::string& loaderReason);

// What the image shows against this process, or "" when it could be loaded:
// "is a 32-bit x86 library; this process is 64-bit x86-64".
std::string explainImage(const Image& image, std::span<const std::uint8_t> bytes);

}  // namespace zep::inspect
