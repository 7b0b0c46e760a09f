// The recorder's clock, ids and memory on Windows: calls of kernel32 that
// take no lock a recording thread could hold, and leave the vector
// registers a Windows call must keep as they are.
#include <windows.h>

#include "trace/system.hpp"

namespace zep::trace::system {
namespace {

const DWORD own = TlsAlloc();

}  // namespace

std::uint64_t nanoseconds() noexcept {
  FILETIME time{};
  GetSystemTimePreciseAsFileTime(&time);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  // 100 ns ticks since 1601; the records count from 1970.
  return (ticks - 116444736000000000ull) * 100;
}

std::uint32_t processId() noexcept { return GetCurrentProcessId(); }
std::uint32_t threadId() noexcept { return GetCurrentThreadId(); }

bool alive(std::uint32_t tid) noexcept {
  HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, tid);
  if (thread == nullptr) return false;
  DWORD code = 0;
  const bool running = GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
  CloseHandle(thread);
  return running;
}

void* allocate(std::size_t bytes) noexcept {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void* threadValue() noexcept { return own == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(own); }
void setThreadValue(void* value) noexcept {
  if (own != TLS_OUT_OF_INDEXES) TlsSetValue(own, value);
}
// No fork on Windows.
std::uint32_t forks() noexcept { return 0; }

// No helper thread on Windows (file.cpp): nothing waits.
void wait(std::atomic<std::uint32_t>&, std::uint32_t, int) noexcept {}
void wake(std::atomic<std::uint32_t>&) noexcept {}

}  // namespace zep::trace::system

namespace zep::trace::system {

std::string loadedFrom(const void* address) {
  HMODULE module = nullptr;
  wchar_t name[MAX_PATH];
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module) ||
      GetModuleFileNameW(module, name, MAX_PATH) == 0)
    return "an unknown file";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, name, -1, text.data(), bytes, nullptr, nullptr);
  return "\"" + text + "\"";
}

}  // namespace zep::trace::system
