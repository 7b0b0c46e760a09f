// The ELF reader on any bytes; the seeds are packages of the tree, stripped.
#include "image_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  checkImage(zep::object::readElf(bytes), bytes);
  return 0;
}
