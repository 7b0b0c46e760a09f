// The calls in flight, a thread at a time, and what the stubs call: the
// recorder's side of the stub at a call's beginning and its end.
#include <atomic>

#include "trace/recorder.hpp"
#include "trace/system.hpp"

namespace zep::trace {
namespace {

// One stub a slot, the slots of the list in turn.
constexpr std::uint32_t kSlotCount = 0
#define ZEP_ENTRY_AS(slot, name) +1
#include "zep00001/entries/sets.def"
    ;

std::atomic<const Traced*> traced[kSlotCount];

// Every Thread made, each taken by one running thread at a time.
std::atomic<Thread*> threads{nullptr};

// A Thread for the calling thread: one whose thread has ended (or stayed in
// the parent of a fork), else a new one.
Thread* adopt(std::uint32_t tid) noexcept {
  for (Thread* thread = threads.load(std::memory_order_acquire); thread != nullptr;
       thread = thread->next) {
    std::uint32_t owner = thread->owner.load(std::memory_order_relaxed);
    if (owner != tid && system::alive(owner)) continue;
    if (thread->owner.compare_exchange_strong(owner, tid, std::memory_order_acquire)) {
      thread->depth = 0;
      return thread;
    }
  }
  auto* made = static_cast<Thread*>(system::allocate(sizeof(Thread)));
  if (made == nullptr) return nullptr;
  made->owner.store(tid, std::memory_order_relaxed);
  made->next = threads.load(std::memory_order_relaxed);
  while (!threads.compare_exchange_weak(made->next, made, std::memory_order_release)) {
  }
  return made;
}

// Where not even a Thread can be had: calls pass on, one deep at a time,
// and are not written.
Thread fallback{};

}  // namespace

void install(std::uint32_t index, const Traced* entry) noexcept {
  if (index < kSlotCount) traced[index].store(entry, std::memory_order_release);
}

// A chunk of records more, where the thread's go deeper than ever.
Record& Thread::pushNew() noexcept {
  const std::uint32_t chunk = depth / kChunk;
  if (chunk >= kChunks) return spare;
  chunks[chunk] = static_cast<Record*>(system::allocate(sizeof(Record) * kChunk));
  return chunks[chunk] == nullptr ? spare : push();
}

Thread& adopted() noexcept {
  auto* thread = static_cast<Thread*>(system::threadValue());
  const std::uint32_t tid = system::threadId();
  if (thread == nullptr) {
    thread = adopt(tid);
    if (thread == nullptr) return fallback;
  }
  // New, or the thread that forked, in the child: ids read again, and a
  // region of its own.
  thread->owner.store(tid, std::memory_order_relaxed);
  thread->tid = tid;
  thread->pid = system::processId();
  thread->forks = system::forks();
  thread->region = {};
  thread->busy = 0;
  thread->dropped = 0;
  system::setThreadValue(thread);
  return *thread;
}

}  // namespace zep::trace

using zep::trace::Entered;
using zep::trace::Left;
using zep::trace::Record;

extern "C" {

Entered zep_trace_enter(const std::uintptr_t* words, std::uint32_t index, void** returnSlot,
                        void* savedRegister) noexcept {
  using namespace zep::trace;
  Thread& thread = self();
  // Records left by a longjmp past their stubs: frames at or below this call's.
  const auto frame = reinterpret_cast<std::uintptr_t>(returnSlot + 1);
  while (Record* stale = thread.top()) {
    if (stale->frame == 0 || stale->frame > frame) break;  // 0: still being filled
    thread.pop();
  }
  Record& record = thread.push();
  record.returnAddress = *returnSlot;
  record.savedRegister = savedRegister;
  record.frame = frame;
  record.traced = traced[index].load(std::memory_order_acquire);
  record.target = record.traced->target;
  writeCall(thread, record, words);
  return {record.target, &record};
}

Left zep_trace_leave(Record* record, std::uintptr_t result) noexcept {
  using namespace zep::trace;
  Thread& thread = self();
  writeReturn(thread, *record, result);
  // Read before the record's place is given back: a signal handler's call
  // from then on takes the place, and writes its own return address there.
  const Left left{record->returnAddress, record->savedRegister};
  while (thread.top() != nullptr && thread.top() != record) thread.pop();
  if (thread.top() != nullptr) thread.pop();
  return left;
}

// The stubs of targets whose forwarder keeps the call's record in its own
// frame (Windows x64): no side stack, the caller's return address stays
// where it is.
void* zep_trace_enter_framed(const std::uintptr_t* words, std::uint32_t index,
                             Record* record) noexcept {
  using namespace zep::trace;
  Thread& thread = self();
  record->traced = traced[index].load(std::memory_order_acquire);
  record->depth = thread.depth++;
  writeCall(thread, *record, words);
  return record->traced->target;
}

void zep_trace_leave_framed(Record* record, std::uintptr_t result) noexcept {
  using namespace zep::trace;
  Thread& thread = self();
  writeReturn(thread, *record, result);
  thread.depth = static_cast<std::uint32_t>(record->depth);
}

// The frame's handler found an exception unwinding the call.
void zep_trace_unwound_framed(Record* record) noexcept {
  using namespace zep::trace;
  Thread& thread = self();
  writeUnwound(thread, *record);
  thread.depth = static_cast<std::uint32_t>(record->depth);
}

}  // extern "C"
