// The module's internal entry: its own table of the sets and their state,
// for its companions.
#include "binding/internal.hpp"

#include "binding/protocol.hpp"
#include "trace/trace.hpp"

namespace zep::internal {

extern "C" const Interface* zep00001_internal(unsigned version) {
  static const Interface kInterface{
      .version = kVersion,
      .size = sizeof(Interface),
      .sets = sets::all().data(),
      .count = sets::all().size(),
      .states = binding::states(),
      .boundPackage = &binding::boundPackage,
      .startTrace = &trace::start,
      .stopTrace = &trace::stop,
  };
  return version == kVersion ? &kInterface : nullptr;
}

}  // namespace zep::internal
