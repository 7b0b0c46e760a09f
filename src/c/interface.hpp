// What the C interface's functions share: the calling thread's last error,
// the guard that turns every exception into an error code, and the text
// results' buffer protocol.
#pragma once

#include <cstddef>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "catalog/catalog.hpp"
#include "zep00001/zep00001_c.h"

namespace zep::c {

// The caller passed something the function cannot take: ZEP_ERR_ARGUMENT.
class ArgumentError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// The shared package in use cannot do what was asked: ZEP_ERR_UNSUPPORTED.
class Unsupported : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// A text result did not fit the caller's buffer: ZEP_ERR_BUFFER.
class BufferTooSmall : public std::length_error {
 public:
  using std::length_error::length_error;
};

// The calling thread's last error, set by every guarded call.
void clearLastError() noexcept;
// Records the exception being handled and gives its error code.
int recordCurrentException() noexcept;
const char* lastError(std::size_t& length) noexcept;

enum class Fit { Whole, Prefix, NoRoom };

// Copies `text` into `out` (room for `*size` bytes) as the buffer protocol
// says, and sets `*size` to the text's length. NoRoom when `out` is null
// but room was claimed; `size` must not be null.
Fit putText(std::string_view text, char* out, std::size_t* size) noexcept;

// As putText, raising what the caller's buffer gets wrong.
void writeText(std::string_view text, char* out, std::size_t* size);

// A text of the caller's for a message: quoted, control bytes escaped.
using catalog::quoted;

// Runs `call`, giving its result and clearing the last error; when it
// raises, records the last error and gives `failed(code)`. The cancellation
// unwind passes, since swallowing it ends the process; having no C++
// exception object, it is the one with an empty current_exception().
template <class Call, class Failed>
std::invoke_result_t<Call> guard(Call&& call, Failed&& failed) {
  try {
    std::invoke_result_t<Call> result = std::forward<Call>(call)();
    clearLastError();
    return result;
  } catch (...) {
    if (!std::current_exception()) throw;
    return std::forward<Failed>(failed)(recordCurrentException());
  }
}

// For a function whose failure is a fixed value (NULL, 0).
template <class Result, class Call>
Result guarded(Result failed, Call&& call) {
  return guard(std::forward<Call>(call), [failed](int) { return failed; });
}

// For a function whose result is the error code.
template <class Call>
int guardedCode(Call&& call) {
  return guard(
      [&call] {
        call();
        return int{ZEP_OK};
      },
      [](int code) { return code; });
}

}  // namespace zep::c
