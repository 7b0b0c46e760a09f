// What the C interface's tests share: the last error as text, and the text
// results read through the buffer protocol.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zep00001/zep00001_c.h"

namespace c_api {

// The calling thread's last error, asked for with exactly enough room.
inline std::string lastError() {
  std::size_t size = 0;
  zep_last_error(nullptr, &size);
  std::vector<char> text(size + 1, '#');
  std::size_t room = text.size();
  if (zep_last_error(text.data(), &room) != ZEP_OK || room != size) return "<unstable last error>";
  return std::string(text.data(), room);
}

inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result(1);
  for (char c : text) {
    if (c == '\n') {
      result.emplace_back();
    } else {
      result.back() += c;
    }
  }
  return result;
}

// Every test package's entry answers "<directory>/<package>:<entry>".
inline std::string answer(void* entry) {
  return entry == nullptr ? "<null>" : reinterpret_cast<const char* (*)()>(entry)();
}

}  // namespace c_api
