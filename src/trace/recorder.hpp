// The recorder's parts, as they call each other: the thread's own state and
// side stack (side_stack.cpp), the records (events.cpp). All of it runs in
// whatever thread calls a traced slot, a signal handler's included: it takes
// no lock, allocates nothing from the heap, and touches no vector or x87
// register (built with general registers only, calling nothing that uses
// them), so that the stubs keep only the integer registers.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "trace/file.hpp"
#include "trace/stubs.hpp"
#include "trace/system.hpp"

namespace zep::trace {

// A slot as a traced bind filled it: the entry, and the id of its
// description in the file's names. Never freed, so that a call in flight
// keeps what it read.
struct Traced {
  void* target;
  std::uint32_t id;
};

// What a stub with index `index` passes its calls to.
void install(std::uint32_t index, const Traced* traced) noexcept;

// The state of a thread that has called a traced slot: its side stack of
// calls in flight, innermost last, and its region of the file. Made at the
// thread's first call and taken again by a thread after it has ended; a
// record's memory stays where it is while the thread lives, since the
// unwinder reads the caller's return address from it after the personality
// routine has popped it.
struct Thread {
  static constexpr std::uint32_t kChunk = 1024;
  static constexpr std::uint32_t kChunks = 1024;

  std::atomic<std::uint32_t> owner;  // the thread's id
  Thread* next;                      // every Thread, made once
  std::uint32_t pid;
  std::uint32_t tid;
  std::uint32_t forks;  // system::forks() when pid and tid were read
  // Writing a record: a signal handler's call meanwhile is counted, not
  // written over it.
  volatile std::uint32_t busy;
  std::uint32_t dropped;
  file::Region region;
  std::uint32_t depth;
  Record spare;  // where no chunk can be had
  Record* chunks[kChunks];

  Record* top() noexcept {
    return depth == 0 ? nullptr : &chunks[(depth - 1) / kChunk][(depth - 1) % kChunk];
  }
  Record& push() noexcept {
    // The depth first: a signal handler's call from here on takes the next.
    const std::uint32_t at = depth;
    Record* chunk = at / kChunk < kChunks ? chunks[at / kChunk] : nullptr;
    if (chunk == nullptr) return pushNew();
    depth = at + 1;
    asm volatile("" ::: "memory");
    Record& record = chunk[at % kChunk];
    record.depth = at;
    return record;
  }
  // A place popped reads as one being filled (frame 0): a signal handler's
  // call that comes between a push and its record's frame must not take the
  // record for one a longjmp left, and pop it.
  void pop() noexcept {
    top()->frame = 0;
    asm volatile("" ::: "memory");
    --depth;
  }

 private:
  Record& pushNew() noexcept;
};

// The calling thread's, made at its first call, or again in a forked child.
Thread& adopted() noexcept;
inline Thread& self() noexcept {
  auto* thread = static_cast<Thread*>(system::threadValue());
  return thread != nullptr && thread->forks == system::forks() ? *thread : adopted();
}

// The records of a call at its beginning and its end, in the thread's region.
void writeCall(Thread& thread, const Record& record, const std::uintptr_t* words) noexcept;
void writeReturn(Thread& thread, const Record& record, std::uintptr_t result) noexcept;
void writeUnwound(Thread& thread, const Record& record) noexcept;
// A note of what the module did (format::NoteKind), in the calling thread's
// region; from ordinary code.
void writeNote(std::uint8_t kind, std::string_view text) noexcept;

}  // namespace zep::trace
