// A Linux x86-64 system call made directly, for the code that runs while a
// thread records: the C library's wrappers are not promised to leave the
// vector registers alone. Gives the result, or -errno.
#pragma once

namespace zep::trace::system {

inline long call(long number, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0,
                 long f = 0) noexcept {
  register long r10 asm("r10") = d;
  register long r8 asm("r8") = e;
  register long r9 asm("r9") = f;
  long result = number;
  asm volatile("syscall"
               : "+a"(result)
               : "D"(a), "S"(b), "d"(c), "r"(r10), "r"(r8), "r"(r9)
               : "rcx", "r11", "memory");
  return result;
}

inline bool failed(long result) noexcept { return result < 0 && result > -4096; }

}  // namespace zep::trace::system
