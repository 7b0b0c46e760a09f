// The trace file, as the module writes it and zep-host reads it: a header,
// the names of the traced entries, then regions of the same size, each
// written by one thread from its start, record after record. A process
// that dies leaves every record it finished: a record's first word is
// written last, so a region ends at the first zero word.
#pragma once

#include <cstdint>

namespace zep::trace::format {

inline constexpr char kMagic[8] = {'Z', 'E', 'P', 'T', 'R', 'A', 'C', 'E'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::uint32_t kHeaderSize = 4096;
inline constexpr std::uint32_t kNamesSize = 64u << 10;
inline constexpr std::uint32_t kRegionSize = 64u << 10;
inline constexpr std::uint32_t kRegionMagic = 0x4e475a52;  // "RZGN"

struct FileHeader {
  char magic[8];
  std::uint32_t version;
  std::uint32_t wordBytes;  // of the traced process: 4 or 8
  std::uint32_t namesOffset;
  std::uint32_t namesSize;
  std::uint32_t regionsOffset;
  std::uint32_t regionSize;
  std::uint32_t regionCount;
  std::uint32_t pid;  // of the process that began the file
  // The clock when the file began: ticks of the time-stamp counter and
  // nanoseconds since 1970, and how many ticks a second has.
  std::uint64_t startTicks;
  std::uint64_t startNanoseconds;
  std::uint64_t ticksPerSecond;
  // Changed while the file is written, by each process writing it (a
  // forked child too): the regions handed out (more than regionCount once
  // full), and the bytes of names written.
  std::uint32_t claimed;
  std::uint32_t namesUsed;
  std::uint32_t closed;  // 1: the trace was stopped, not cut
  std::uint32_t reserved;
};

// At the start of each region; the magic is written last.
struct RegionHeader {
  std::uint32_t magic;
  std::uint32_t sequence;
  std::uint32_t pid;
  std::uint32_t tid;
  std::uint64_t ticks;  // the clock when the thread took the region
  std::uint64_t nanoseconds;
};

// A traced entry's description, in the names area, one after another; the
// size (of the whole, a multiple of 8) is written last. The entry, set and
// package names follow, in that order.
struct Name {
  std::uint32_t size;
  std::uint32_t id;  // what the call records carry
  std::uint32_t slot;
  std::uint16_t entryLength;
  std::uint16_t setLength;
  std::uint16_t packageLength;
  std::uint16_t reserved;
  std::uint32_t reserved2;
  std::uint64_t target;
};

enum Kind : std::uint8_t {
  kCall = 1,     // count argument words follow; id names the entry
  kReturn = 2,   // the result word follows
  kUnwound = 3,  // an exception ended the call
  kDropped = 4,  // one word: records this thread could not write
  kNote = 5,     // id: the text's length in bytes; the text follows
};

// Each record: this head, then its words (8 bytes each, whatever the
// process's width), the whole a multiple of 8. depth is the call's place on
// its thread's stack of calls (modulo 65536): a return closes the call of
// its depth, and calls deeper still never returned (a longjmp passed them).
struct Head {
  std::uint8_t kind;
  std::uint8_t count;
  std::uint16_t depth;
  std::uint32_t id;
  std::uint64_t ticks;
};

// What a note's count says it tells.
enum NoteKind : std::uint8_t { kBind = 1, kUnbind = 2, kBlock = 3, kLoad = 4 };

static_assert(sizeof(FileHeader) == 80);
static_assert(sizeof(RegionHeader) == 32);
static_assert(sizeof(Name) == 32);
static_assert(sizeof(Head) == 16);

inline constexpr std::uint32_t padded(std::uint32_t bytes) { return (bytes + 7) & ~7u; }

}  // namespace zep::trace::format
