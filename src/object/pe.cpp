// The PE reader: the headers, export directory, import directory and
// delay-import directory of a Windows image, read from the file (where every
// RVA must first be mapped through the section table to a file offset).
#include <algorithm>
#include <vector>

#include "object/bytes.hpp"
#include "object/image.hpp"

namespace zep::object {
namespace {

using bytes::Malformed;
using bytes::Region;

constexpr std::uint32_t kSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint16_t kMagic32 = 0x10b;
constexpr std::uint16_t kMagic64 = 0x20b;
constexpr std::uint16_t kCharacteristicExecutable = 0x0002;
constexpr std::uint16_t kCharacteristicDll = 0x2000;
constexpr unsigned kDirectoryExport = 0;
constexpr unsigned kDirectoryImport = 1;
constexpr unsigned kDirectoryDelayImport = 13;
constexpr unsigned kSectionSize = 40;
constexpr unsigned kImportDescriptorSize = 20;
constexpr unsigned kDelayDescriptorSize = 32;
// A delay-import descriptor whose fields are RVAs; without it, the old form,
// they are addresses at the image's preferred base.
constexpr std::uint32_t kDelayAttributeRva = 1;

class PeReader {
 public:
  PeReader(Region file, ImageDepth depth, Image& image)
      : file_(file), depth_(depth), image_(image) {}

  void read() {
    std::uint32_t headerOffset = file_.sub(0, 64, "the DOS header").u32(0x3c);
    Region header = file_.sub(headerOffset, 24, "the PE header");
    if (header.u32(0) != kSignature) throw Malformed{"the PE signature is missing"};
    image_.target.machine = header.u16(4);
    std::uint16_t sectionCount = header.u16(6);
    std::uint16_t optionalSize = header.u16(20);
    std::uint16_t characteristics = header.u16(22);
    image_.kind = (characteristics & kCharacteristicDll)          ? ImageKind::SharedLibrary
                  : (characteristics & kCharacteristicExecutable) ? ImageKind::Executable
                                                                  : ImageKind::Unknown;
    Region optional =
        file_.sub(std::uint64_t{headerOffset} + 24, optionalSize, "the optional header");
    std::uint16_t magic = optional.u16(0);
    if (magic != kMagic32 && magic != kMagic64)
      throw Malformed{"the optional header is of no known kind"};
    image_.target.bits = magic == kMagic32 ? 32 : 64;
    headersSize_ = optional.u32(60);
    imageBase_ = magic == kMagic32 ? optional.u32(28) : optional.u64(24);
    sections_ = file_.sub(std::uint64_t{headerOffset} + 24 + optionalSize,
                          std::uint64_t{sectionCount} * kSectionSize, "the section table");
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      std::uint64_t end = std::uint64_t{sections_.u32(i * kSectionSize + 20)} +
                          sections_.u32(i * kSectionSize + 16);
      image_.sizeNeeded = std::max(image_.sizeNeeded, end);
    }
    if (depth_ == ImageDepth::Headers) return;
    // Sorted once, so that each RVA is found in a number of steps that does
    // not grow with a hostile file's thousands of sections.
    bySection_.reserve(sectionCount);
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
      const std::uint64_t at = i * std::uint64_t{kSectionSize};
      bySection_.push_back(
          {sections_.u32(at + 12), sections_.u32(at + 16), sections_.u32(at + 20)});
    }
    std::sort(bySection_.begin(), bySection_.end(),
              [](const Section& a, const Section& b) { return a.address < b.address; });
    if (image_.sizeNeeded > file_.size())
      throw Malformed{bytes::cutShort(image_.sizeNeeded, file_.size())};
    std::uint32_t directoryCount = optional.u32(magic == kMagic32 ? 92 : 108);
    std::uint64_t directories = magic == kMagic32 ? 96 : 112;
    auto directory = [&](unsigned index, unsigned field = 0) -> std::uint32_t {
      return index < directoryCount ? optional.u32(directories + index * 8ull + field) : 0;
    };
    if (std::uint32_t exports = directory(kDirectoryExport))
      readExports(exports, directory(kDirectoryExport, 4));
    if (std::uint32_t imports = directory(kDirectoryImport)) readImports(imports);
    if (std::uint32_t delayed = directory(kDirectoryDelayImport)) readDelayImports(delayed);
  }

 private:
  // The file's bytes at an RVA, up to the end of the section that holds it
  // (or of the headers).
  Region at(std::uint64_t rva, const char* name) const {
    auto after = std::upper_bound(bySection_.begin(), bySection_.end(), rva,
                                  [](std::uint64_t r, const Section& s) { return r < s.address; });
    if (after != bySection_.begin()) {
      const Section& s = *(after - 1);
      if (rva - s.address < s.rawSize) {
        std::uint64_t into = rva - s.address;
        return file_.sub(std::uint64_t{s.rawOffset} + into, s.rawSize - into, name);
      }
    }
    if (rva < headersSize_) return file_.sub(rva, headersSize_ - rva, name);
    throw Malformed{std::string(name) + " lies outside the file's sections"};
  }

