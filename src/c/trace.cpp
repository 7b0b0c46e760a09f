// zep_trace_start and zep_trace_stop: the module's trace switch.
#include <string>
#include <system_error>

#include "catalog/catalog.hpp"
#include "interface.hpp"

using namespace zep::c;

extern "C" {

int ZEP_CALL zep_trace_start(const char* file) {
  return guardedCode([file] {
    if (file == nullptr) throw ArgumentError("the trace file is a null pointer");
    try {
      zep::catalog::module().startTrace(file);
    } catch (const std::system_error& failure) {
      // By value: where each library links its own C++ runtime, the
      // module's error category is another object than this library's.
      if (failure.code().value() == static_cast<int>(std::errc::function_not_supported)) {
        throw Unsupported(failure.what());
      }
      throw ArgumentError(failure.what());
    }
  });
}

int ZEP_CALL zep_trace_stop(void) {
  return guardedCode([] { zep::catalog::module().stopTrace(); });
}
}
