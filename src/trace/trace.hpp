// The call trace: while it is on, a bind stores in each slot the stub of that
// slot, which records the call and forwards it to the entry, instead of the
// entry's own address.
#pragma once

#include <atomic>
#include <string>

namespace zep::trace {

// On from ZEP_TRACE or zep_trace_open until a failure or zep_trace_close.
extern std::atomic<bool> armed;

void* wrapTraced(void** slot, void* address, const std::string& package);

// What a bind stores in `slot` for the entry at `address` of `package`: the
// address itself unless the trace is on (a missing entry stays null).
inline void* wrap(void** slot, void* address, const std::string& package) {
  if (!armed.load(std::memory_order_relaxed) || address == nullptr) return address;
  return wrapTraced(slot, address, package);
}

}  // namespace zep::trace
