#include "shared_package/explain.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "object/bytes.hpp"
#include "platform/loaded.hpp"

namespace zep::object {
namespace {

std::string noun(const Image& image) {
  switch (image.kind) {
    case ImageKind::SharedLibrary:
      return image.target.format == ImageFormat::Pe ? "DLL" : "library";
    case ImageKind::Executable:
    case ImageKind::PositionIndependentExecutable:
      return "program";
    case ImageKind::Object:
      return "object file";
    case ImageKind::Unknown:
      break;
  }
  return "file";
}

std::string directoryPart(const std::string& path) {
  std::string::size_type separator =
      path.find_last_of(platform::kDirectorySeparator == '/' ? "/" : "\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

std::string withArticle(const std::string& words) {
  return (words.front() == 'u' || words.front() == 'a' ? "an " : "a ") + words;
}

// glibc names the library it could not find first in its reason; the
// file's own list tells whether the package needs it or a library it needs.
std::string missingDependency(const Image& image, const std::string& reason) {
  static constexpr std::string_view kNotFound = ": cannot open shared object file";
  std::string::size_type end = reason.find(kNotFound);
  if (end == std::string::npos || end == 0) return {};
  std::string library = reason.substr(0, end);
  if (std::find(image.needed.begin(), image.needed.end(), library) != image.needed.end()) {
    return "needs " + library + ", which the loader finds nowhere on its search path";
  }
  std::string direct;
  for (const std::string& name : image.needed) direct += (direct.empty() ? "" : ", ") + name;
  return "needs " + library + " through one of the libraries it needs (" + direct +
         "), and the loader finds it nowhere on its search path";
}

// "The specified module could not be found" for a file that is there means
// one of its dependencies is not; say which, as the ELF loader does. A
// dependency found beside the package is followed, since what it lacks fails
// the package's load as well.
void collectMissing(const Image& image, const std::string& path, std::vector<std::string>& visited,
                    std::string& missing) {
  visited.push_back(path);
  const std::string directory = directoryPart(path);
  for (const std::string& library : image.needed) {
    if (!platform::dependencyReachable(library, directory)) {
      missing += missing.empty() ? "" : ", ";
      missing += library;
      continue;
    }
    const std::string beside = directory + platform::kDirectorySeparator + library;
    std::vector<std::uint8_t> bytes;
    std::string unreadable;
    if (visited.size() < 64 && platform::isRegularFile(beside) &&
        std::find(visited.begin(), visited.end(), beside) == visited.end() &&
        readFile(beside, bytes, unreadable)) {
      collectMissing(readPe(bytes), beside, visited, missing);
    }
  }
}

// What the loader refused, explained from `bytes`, the whole file.
std::string explainRefusal(const std::string& path, std::span<const std::uint8_t> bytes,
                           const std::string& loaderReason) {
  Image image = readImage(bytes);
  std::string finding = explainImage(image, bytes);
  if (finding.empty() && image.target.format == ImageFormat::Pe) {
    std::vector<std::string> visited;
    std::string missing;
    collectMissing(image, path, visited, missing);
    return missing.empty()
               ? loaderReason
               : loaderReason + "; it needs " + missing + ", which the loader cannot find";
  }
  if (finding.empty()) finding = missingDependency(image, loaderReason);
  return finding.empty() ? loaderReason : finding + " (the loader says: " + loaderReason + ")";
}

}  // namespace

bool readLoadableImage(const platform::PackageFile& file, Image& image, std::string& reason) {
  std::uint64_t size = 0;
  std::vector<std::uint8_t> bytes;
  if (!platform::readFileHead(file, kLargestLibrary, bytes, size)) {
    reason = "cannot be read";
    return false;
  }
  if (bytes.size() != size) {
    reason = "is larger than any driver package (" + std::to_string(size) +
             " bytes), so what it needs is not read";
    return false;
  }
  image = readImage(bytes, ImageDepth::Loader);
  if (image.sizeNeeded > size) {
    reason = "is damaged: " + bytes::cutShort(image.sizeNeeded, size);
    return false;
  }
  if (image.target.format == ImageFormat::Elf && image.target == processTarget()) {
    if (!image.defect.empty()) {
      reason = "is damaged: " + image.defect;
      return false;
    }
  } else if (std::string finding = explainImage(image, bytes); !finding.empty()) {
    // Another machine's image, or no image: the loader's reason follows.
    image.needed.clear();
  }
  return true;
}

platform::Library openCheckedLibrary(const platform::PackageFile& file, std::string& reason,
                                     const Image* known, const DependencyCheck& dependencies,
                                     Image* read) {
  Image image;
  if (known == nullptr) {
    if (!readLoadableImage(file, image, reason)) return nullptr;
    known = &image;
  }
  if (dependencies && !dependencies(file, *known, reason)) return nullptr;
  platform::Library library = platform::openLibrary(file.loaderName, reason);
  if (library != nullptr) {
    if (read != nullptr && known == &image) *read = std::move(image);
    return library;
  }
  // The file is read whole again only now that the loader has refused it.
  std::uint64_t size = 0;
  std::vector<std::uint8_t> bytes;
  const std::string path = file.realFile.empty() ? file.loaderName : file.realFile;
  if (platform::readFileHead(file, kLargestLibrary, bytes, size) && bytes.size() == size)
    reason = explainRefusal(path, bytes, reason);
  return nullptr;
}

std::string explainImage(const Image& image, std::span<const std::uint8_t> bytes) {
  const ImageTarget own = processTarget();
  const ImageTarget& target = image.target;
  if (target.format == ImageFormat::None) return "is no library: it is " + describeContent(bytes);
  if (target.bits == 0) return "is damaged: " + image.defect;
  std::string built = describeTarget(target);
  if (target.format != own.format) {
    return target.format == ImageFormat::Pe
               ? "is a Windows " + noun(image) + " (" + built + "), not an ELF shared library"
               : "is an ELF " + noun(image) + " (" + built +
                     ") of Linux or another Unix, not a Windows DLL";
  }
  if (target != own) {
    return "is " + withArticle(built + " " + noun(image)) + "; this process is " +
           describeTarget(own);
  }
  switch (image.kind) {
    case ImageKind::SharedLibrary:
      break;
    case ImageKind::Executable:
      return "is " + withArticle(built) + " program, not a shared library";
    case ImageKind::PositionIndependentExecutable:
      return "is a position-independent program, not a shared library: the loader loads no program "
             "into another";
    case ImageKind::Object:
      return "is an object file that was never linked into a shared library";
    case ImageKind::Unknown:
      return "is an image of neither library nor program kind";
  }
  return image.defect.empty() ? std::string() : "is damaged: " + image.defect;
}

std::string explainLoadFailure(const std::string& path, const std::string& loaderReason) {
  std::vector<std::uint8_t> bytes;
  std::string unreadable;
  if (!readFile(path, bytes, unreadable)) return loaderReason;
  return explainRefusal(path, bytes, loaderReason);
}

}  // namespace zep::object