  void readExports(std::uint32_t rva, std::uint32_t size) {
    Region directory = at(rva, "the export directory");
    std::uint32_t nameCount = directory.u32(24);
    Region names = at(directory.u32(32), "the export name table")
                       .sub(0, std::uint64_t{nameCount} * 4, "the export name table");
    const std::size_t first = image_.exports.size();
    for (std::uint32_t i = 0; i < nameCount; ++i) {
      image_.exports.emplace_back(nameAt(names.u32(i * 4ull), "an export name"));
    }
    // An entry whose address lies inside the export directory is forwarded:
    // the address holds "LIBRARY.Entry", which the loader loads by name when
    // the entry is looked up. An ordinal past the address table is found by
    // no lookup.
    const std::uint32_t functionCount = directory.u32(20);
    if (functionCount == 0 || nameCount == 0) return;
    Region ordinals = at(directory.u32(36), "the export ordinal table")
                          .sub(0, std::uint64_t{nameCount} * 2, "the export ordinal table");
    Region addresses = at(directory.u32(28), "the export address table")
                           .sub(0, std::uint64_t{functionCount} * 4, "the export address table");
    for (std::uint32_t i = 0; i < nameCount; ++i) {
      const std::uint16_t ordinal = ordinals.u16(i * 2ull);
      if (ordinal >= functionCount) continue;
      const std::uint32_t address = addresses.u32(ordinal * 4ull);
      if (address < rva || address - rva >= size) continue;
      const std::string_view target = nameAt(address, "a forwarded export's target");
      const std::string_view::size_type dot = target.rfind('.');
      if (dot == std::string_view::npos || dot == 0)
        throw Malformed{"a forwarded export names no library"};
      image_.forwarded.push_back({image_.exports[first + i], std::string(target.substr(0, dot))});
    }
  }

  void readImports(std::uint32_t rva) {
    Region descriptors = at(rva, "the import directory");
    for (std::uint64_t d = 0;; d += kImportDescriptorSize) {
      std::uint32_t lookup = descriptors.u32(d);
      std::uint32_t name = descriptors.u32(d + 12);
      std::uint32_t thunks = descriptors.u32(d + 16);
      if (lookup == 0 && name == 0 && thunks == 0) return;
      image_.needed.emplace_back(nameAt(name, "an imported library's name"));
    }
  }

  // Read to their empty end, as the delay-load helper reads them.
  void readDelayImports(std::uint32_t rva) {
    Region descriptors = at(rva, "the delay-import directory");
    for (std::uint64_t d = 0;; d += kDelayDescriptorSize) {
      const std::uint32_t attributes = descriptors.u32(d);
      const std::uint32_t name = descriptors.u32(d + 4);
      if (name == 0) return;
      std::uint64_t nameRva = name;
      if ((attributes & kDelayAttributeRva) == 0) {
        if (name < imageBase_)
          throw Malformed{"a delay-loaded library's name lies outside the image"};
        nameRva = name - imageBase_;
      }
      image_.delayNeeded.emplace_back(nameAt(nameRva, "a delay-loaded library's name"));
    }
  }

  // A name in place. What names may make the reader scan is held to what a
  // file of this size could need, so a file whose exports all share one long
  // name is refused, not read over again.
  std::string_view nameAt(std::uint64_t rva, const char* what) {
    const std::string_view name = at(rva, what).view(0, nameBudget_ + 1);
    if (name.size() >= nameBudget_) throw Malformed{"its names add up to more than the file holds"};
    nameBudget_ -= name.size() + 1;
    return name;
  }

  Region file_;
  ImageDepth depth_;
  Image& image_;
  std::uint64_t nameBudget_ = file_.size() + 64 * 1024;
  Region sections_{{}, false, "the section table"};
  struct Section {
    std::uint32_t address, rawSize, rawOffset;
  };
  std::vector<Section> bySection_;
  std::uint32_t headersSize_ = 0;
  std::uint64_t imageBase_ = 0;
};

}  // namespace

Image readPe(std::span<const std::uint8_t> bytes, ImageDepth depth) {
  Image image;
  if (bytes.size() < 2 || bytes[0] != 'M' || bytes[1] != 'Z') return image;
  image.target.format = ImageFormat::Pe;
  try {
    PeReader(Region(bytes, false, "the file"), depth, image).read();
  } catch (const Malformed& malformed) {
    image.defect = malformed.what;
  }
  bytes::sortUnique(image.exports);
  std::sort(image.forwarded.begin(), image.forwarded.end(),
            [](const Forward& a, const Forward& b) { return a.entry < b.entry; });
  return image;
}

}  // namespace zep::object
