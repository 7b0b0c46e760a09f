// The module's trace switch, as its companions reach it: through the
// module's internal entry, not an export of the host interface.
#pragma once

#include <string>

#include "binding/internal.hpp"

namespace zep::test {

inline const internal::Interface& moduleInterface() {
  return *internal::zep00001_internal(internal::kVersion);
}

inline void traceOpen(const std::string& file) { moduleInterface().startTrace(file); }
inline void traceClose() noexcept { moduleInterface().stopTrace(); }

}  // namespace zep::test
