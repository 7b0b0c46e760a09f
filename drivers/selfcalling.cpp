// A dial-TEF package whose DoTef calls its own exported CheckDirTef, as many
// real drivers do. Under a host that links the module directly, the slot
// named CheckDirTef stands in the global scope; the call reaches the package's
// own function only because packages link with -Bsymbolic-functions.
#include "driver_export.hpp"

extern "C" ZEP_DRIVER_API __attribute__((noinline)) const char* CheckDirTef() {
  return ZEP_DRIVER_LABEL ":CheckDirTef";
}

extern "C" ZEP_DRIVER_API const char* DoTef() { return CheckDirTef(); }
