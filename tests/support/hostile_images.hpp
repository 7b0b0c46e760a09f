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

// The ELF header of a 64-bit x86-64 shared object whose `headers` program
// headers follow it.
inline void putElfHeader(std::vector<std::uint8_t>& image, std::uint16_t headers) {
  const std::uint8_t magic[] = {0x7f, 'E', 'L', 'F', 2, 1, 1};
  std::memcpy(image.data(), magic, sizeof magic);
  put(image, 16, 3, 2);
  put(image, 18, 62, 2);
  put(image, 20, 1, 4);
  put(image, 32, 64, 8);
  put(image, 52, 64, 2);
  put(image, 54, 56, 2);
  put(image, 56, headers, 2);
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
  putElfHeader(image, 2);
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

// 8 MB of a 64-bit library (what once took a reader 40 s): 65,533 program headers, the one loadable
// segment that holds everything last among them, and as many relocations
// as the rest holds, each to be found in a segment.
inline std::vector<std::uint8_t> manyHeaders() {
  constexpr std::size_t kSize = 8u << 20, kHeaders = 65533;
  constexpr std::size_t kDynamic = 64 + 56 * kHeaders, kRelocations = kDynamic + 64;
  std::vector<std::uint8_t> image(kSize, 0);
  putElfHeader(image, kHeaders);
  for (std::size_t i = 0; i < kHeaders; ++i) {
    const std::size_t header = 64 + 56 * i;
    const bool last = i == kHeaders - 1, dynamic = i == kHeaders - 2;
    put(image, header, dynamic ? 2 : 1, 4);
    put(image, header + 8, dynamic ? kDynamic : 0, 8);
    put(image, header + 16, last ? 0 : dynamic ? kDynamic : 0x100000000 + 0x1000 * i, 8);
    put(image, header + 32, last ? kSize : dynamic ? 64 : 0x1000, 8);
    put(image, header + 40, last ? kSize : dynamic ? 64 : 0x1000, 8);
  }
  const std::uint64_t count = (kSize - kRelocations) / 24;
  const std::uint64_t tags[][2] = {{7, kRelocations}, {8, count * 24}, {9, 24}, {0, 0}};
  for (std::size_t i = 0; i < 4; ++i) {
    put(image, kDynamic + 16 * i, tags[i][0], 8);
    put(image, kDynamic + 16 * i + 8, tags[i][1], 8);
  }
  for (std::uint64_t r = 0; r < count; ++r) {
    put(image, kRelocations + 24 * r, (8 * r) % (kSize - 8), 8);
    put(image, kRelocations + 24 * r + 8, 8, 8);  // R_X86_64_RELATIVE
  }
  return image;
}
