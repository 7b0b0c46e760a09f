// The call trace: while it is on, a bind stores in each slot the stub of that
// slot, which records the call and forwards it to the entry, instead of the
// entry's own address.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "zep00001/value.hpp"

namespace zep::trace {

// On from ZEP_TRACE or start until a failure or stop.
extern std::atomic<bool> armed;

void* wrapTraced(std::uint32_t slot, std::string_view entry, std::string_view set, void* address,
                 const std::string& package);

// What a bind stores in the slot of global index `slot` (entry `entry` of
// set `set`) for the entry at `address` of `package`: the address itself
// unless the trace is on (a missing entry stays null).
inline void* wrap(std::uint32_t slot, std::string_view entry, std::string_view set, void* address,
                  const std::string& package) {
  if (!armed.load(std::memory_order_relaxed) || address == nullptr) return address;
  return wrapTraced(slot, entry, set, address, package);
}

// The story around the calls, in the file while the trace is on: a bind or
// an unbind (`what`) of `set` for the model of code `code` or text `text`,
// of `package`, and how it ended: `failure` is null where it did not fail.
void noteBinding(const char* what, std::string_view set, std::int32_t code, std::string_view text,
                 const std::string& package, std::exception_ptr failure) noexcept;
inline void told(const char* what, std::string_view set, std::int32_t code, std::string_view text,
                 const std::string& package, std::exception_ptr failure = nullptr) noexcept {
  if (armed.load(std::memory_order_relaxed)) noteBinding(what, set, code, text, package, failure);
}
// A block the module built, as the builder `operation` gives it back, and
// where: a call's word of that address is shown as the block.
void noteBlock(const char* operation, const Value& block) noexcept;
inline void told(const char* operation, const Value& block) noexcept {
  if (armed.load(std::memory_order_relaxed)) noteBlock(operation, block);
}

// The switch: start raises std::system_error when the file cannot be
// written, with std::errc::function_not_supported where the module has no
// stubs; stop ends the file.
void start(const std::string& file);
void stop() noexcept;

}  // namespace zep::trace
