// Files for the image readers' tests: the tree's packages as bytes, and a
// small PE image made in memory, since the Linux build makes no PE file.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "inspect/image.hpp"

using ::testing::Contains;
using ::testing::ElementsAre;
using zep::inspect::Image;
using zep::inspect::ImageFormat;
using zep::inspect::ImageKind;
using zep::inspect::readImage;

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!zep::inspect::readFile(path, bytes, error)) ADD_FAILURE() << path << ": " << error;
  return bytes;
}

inline void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value,
                unsigned width) {
  if (bytes.size() < at + width) bytes.resize(at + width);
  for (unsigned i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void putText(std::vector<std::uint8_t>& bytes, std::size_t at, const std::string& text) {
  if (bytes.size() < at + text.size() + 1) bytes.resize(at + text.size() + 1);
  std::memcpy(bytes.data() + at, text.c_str(), text.size() + 1);
}

// A PE32+ DLL (or PE32, for `bits` 32) with one section at RVA 0x1000 that
// holds its export and import directories.
inline std::vector<std::uint8_t> peImage(std::uint16_t machine, unsigned bits,
                                         const std::vector<std::string>& exports,
                                         const std::vector<std::string>& imports) {
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

  // The section's contents: export directory, name table, import
  // descriptors, then the names.
  std::vector<std::uint8_t> section(0x40 + 4 * exports.size() + 20 * (imports.size() + 1), 0);
  const std::size_t names = 0x40, descriptors = names + 4 * exports.size();
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

// A 64-bit x86-64 shared object of one loadable segment holding everything:
// `symbols` exported functions that all bear the one name of `nameLength`
// letters, the dynamic section at `dynamicAddress` (where it lies in the
// file when 0), a hash table giving the count. What a hostile file would
// make of a reader that copies or scans each symbol's name.
inline std::vector<std::uint8_t> elfImage(std::uint64_t symbols, std::uint64_t nameLength,
                                          std::uint64_t dynamicAddress = 0) {
  constexpr std::size_t kDynamic = 0xb0, kHash = 0x200, kStrings = 0x300;
  const std::size_t symbolTable = kStrings + nameLength + 2;
  std::vector<std::uint8_t> image(symbolTable + 24 * symbols, 0);
  const std::uint8_t magic[] = {0x7f, 'E', 'L', 'F', 2, 1, 1};
  std::memcpy(image.data(), magic, sizeof magic);
  put(image, 16, 3, 2);
  put(image, 18, 62, 2);
  put(image, 20, 1, 4);
  put(image, 32, 64, 8);
  put(image, 52, 64, 2);
  put(image, 54, 56, 2);
  put(image, 56, 2, 2);
  put(image, 64, 1, 4);  // PT_LOAD: the whole file at address 0
  put(image, 64 + 32, image.size(), 8);
  put(image, 64 + 40, image.size(), 8);
  put(image, 120, 2, 4);  // PT_DYNAMIC
  put(image, 120 + 8, kDynamic, 8);
  put(image, 120 + 16, dynamicAddress != 0 ? dynamicAddress : kDynamic, 8);
  put(image, 120 + 32, 6 * 16, 8);
  put(image, 120 + 40, 6 * 16, 8);
  const std::uint64_t tags[][2] = {{4, kHash},       {5, kStrings}, {10, nameLength + 2},
                                   {6, symbolTable}, {11, 24},      {0, 0}};
  for (std::size_t i = 0; i < 6; ++i) {
    put(image, kDynamic + 16 * i, tags[i][0], 8);
    put(image, kDynamic + 16 * i + 8, tags[i][1], 8);
  }
  put(image, kHash, 1, 4);
  put(image, kHash + 4, symbols, 4);
  std::memset(image.data() + kStrings + 1, 'A', nameLength);
  for (std::uint64_t i = 1; i < symbols; ++i) {
    const std::size_t row = symbolTable + 24 * i;
    put(image, row, 1, 4);
    image[row + 4] = 0x12;  // global function
    put(image, row + 6, 1, 2);
  }
  return image;
}
