// The calling thread's last error and the buffer protocol of text results.
#include "interface.hpp"

#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "catalog/catalog.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::c {
namespace {

struct LastError {
  std::string text;
  // Recording the failure itself ran out of memory.
  bool lost = false;
};
thread_local LastError last;

constexpr std::string_view kLost = "out of memory while recording the last error";

// The failure's message, then each nested cause on a line of its own.
std::string withCauses(const std::exception& failure) {
  const std::vector<std::string> chain = catalog::causeChain(failure);
  std::string text = chain.front();
  for (std::size_t i = 1; i < chain.size(); ++i) text.append("\n").append(chain[i]);
  return text;
}

// The code of the exception being handled, and its message into `text`.
int classify(std::string& text) {
  try {
    throw;
  } catch (const BufferTooSmall& failure) {
    text = failure.what();
    return ZEP_ERR_BUFFER;
  } catch (const ArgumentError& failure) {
    text = failure.what();
    return ZEP_ERR_ARGUMENT;
  } catch (const Unsupported& failure) {
    text = failure.what();
    return ZEP_ERR_UNSUPPORTED;
  } catch (const BindingFailure& failure) {
    text = withCauses(failure);
    return ZEP_ERR_LOAD;
  } catch (const std::bad_alloc&) {
    text = "out of memory";
    return ZEP_ERR_INTERNAL;
  } catch (const std::exception& failure) {
    text = withCauses(failure);
    return ZEP_ERR_INTERNAL;
  } catch (...) {
    text = "the module raised an exception that is no std::exception";
    return ZEP_ERR_INTERNAL;
  }
}

}  // namespace

void clearLastError() noexcept {
  last.text.clear();
  last.lost = false;
}

int recordCurrentException() noexcept {
  int code = ZEP_ERR_INTERNAL;
  try {
    std::string text;
    code = classify(text);
    // Into the room the last error already has, so that a failure recorded
    // while memory runs out needs none.
    last.text.assign(text);
    last.lost = false;
  } catch (...) {
    last.text.clear();
    last.lost = true;
  }
  return code;
}

const char* lastError(std::size_t& length) noexcept {
  const std::string_view text = last.lost ? kLost : std::string_view(last.text);
  length = text.size();
  return text.data();
}

Fit putText(std::string_view text, char* out, std::size_t* size) noexcept {
  const std::size_t room = *size;
  *size = text.size();
  if (room == 0) return Fit::Prefix;
  if (out == nullptr) return Fit::NoRoom;
  const std::size_t copied = text.size() < room ? text.size() : room - 1;
  std::memcpy(out, text.data(), copied);
  out[copied] = '\0';
  return copied == text.size() ? Fit::Whole : Fit::Prefix;
}

void writeText(std::string_view text, char* out, std::size_t* size) {
  if (size == nullptr) throw ArgumentError("size is a null pointer");
  const std::size_t room = *size;
  switch (putText(text, out, size)) {
    case Fit::Whole:
      return;
    case Fit::NoRoom:
      throw ArgumentError("out is a null pointer, but size claims room for " +
                          std::to_string(room) + " bytes");
    case Fit::Prefix:
      break;
  }
  throw BufferTooSmall("the text needs room for " + std::to_string(text.size() + 1) +
                       " bytes with its NUL, but the buffer has " + std::to_string(room));
}

}  // namespace zep::c

extern "C" {

int ZEP_CALL zep_last_error(char* out, size_t* size) {
  if (size == nullptr) return ZEP_ERR_ARGUMENT;
  std::size_t length = 0;
  const char* text = zep::c::lastError(length);
  switch (zep::c::putText(std::string_view(text, length), out, size)) {
    case zep::c::Fit::Whole:
      return ZEP_OK;
    case zep::c::Fit::Prefix:
      return ZEP_ERR_BUFFER;
    case zep::c::Fit::NoRoom:
      break;
  }
  return ZEP_ERR_ARGUMENT;
}

}  // extern "C"
