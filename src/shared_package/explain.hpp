// Why a library file would not load, in the words a till engineer needs:
// what the file itself shows (another machine or word size, no library at
// all, damage, a dependency missing), followed by the loader's own reason.
#pragma once

#include <string>

#include "object/image.hpp"
#include "platform/platform.hpp"

namespace zep::inspect {

// Loads like openLibrary, but first refuses a file cut short, whose segments
// the loader would map past the file's end (glibc then dies of SIGBUS rather
// than refuse it), and explains every refusal with explainLoadFailure.
// `checkedBefore`: the file passed that check before and is unchanged since,
// so it is not read again.
platform::Library openCheckedLibrary(const std::string& path, std::string& reason,
                                     bool checkedBefore = false);

// The reason to give for the file at `path` that the loader refused with
// `loaderReason`. The file is read only now that the loader has refused it,
// so a fault in reading it can never keep a good package from loading. Gives
// the loader's reason alone when the file shows nothing more.
std::string explainLoadFailure(const std::string& path, const std::string& loaderReason);

// What the image shows against this process, or "" when it could be loaded:
// "is a 32-bit x86 library; this process is 64-bit x86-64".
std::string explainImage(const Image& image, std::span<const std::uint8_t> bytes);

}  // namespace zep::inspect
