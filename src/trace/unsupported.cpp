// A target without trace stubs: every traced bind binds untraced, and the
// switch says that the trace is not supported here.
#include <system_error>

#include "trace/file.hpp"
#include "trace/recorder.hpp"
#include "trace/stubs.hpp"
#include "trace/system.hpp"

extern "C" {
const unsigned char zep_trace_stubs[1] = {};
const std::uint32_t zep_trace_stub_count = 0;
}

namespace zep::trace {

void install(std::uint32_t, const Traced*) noexcept {}
void writeNote(std::uint8_t, std::string_view) noexcept {}

namespace system {
std::string loadedFrom(const void*) { return {}; }
}  // namespace system

namespace file {

std::atomic<void*> current::header{nullptr};
std::atomic<std::uint32_t> current::epoch{0};

void open(const std::string&) {
  throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                          "the call trace is not supported on this platform");
}
void close() noexcept {}
std::string takeFailure() { return {}; }
bool name(std::uint32_t, std::uint32_t, const void*, std::string_view, std::string_view,
          std::string_view) noexcept {
  return false;
}

}  // namespace file
}  // namespace zep::trace
