// The PE reader on any bytes; the seed is a small DLL made by MinGW-w64.
#include "image_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  checkImage(zep::object::readPe(bytes), bytes);
  return 0;
}
