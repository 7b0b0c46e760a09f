// Image files made in memory for what a hostile file would make of a reader:
// shared by the readers' tests and the benchmark that times them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline void put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value,
                unsigned width) {
  if (bytes.size() < at + width) bytes.resize(at + width);
  for (unsigned i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
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
