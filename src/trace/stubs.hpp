// What the stubs of a target give the recorder, and what they call in it.
// Each stub is kStubSize bytes long, stub i at zep_trace_stubs + i * kStubSize,
// one a slot, the slots of entries/sets.def in turn; a target without stubs
// has zep_trace_stub_count 0, and tracing is unsupported there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "trace/layout.h"

namespace zep::trace {

inline constexpr std::size_t kStubSize = ZEP_TRACE_STUB_SIZE;
inline constexpr unsigned kCallWords = ZEP_TRACE_CALL_WORDS;

struct Traced;

// A call in flight, kept on its thread's side stack while the entry runs
// (in the forwarder's frame on Windows x64). The stub finds the caller's
// return address and its own saved register at the two first words, as its
// unwind information says, and the entry at the third.
struct Record {
  void* returnAddress;
  void* savedRegister;
  void* target;          // the entry, where the stub calls it from
  std::uintptr_t frame;  // the caller's stack pointer at the call; 0 while filled
  const Traced* traced;
  std::uintptr_t depth;
};

static_assert(offsetof(Record, returnAddress) == ZEP_TRACE_RECORD_RETURN_ADDRESS);
static_assert(offsetof(Record, savedRegister) == ZEP_TRACE_RECORD_SAVED_REGISTER);
static_assert(offsetof(Record, target) == ZEP_TRACE_RECORD_TARGET);
static_assert(sizeof(Record) == ZEP_TRACE_RECORD_SIZE);
static_assert(ZEP_TRACE_WIN64_RECORD + ZEP_TRACE_RECORD_SIZE <= ZEP_TRACE_WIN64_FRAME - 8);

// What the recorder gives back to the stub.
struct Entered {
  void* target;
  Record* record;
};
struct Left {
  void* returnAddress;
  void* savedRegister;
};

}  // namespace zep::trace

extern "C" {
extern const unsigned char zep_trace_stubs[];
extern const std::uint32_t zep_trace_stub_count;
}
