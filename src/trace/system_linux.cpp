// The recorder's clock, ids and memory on Linux x86-64, from system calls
// made directly (syscall_linux.hpp).
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <string_view>

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

namespace zep::trace::system {
namespace {

struct Found {
  std::uintptr_t base;
  std::string buildId;
};

// The GNU build id among the object's notes.
int buildIdOf(struct dl_phdr_info* info, std::size_t, void* context) {
  auto* found = static_cast<Found*>(context);
  if (info->dlpi_addr != found->base) return 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_NOTE) continue;
    const char* at = reinterpret_cast<const char*>(info->dlpi_addr + header.p_vaddr);
    const char* end = at + header.p_memsz;
    while (at + sizeof(ElfW(Nhdr)) <= end) {
      const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(at);
      const char* name = at + sizeof *note;
      const char* descriptor = name + ((note->n_namesz + 3) & ~3u);
      if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
          std::string_view(name, 3) == "GNU" && descriptor + note->n_descsz <= end) {
        static const char digits[] = "0123456789abcdef";
        for (std::size_t b = 0; b < note->n_descsz; ++b) {
          const auto byte = static_cast<unsigned char>(descriptor[b]);
          found->buildId += digits[byte >> 4];
          found->buildId += digits[byte & 15];
        }
        return 1;
      }
      at = descriptor + ((note->n_descsz + 3) & ~3u);
    }
  }
  return 1;
}

}  // namespace

std::string loadedFrom(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "an unknown file";
  Found found{reinterpret_cast<std::uintptr_t>(info.dli_fbase), {}};
  // The object's load bias, which dl_iterate_phdr gives, is its base for a
  // shared object.
  ::dl_iterate_phdr(buildIdOf, &found);
  // The loader opens packages through the descriptor of their directory,
  // checked once: the directory's own path stands for it.
  std::string name = info.dli_fname;
  constexpr std::string_view kDescriptors = "/proc/self/fd/";
  if (const std::size_t slash = name.find('/', kDescriptors.size());
      name.starts_with(kDescriptors) && slash != std::string::npos) {
    char directory[4096];
    const ssize_t length = ::readlink(name.substr(0, slash).c_str(), directory, sizeof directory);
    if (length > 0 && static_cast<std::size_t>(length) < sizeof directory)
      name = std::string(directory, static_cast<std::size_t>(length)) + name.substr(slash);
  }
  std::string text = "\"" + name + "\"";
  if (!found.buildId.empty()) text += " (build id " + found.buildId + ")";
  return text;
}

}  // namespace zep::trace::system
