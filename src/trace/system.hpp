// What the recorder asks of the system while a thread records: nothing that
// touches a vector register, takes a lock or allocates from the heap (system
// calls made directly on Linux). One implementation a system
// (system_linux.cpp, system_windows.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zep::trace::system {

// The time-stamp counter.
inline std::uint64_t ticks() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  asm volatile("rdtsc" : "=a"(low), "=d"(high));
  return (std::uint64_t{high} << 32) | low;
#else
  return 0;  // no stubs there (unsupported.cpp)
#endif
}
// Nanoseconds since 1970.
std::uint64_t nanoseconds() noexcept;
std::uint32_t processId() noexcept;
std::uint32_t threadId() noexcept;
// Whether the thread `tid` of this process still runs.
bool alive(std::uint32_t tid) noexcept;
// Zeroed memory of `bytes`, or null; never given back.
void* allocate(std::size_t bytes) noexcept;
// The calling thread's own word, null until set; and a count bumped in a
// forked child, whose threads' ids are read again.
#ifdef _WIN32
void* threadValue() noexcept;
void setThreadValue(void* value) noexcept;
std::uint32_t forks() noexcept;
#else
namespace detail {
// Initial-exec, so that reading it calls nothing.
extern __thread void* own __attribute__((tls_model("initial-exec")));
extern std::atomic<std::uint32_t> forked;
}  // namespace detail
inline void* threadValue() noexcept { return detail::own; }
inline void setThreadValue(void* value) noexcept { detail::own = value; }
inline std::uint32_t forks() noexcept { return detail::forked.load(std::memory_order_relaxed); }
#endif
// Waits up to `milliseconds` while `word` holds `value`; wakes its waiter.
void wait(std::atomic<std::uint32_t>& word, std::uint32_t value, int milliseconds) noexcept;
void wake(std::atomic<std::uint32_t>& word) noexcept;

// From ordinary code: the file of the library that holds `address`, and
// its build id where it has one.
std::string loadedFrom(const void* address);

}  // namespace zep::trace::system
