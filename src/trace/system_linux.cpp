// The recorder's clock, ids and memory on Linux x86-64, from system calls
// made directly (syscall_linux.hpp).
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>

#include <atomic>

#include "trace/syscall_linux.hpp"
#include "trace/system.hpp"

namespace zep::trace::system {

__thread void* detail::own __attribute__((tls_model("initial-exec"))) = nullptr;
std::atomic<std::uint32_t> detail::forked{0};

namespace {

std::atomic<std::uint32_t> process{0};

void inChild() {
  detail::forked.fetch_add(1, std::memory_order_relaxed);
  process.store(0, std::memory_order_relaxed);
}
[[maybe_unused]] const bool forkHandled = ::pthread_atfork(nullptr, nullptr, inChild) == 0;

}  // namespace

std::uint64_t nanoseconds() noexcept {
  struct timespec time {};
  call(SYS_clock_gettime, CLOCK_REALTIME, reinterpret_cast<long>(&time));
  return static_cast<std::uint64_t>(time.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(time.tv_nsec);
}

std::uint32_t processId() noexcept {
  std::uint32_t id = process.load(std::memory_order_relaxed);
  if (id == 0) {
    id = static_cast<std::uint32_t>(call(SYS_getpid));
    process.store(id, std::memory_order_relaxed);
  }
  return id;
}

std::uint32_t threadId() noexcept { return static_cast<std::uint32_t>(call(SYS_gettid)); }

bool alive(std::uint32_t tid) noexcept {
  return call(SYS_tgkill, static_cast<long>(processId()), static_cast<long>(tid), 0) != -3;
}

void* allocate(std::size_t bytes) noexcept {
  const long at = call(SYS_mmap, 0, static_cast<long>(bytes), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return failed(at) ? nullptr : reinterpret_cast<void*>(at);
}

void wait(std::atomic<std::uint32_t>& word, std::uint32_t value, int milliseconds) noexcept {
  struct timespec timeout {
    milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000
  };
  call(SYS_futex, reinterpret_cast<long>(&word), FUTEX_WAIT_PRIVATE, value,
       reinterpret_cast<long>(&timeout));
}

void wake(std::atomic<std::uint32_t>& word) noexcept {
  call(SYS_futex, reinterpret_cast<long>(&word), FUTEX_WAKE_PRIVATE, 1);
}

}  // namespace zep::trace::system
