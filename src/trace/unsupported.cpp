// A target without trace stubs: every traced bind binds untraced, and
// zep_trace_open says that the trace is not supported here.
#include <system_error>

#include "trace/file.hpp"
#include "trace/stubs.hpp"

extern "C" {
const unsigned char zep_trace_stubs[1] = {};
const std::uint32_t zep_trace_stub_count = 0;
const std::uint32_t zep_trace_word_count = 0;
const std::uint32_t zep_trace_record_register = 0;
}

namespace zep::trace::file {

void open(const std::string&) {
  throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                          "the call trace is not supported on this platform");
}
void close() noexcept {}
bool isOpen() noexcept { return false; }
void append(const char*, std::size_t) noexcept {}
std::string takeFailure() { return {}; }
void beforeFork() noexcept {}
void afterForkInParent() noexcept {}
void afterForkInChild() noexcept {}
std::uint64_t now() noexcept { return 0; }
std::uint32_t processId() noexcept { return 0; }
std::uint32_t threadId() noexcept { return 0; }

}  // namespace zep::trace::file
