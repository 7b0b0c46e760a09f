// What the recorder asks of the system while a thread records: nothing that
// touches a vector register, takes a lock or allocates from the heap (system
// calls made directly on Linux). One implementation a system
// (system_linux.cpp, system_windows.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zep::trace::system {

// The time-stamp counter.
inline std::uint64_t ticks() noexcept {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  asm volatile("rdtsc" : "=a"(low), "=d"(high));
  return (std::uint64_t{high} << 32) | low;
}
// Nanoseconds since 1970.
std::uint64_t nanoseconds() noexcept;
std::uint32_t processId() noexcept;
std::uint32_t threadId() noexcept;
// Whether the thread `tid` of this process still runs.
bool alive(std::uint32_t tid) noexcept;
// Zeroed memory of `bytes`, or null; never given back.
void* allocate(std::size_t bytes) noexcept;
// The calling thread's own word, null until set.
void* threadValue() noexcept;
void setThreadValue(void* value) noexcept;
// Bumped in a forked child: its threads' ids are read again.
std::uint32_t forks() noexcept;

}  // namespace zep::trace::system
