// The test program's own global operator new: it counts the live
// allocations and fails them on demand. The module's and the interfaces'
// allocations reach it through the dynamic linker. Include this in one
// source file of a program that stands alone, since it replaces operator new
// for the whole program.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocations {

struct Ledger {
  bool armed = false;
  long made = 0;    // since armed
  long failAt = 0;  // 1 fails the first allocation
  long live = 0;
  bool onward = false;  // every allocation from failAt on fails, not that one alone
};
inline Ledger ledger;

inline void* allocate(std::size_t size) {
  if (ledger.armed) {
    ++ledger.made;
    if (ledger.made == ledger.failAt || (ledger.onward && ledger.made > ledger.failAt)) {
      throw std::bad_alloc();
    }
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  ++ledger.live;
  return block;
}

inline void release(void* block) noexcept {
  if (block == nullptr) return;
  --ledger.live;
  std::free(block);
}

}  // namespace allocations

void* operator new(std::size_t size) { return allocations::allocate(size); }
void* operator new[](std::size_t size) { return allocations::allocate(size); }
void operator delete(void* block) noexcept { allocations::release(block); }
void operator delete[](void* block) noexcept { allocations::release(block); }
void operator delete(void* block, std::size_t) noexcept { allocations::release(block); }
void operator delete[](void* block, std::size_t) noexcept { allocations::release(block); }
