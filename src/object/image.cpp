// What the readers share: telling the formats apart, reading a file, and
// naming machines as a till engineer knows them.
#include "object/image.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/platform.hpp"

namespace zep::object {
namespace {

// clang-format off
struct Machine { std::uint16_t elf; std::uint16_t pe; const char* name; };
constexpr Machine kMachines[] = {
  // ELF e_machine  PE Machine  name
  {3,               0x014c,     "x86"},
  {62,              0x8664,     "x86-64"},
  {183,             0xaa64,     "AArch64"},
  {40,              0x01c4,     "ARM"},
  {243,             0x5064,     "RISC-V"},
  {21,              0,          "PowerPC64"},
  {20,              0x01f0,     "PowerPC"},
  {22,              0,          "s390x"},
  {8,               0x0166,     "MIPS"},
  {50,              0x0200,     "IA-64"},
  {258,             0x6264,     "LoongArch"},
  {43,              0,          "SPARC V9"},
};
// clang-format on

// Files that are often saved under a package's name by mistake.
struct Content {
  std::string_view magic;
  const char* description;
};
constexpr Content kContents[] = {
    {"!<arch>\n",
     "a static library archive (.a or .lib), which is linked into a program, never loaded"},
    {"PK\x03\x04", "a ZIP archive"},
    {"\x1f\x8b", "a gzip-compressed file"},
    {"\xcf\xfa\xed\xfe", "a macOS (Mach-O) library"},
};

// Large enough for any driver package, small enough that a stray file of
// gigabytes is refused rather than read.
constexpr std::uintmax_t kLargestFile = 1u << 30;

}  // namespace

Image readImage(std::span<const std::uint8_t> bytes, ImageDepth depth) {
  Image image = readElf(bytes, depth);
  return image.target.format != ImageFormat::None ? image : readPe(bytes, depth);
}

// Paths are UTF-8 on both platforms; as u8 text they reach Windows as such.
std::filesystem::path filePath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

bool fileSize(const std::string& path, std::uint64_t& size, std::string& error) {
  std::error_code failed;
  size = std::filesystem::file_size(filePath(path), failed);
  if (failed) error = failed.message();
  return !failed;
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
              std::uint64_t limit) {
  std::uint64_t size = 0;
  if (!fileSize(path, size, error)) return false;
  if (size > limit) size = limit;
  if (size > kLargestFile) {
    error = "it is larger than any library (" + std::to_string(size) + " bytes)";
    return false;
  }
  std::ifstream in(filePath(path), std::ios::binary);
  bytes.resize(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    error = "it cannot be read";
    return false;
  }
  return true;
}

ImageTarget processTarget() {
  ImageTarget target;
  constexpr bool pe = platform::kLoaderTakesPe;
  target.format = pe ? ImageFormat::Pe : ImageFormat::Elf;
  target.machine = pe ? platform::kPeMachine : platform::kElfMachine;
  target.bits = sizeof(void*) * 8;
  target.bigEndian = platform::kBigEndian;
  return target;
}

std::string describeTarget(const ImageTarget& target) {
  std::string machine;
  for (const Machine& row : kMachines) {
    if ((target.format == ImageFormat::Pe ? row.pe : row.elf) == target.machine) machine = row.name;
  }
  if (machine.empty()) {
    char number[16];
    std::snprintf(number, sizeof number, "machine 0x%04x", target.machine);
    machine = number;
  }
  std::string bits =
      target.bits == 0 ? std::string("unknown-class") : std::to_string(target.bits) + "-bit";
  return bits + (target.bigEndian ? " big-endian " : " ") + machine;
}

std::string describeContent(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return "an empty file";
  std::string_view start(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (const Content& content : kContents) {
    if (start.starts_with(content.magic)) return content.description;
  }
  // Text as far as the first line shows, quoted no further than that.
  std::size_t shown = 0;
  bool text = true;
  for (; shown < bytes.size() && shown < 48 && bytes[shown] != '\n'; ++shown) {
    std::uint8_t c = bytes[shown];
    if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7f) text = false;
  }
  if (text) {
    std::string line;
    for (std::size_t i = 0; i < shown; ++i) {
      char c = static_cast<char>(bytes[i]);
      line += (c == '"' || c == '\\' || static_cast<std::uint8_t>(c) >= 0x80 || c < 0x20) ? '?' : c;
    }
    bool cut = shown < bytes.size() && bytes[shown] != '\n';
    return "a text file beginning \"" + line + (cut ? "...\"" : "\"");
  }
  std::string hex = "a file beginning with the bytes";
  for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, " %02x", bytes[i]);
    hex += byte;
  }
  return hex;
}

}  // namespace zep::object
