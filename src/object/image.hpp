// What a library file says about itself, read from its bytes without loading
// it: the ELF object of Linux or the PE image of Windows. Both readers parse
// plain bytes, so each builds and is tested on either platform; every offset,
// count and size the file gives is checked against the file before use, since
// the files explained are often the damaged ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zep::object {

enum class ImageFormat { None, Elf, Pe };

// What a file was linked to be. Only a SharedLibrary can be loaded as a
// package; a position-independent executable is an ELF shared object that
// glibc refuses to load into another program.
enum class ImageKind { Unknown, SharedLibrary, Executable, PositionIndependentExecutable, Object };

// Whom the code is for: the format, the word size, the machine (the ELF
// e_machine or the PE Machine field, as numbered by that format) and the
// byte order.
struct ImageTarget {
  ImageFormat format = ImageFormat::None;
  unsigned bits = 0;
  std::uint16_t machine = 0;
  bool bigEndian = false;

  bool operator==(const ImageTarget&) const = default;
};

// PE only: an exported entry that the loader takes from another library,
// loaded by name when the entry is looked up.
struct Forward {
  std::string entry;
  // As the export gives it, up to its last '.': "OTHER" for "OTHER.Entry".
  std::string library;
};

struct Image {
  ImageTarget target;
  ImageKind kind = ImageKind::Unknown;
  // The names the library exports itself, sorted: the defined symbols of
  // the ELF dynamic symbol table, the names of the PE export directory.
  std::vector<std::string> exports;
  // The libraries it needs by name, in the file's order: DT_NEEDED, or the
  // DLLs of the PE import directory.
  std::vector<std::string> needed;
  // PE only: the DLLs of the delay-import directory, in the file's order,
  // which the program's delay-load helper loads by name at their first call.
  std::vector<std::string> delayNeeded;
  // PE only: its forwarded exports, sorted by entry.
  std::vector<Forward> forwarded;
  // ELF only: where the loader looks for those first, as the file says
  // (DT_RUNPATH, DT_RPATH), $ORIGIN and all.
  std::string runPath;
  std::string rPath;
  // ELF only: the name the loader knows it by once loaded (DT_SONAME).
  std::string soname;
  // ELF only. Its GNU-unique symbols (STB_GNU_UNIQUE), sorted: glibc keeps
  // a library that has any mapped for the life of the process.
  std::vector<std::string> uniqueSymbols;
  // ELF only: marked not to be deleted (DF_1_NODELETE, -z nodelete).
  bool noDelete = false;
  // ELF only: its own references bind to itself first (DT_SYMBOLIC).
  bool symbolic = false;
  // ELF only. Exported functions of its own that it reaches through the
  // dynamic linker, by name (PLT or GOT relocations against symbols it
  // defines), sorted: the first definition of that name in the process's
  // global scope takes these calls, which need not be this library's.
  // Empty when the library is symbolic.
  std::vector<std::string> selfCallsByName;
  // The size the file must have for every loadable segment (ELF) or section
  // (PE) to lie inside it; 0 when the headers could not be read that far.
  std::uint64_t sizeNeeded = 0;
  // Empty for a sound file; otherwise the first thing found wrong, e.g.
  // "the dynamic section lies outside the file". What was read before it
  // stays filled in.
  std::string defect;
};

// How far a reader goes: the whole image; what the loader will follow
// (Loader: the headers, the dynamic section and every address in it that the
// loader reads or writes, checked against the file, the libraries needed and
// where they are looked for, but no symbol's name); or the headers alone
// (the target, the kind and sizeNeeded). Headers may be read from the file's
// first bytes only: sizeNeeded is then not held against the bytes given,
// which the caller compares with the file. Every depth is linear in the
// file and allocates no more than a bounded multiple of it.
enum class ImageDepth { Everything, Loader, Headers };

// The image the bytes hold; target.format None when they hold neither an
// ELF object nor a PE image.
Image readImage(std::span<const std::uint8_t> bytes, ImageDepth depth = ImageDepth::Everything);
Image readElf(std::span<const std::uint8_t> bytes, ImageDepth depth = ImageDepth::Everything);
Image readPe(std::span<const std::uint8_t> bytes, ImageDepth depth = ImageDepth::Everything);

// The size of the file at `path`; false and the reason in `error` when
// there is no such file.
bool fileSize(const std::string& path, std::uint64_t& size, std::string& error);

// The file at `path`, or its first `limit` bytes; a whole file larger than
// any driver package is refused. False and the reason in `error` when it
// cannot be read.
bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
              std::uint64_t limit = UINT64_MAX);

// The format and machine that this process's code is built for.
ImageTarget processTarget();

// "32-bit x86", "64-bit big-endian PowerPC64", "64-bit machine 0x1234".
std::string describeTarget(const ImageTarget& target);

// What a file is when it is no image: "an empty file", "a text file
// beginning \"This is the...\"", "a file beginning with the bytes 50 4b 03 04".
std::string describeContent(std::span<const std::uint8_t> bytes);

}  // namespace zep::object
