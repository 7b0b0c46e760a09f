// Files made to hurt the reader or the loader are refused, quickly and
// without a crash, before the loader sees them; and no program or library
// of the tree sends the loader to the current directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostile_images.hpp"
#include "load_refusal.hpp"
#include "object/image.hpp"
#include "packages.hpp"
#include "scratch_package.hpp"
#include "zep00001/zep00001.hpp"

namespace {

namespace fs = std::filesystem;
using zep::object::ImageDepth;
using zep::object::readImage;

// The file's first `limit` bytes, or all of it.
std::vector<std::uint8_t> fileBytes(const std::string& path, std::uint64_t limit = UINT64_MAX) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(std::min<std::uint64_t>(fs::file_size(path), limit));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

std::uint64_t field(const std::vector<std::uint8_t>& bytes, std::size_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= std::uint64_t{bytes[at + i]} << (8 * i);
  return value;
}

// Each relocation is held against the segments by one search, not a scan
// of all 65,533 (which took 40 s).
TEST(HostileImages, ManyProgramHeadersAndRelocationsAreReadInLinearTime) {
  const std::vector<std::uint8_t> image = manyHeaders();
  for (ImageDepth depth : {ImageDepth::Loader, ImageDepth::Everything}) {
    const zep::object::Image read = readImage(image, depth);
    EXPECT_EQ(read.defect, "");
    EXPECT_EQ(read.sizeNeeded, image.size());
  }
}

// glibc reads the bucket a name hashes to wherever the table says it lies.
TEST(HostileImages, AHashTableRunningPastTheFileIsRefused) {
  std::vector<std::uint8_t> image = elfImage(4, 8);
  put(image, 0x200, 1u << 30, 4);
  EXPECT_EQ(readImage(image, ImageDepth::Loader).defect,
            "the symbol hash table runs past the file's loadable segments");
  image = elfImage(4, 8);
  put(image, 0x200, 2, 4);
  put(image, 0x208, 1, 4);
  put(image, 0x214, 1, 4);  // symbol 1's chain leads back to itself
  EXPECT_EQ(readImage(image, ImageDepth::Loader).defect,
            "the symbol hash table's chains run into each other");
}

TEST(HostileImages, APackageWhoseGnuHashTableRunsPastTheFileIsRefusedBeforeTheLoader) {
  ScratchPackage scratch("Zep00400");
  std::vector<std::uint8_t> bytes = fileBytes(scratch.file);
  const std::uint64_t headers = field(bytes, 32, 8);
  std::uint64_t dynamic = 0, table = 0;
  for (std::uint64_t i = 0; i < field(bytes, 56, 2); ++i) {
    if (field(bytes, headers + 56 * i, 4) == 2) dynamic = field(bytes, headers + 56 * i + 8, 8);
  }
  for (std::uint64_t at = dynamic; field(bytes, at, 8) != 0; at += 16) {
    if (field(bytes, at, 8) == 0x6ffffef5) table = field(bytes, at + 8, 8);
  }
  ASSERT_NE(table, 0u);
  for (std::uint64_t i = 0; i < field(bytes, 56, 2); ++i) {
    const std::uint64_t header = headers + 56 * i;
    const std::uint64_t address = field(bytes, header + 16, 8);
    if (field(bytes, header, 4) != 1 || table < address ||
        table - address >= field(bytes, header + 32, 8)) {
      continue;
    }
    put(bytes, field(bytes, header + 8, 8) + table - address, 1u << 30, 4);
    break;
  }
  std::ofstream(scratch.file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  test_platform::setEnvironment("ZEP_PACKAGE_PATH", scratch.directory);
  const std::string refusal = loadRefusal("Zep00400");
  test_platform::unsetEnvironment("ZEP_PACKAGE_PATH");
  EXPECT_NE(refusal.find(scratch.file + ": is damaged: the GNU hash table runs past the file's "
                                        "loadable segments"),
            std::string::npos)
      << refusal;
}

// glibc takes an empty entry for the current directory, a relative one from
// it: whoever starts a program of the tree from a directory of theirs would
// choose its libraries.
TEST(BuildTree, NoProgramOrLibrarySearchesTheCurrentDirectory) {
  std::string faults;
  int read = 0;
  // Tests running beside this one make and remove scratch files in the tree:
  // an entry gone meanwhile is passed over, not a failure.
  std::error_code error;
  for (fs::recursive_directory_iterator it(ZEP_BUILD_TREE, error), end; !error && it != end;
       it.increment(error)) {
    const fs::directory_entry& entry = *it;
    std::error_code gone;
    if (!entry.is_regular_file(gone) || entry.is_symlink(gone)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    char head[18] = {};
    // Shared objects and programs only (e_type 2 or 3), not objects.
    if (!in.read(head, sizeof head) ||
        std::string_view(head, 4) !=
            "\x7f"
            "ELF" ||
        (head[16] != 2 && head[16] != 3)) {
      continue;
    }
    // What the loader maps, not the debug information after it.
    const std::string path = entry.path().string();
    const std::uint64_t mapped = readImage(fileBytes(path, 4096), ImageDepth::Headers).sizeNeeded;
    const zep::object::Image image = readImage(fileBytes(path, mapped), ImageDepth::Loader);
    ++read;
    for (const std::string* list : {&image.runPath, &image.rPath}) {
      std::string_view rest = *list;
      if (rest.empty()) continue;
      for (;;) {
        const std::string_view::size_type end = rest.find(':');
        const std::string_view entryText = rest.substr(0, end);
        if (!entryText.starts_with('/') && !entryText.starts_with("$ORIGIN") &&
            !entryText.starts_with("${ORIGIN}")) {
          faults += "\n  " + entry.path().string() + ": \"" + *list + "\"";
          break;
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
      }
    }
  }
  EXPECT_GT(read, 0);
  EXPECT_EQ(faults, "");
}

}  // namespace
