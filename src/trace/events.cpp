// The records, written into the calling thread's region of the file: a
// head, the time-stamp counter and the words (format.hpp). The head's first
// word goes last, so that a record the process died writing is none.
#include <cstring>

#include "trace/format.hpp"
#include "trace/recorder.hpp"
#include "trace/system.hpp"

namespace zep::trace {
namespace {

// Room for `bytes` in the thread's region; a new region where it is full or
// of a file before; null where there is none.
char* reserve(Thread& thread, std::uint32_t bytes) noexcept {
  file::Region& region = thread.region;
  if (region.epoch != file::epoch() || region.at == nullptr ||
      static_cast<std::size_t>(region.end - region.at) < bytes) {
    if (!file::claim(region, thread.pid, thread.tid)) return nullptr;
  }
  char* at = region.at;
  region.at += bytes;
  return at;
}

void store(char* at, std::uint64_t word) noexcept { __builtin_memcpy(at, &word, 8); }

// Finishes the record at `at`: its first word, which makes it one.
void seal(char* at, format::Kind kind, std::uint8_t count, std::uintptr_t depth) noexcept {
  const std::uint32_t first =
      kind | std::uint32_t{count} << 8 | static_cast<std::uint32_t>(depth & 0xffff) << 16;
  __atomic_store_n(reinterpret_cast<std::uint32_t*>(at), first, __ATOMIC_RELEASE);
}

// Writes one record of `words` words after its head, each given by
// `word(i)`; counts it as dropped where the thread is writing one already
// (a signal handler's call) or the file has no room.
template <class Word>
void write(Thread& thread, format::Kind kind, std::uint8_t count, std::uint32_t id,
           std::uintptr_t depth, std::uint32_t words, Word word) noexcept {
  if (!file::isOpen() || thread.tid == 0) return;
  if (thread.busy != 0) {
    ++thread.dropped;
    return;
  }
  thread.busy = 1;
  asm volatile("" ::: "memory");
  if (thread.dropped != 0) {
    if (char* at = reserve(thread, sizeof(format::Head) + 8)) {
      const std::uint32_t none = 0;
      __builtin_memcpy(at + 4, &none, 4);
      store(at + 8, system::ticks());
      store(at + 16, thread.dropped);
      seal(at, format::kDropped, 1, 0);
      thread.dropped = 0;
    }
  }
  const std::uint32_t bytes = sizeof(format::Head) + 8u * words;
  if (char* at = reserve(thread, bytes)) {
    __builtin_memcpy(at + 4, &id, 4);
    store(at + 8, system::ticks());
    for (std::uint32_t i = 0; i < words; ++i) store(at + 16 + 8 * i, word(i));
    seal(at, kind, count, depth);
  } else {
    ++thread.dropped;
  }
  asm volatile("" ::: "memory");
  thread.busy = 0;
}

}  // namespace

void writeCall(Thread& thread, const Record& record, const std::uintptr_t* words) noexcept {
  write(thread, format::kCall, kCallWords, record.traced->id, record.depth, kCallWords,
        [words](std::uint32_t i) -> std::uint64_t { return words[i]; });
}

void writeReturn(Thread& thread, const Record& record, std::uintptr_t result) noexcept {
  write(thread, format::kReturn, 1, record.traced->id, record.depth, 1,
        [result](std::uint32_t) -> std::uint64_t { return result; });
}

void writeUnwound(Thread& thread, const Record& record) noexcept {
  write(thread, format::kUnwound, 0, record.traced->id, record.depth, 0,
        [](std::uint32_t) -> std::uint64_t { return 0; });
}

// From ordinary code; at most half a region of text.
void writeNote(std::uint8_t kind, std::string_view text) noexcept {
  constexpr std::size_t kLongest = format::kRegionSize / 2;
  if (text.size() > kLongest) text = text.substr(0, kLongest);
  const auto length = static_cast<std::uint32_t>(text.size());
  Thread& thread = self();
  write(thread, format::kNote, kind, length, thread.depth, format::padded(length) / 8,
        [text](std::uint32_t i) -> std::uint64_t {
          std::uint64_t word = 0;
          const std::size_t at = std::size_t{i} * 8;
          for (std::size_t b = 0; b < 8 && at + b < text.size(); ++b) {
            word |= std::uint64_t{static_cast<unsigned char>(text[at + b])} << (8 * b);
          }
          return word;
        });
}

}  // namespace zep::trace
