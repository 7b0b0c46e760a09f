// What the stubs of a target give the recorder, and what they call in it.
// Each stub is kStubSize bytes long, stub i at zep_trace_stubs + i * kStubSize,
// one a slot, the sets' slots of entries/sets.def in turn; a target without stubs has
// zep_trace_stub_count 0, and tracing is unsupported there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zep::trace {

inline constexpr std::size_t kStubSize = 16;

// A call in flight, kept on its thread's side stack while the entry runs.
// The stub finds the caller's return address and its own saved register at
// the two first words, as its unwind information says, and the entry at the
// third.
struct Record {
  void* returnAddress;
  void* savedRegister;
  void* target;          // the entry, where the stub calls it from
  std::uintptr_t frame;  // the caller's stack pointer at the call
  const struct Traced* traced;
  std::uint64_t start;
};

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
// How many argument words a call passes in registers or on the stack that
// the B event shows, and the DWARF number of the register that holds the
// record while the entry runs.
extern const std::uint32_t zep_trace_word_count;
extern const std::uint32_t zep_trace_record_register;
}
