// Files for the image readers' tests: the tree's packages as bytes, and a
// small PE image made in memory, since the Linux build makes no PE file.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hostile_images.hpp"
#include "object/image.hpp"

using ::testing::Contains;
using ::testing::ElementsAre;
using zep::object::Image;
using zep::object::ImageFormat;
using zep::object::ImageKind;
using zep::object::readImage;

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!zep::object::readFile(path, bytes, error)) ADD_FAILURE() << path << ": " << error;
  return bytes;
}

inline void putText(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& text) {
  if (bytes.size() < at + text.size() + 1) bytes.resize(at + text.size() + 1);
  std::memcpy(bytes.data() + at, text.c_str(), text.size() + 1);
}

// A PE32+ DLL (or PE32, for `bits` 32) with one section at RVA 0x1000 that
// holds its export, import and delay-import directories; the delay-import
// descriptors in their old form (addresses, not RVAs) when `byAddress`.
inline std::vector<std::uint8_t> peImage(std::uint16_t machine, unsigned bits,
                                         const std::vector<std::string>& exports,
                                         const std::vector<std::string>& imports,
                                         const std::vector<std::string>& delayed = {},
                                         bool byAddress = false) {
  constexpr std::size_t kPe = 0x80, kRaw = 0x400, kRva = 0x1000;
  const bool pe32 = bits == 32;
  const std::size_t optionalSize = pe32 ? 0xe0 : 0xf0;
  std::vector<std::uint8_t> image(kRaw, 0);
  image[0] = 'M';
  image[1] = 'Z';
  put(image, 0x3c, kPe, 4);
  put(image, kPe, 0x00004550, 4);
  put(image, kPe + 4, machine, 2);
  put(image, kPe + 6, 1, 2);
  put(image, kPe + 20, optionalSize, 2);
  put(image, kPe + 22, 0x2000 | 0x0002, 2);
  const std::size_t optional = kPe + 24;
  put(image, optional, pe32 ? 0x10b : 0x20b, 2);
  put(image, optional + 60, kRaw, 4);
  put(image, optional + (pe32 ? 92 : 108), 16, 4);
  const std::size_t directories = optional + (pe32 ? 96 : 112);
  const std::uint64_t base = byAddress ? 0x10000000 : 0;
  put(image, optional + (pe32 ? 28 : 24), base, pe32 ? 4 : 8);

  // The section's contents: export directory, name table, import
  // descriptors, then the names.
  std::vector<std::uint8_t> section(
      0x40 + 4 * exports.size() + 20 * (imports.size() + 1) + 32 * (delayed.size() + 1), 0);
  const std::size_t names = 0x40, descriptors = names + 4 * exports.size(),
                    delayDescriptors = descriptors + 20 * (imports.size() + 1);
  put(section, 24, exports.size(), 4);
  put(section, 32, kRva + names, 4);
  auto addName = [&](const std::string& name) {
    std::size_t at = section.size();
    putText(section, at, name);
    return kRva + at;
  };
  for (std::size_t i = 0; i < exports.size(); ++i)
    put(section, names + 4 * i, addName(exports[i]), 4);
  for (std::size_t i = 0; i < imports.size(); ++i) {
    put(section, descriptors + 20 * i + 12, addName(imports[i]), 4);
    put(section, descriptors + 20 * i + 16, kRva, 4);
  }
  for (std::size_t i = 0; i < delayed.size(); ++i) {
    put(section, delayDescriptors + 32 * i, byAddress ? 0 : 1, 4);
    put(section, delayDescriptors + 32 * i + 4, base + addName(delayed[i]), 4);
  }
  put(image, directories + 13 * 8, kRva + delayDescriptors, 4);
  put(image, directories + 13 * 8 + 4, 32 * (delayed.size() + 1), 4);
  put(image, directories, kRva, 4);
  put(image, directories + 4, 40, 4);
  put(image, directories + 8, kRva + descriptors, 4);
  put(image, directories + 12, 20 * (imports.size() + 1), 4);

  const std::size_t header = optional + optionalSize;
  std::memcpy(image.data() + header, ".edata", 6);
  put(image, header + 8, section.size(), 4);
  put(image, header + 12, kRva, 4);
  put(image, header + 16, section.size(), 4);
  put(image, header + 20, kRaw, 4);
  image.insert(image.end(), section.begin(), section.end());
  return image;
}
