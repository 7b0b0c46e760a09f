// The module's internal entry: its own table of the sets and their state,
// for its companions.
#include "binding/internal.hpp"

#include "binding/protocol.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::internal {

extern "C" const Interface* zep00001_internal(unsigned version) {
  static const Interface kInterface{
      .version = kVersion,
      .size = sizeof(Interface),
      .sets = sets::all().data(),
      .count = sets::all().size(),
      .states = binding::states(),
      .boundPackage = &binding::boundPackage,
      .startTrace = &zep_trace_open,
      .stopTrace = &zep_trace_close,
  };
  return version == kVersion ? &kInterface : nullptr;
}

}  // namespace zep::internal
