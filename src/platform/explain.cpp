#include "platform/explain.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/bytes.hpp"

namespace zep::platform {
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

// The headers of a library fit in its first page; the whole file is read
// only when they lie further in.
constexpr std::uint64_t kHeadBytes = 4 * 1024;

std::string cutShortFile(const std::string& path) {
  std::uint64_t size = 0;
  std::vector<std::uint8_t> head;
  std::string unreadable;
  if (!readFileHead(path, kHeadBytes, head, size)) return {};
  Image image = readImage(head, ImageDepth::Headers);
  if (image.target.format != ImageFormat::None && image.sizeNeeded == 0 && head.size() < size) {
    if (!readFile(path, head, unreadable)) return {};
    image = readImage(head, ImageDepth::Headers);
  }
  return image.sizeNeeded > size ? "is damaged: " + bytes::cutShort(image.sizeNeeded, size) : "";
}

}  // namespace

Library openCheckedLibrary(const std::string& path, std::string& reason) {
  reason = cutShortFile(path);
  if (!reason.empty()) return nullptr;
  Library library = openLibrary(path, reason);
  if (library == nullptr) reason = explainLoadFailure(path, reason);
  return library;
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
  Image image = readImage(bytes);
  std::string finding = explainImage(image, bytes);
  if (finding.empty()) finding = missingDependency(image, loaderReason);
  return finding.empty() ? loaderReason : finding + " (the loader says: " + loaderReason + ")";
}

}  // namespace zep::platform
