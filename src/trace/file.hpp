// The trace file: a header, the names of the traced entries, and regions,
// each a thread's own (format.hpp), in a shared mapping of the file, so that
// whatever the process wrote is in the file even when it dies the next
// moment, and no record costs a system call. Full at its size, the file
// becomes FILE.1 and a new FILE begins.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zep::trace::file {

// The switch's side, under its lock.
// Starts the file at `path` (ending any file open): a directory that only
// its owner (this user or root) may write, the previous file of that name
// kept as FILE.1. Raises std::system_error saying why it cannot.
void open(const std::string& path);
// Ends the file; nothing when none is open.
void close() noexcept;
// Why the file stopped being written since the last call, or "".
std::string takeFailure();
// Adds the description of a traced entry to the names of the file (and of
// each file after it); false where the names are full.
bool name(std::uint32_t id, std::uint32_t slot, const void* target, std::string_view entry,
          std::string_view set, std::string_view package) noexcept;

// The recording side: lock-free, no vector register, no allocation.
namespace current {
extern std::atomic<void*> header;  // of the file written, or null
extern std::atomic<std::uint32_t> epoch;
}  // namespace current
inline bool isOpen() noexcept { return current::header.load(std::memory_order_relaxed) != nullptr; }
// A region of the file a thread writes alone, from `at` to `end`, valid
// while the file's epoch is `epoch`.
struct Region {
  char* at = nullptr;
  char* end = nullptr;
  std::uint32_t epoch = 0;
};
inline std::uint32_t epoch() noexcept { return current::epoch.load(std::memory_order_acquire); }
// A new region for the thread `tid` of process `pid`; false where there is
// none (the file closed or full, or its disk).
bool claim(Region& region, std::uint32_t pid, std::uint32_t tid) noexcept;

}  // namespace zep::trace::file
