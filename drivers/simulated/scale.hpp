// The simulated scale, package ZEP01200: the entries it simulates and their
// signatures, for a host to cast the slots to.
//
// A real scale is started on a serial port. The simulator has none: it reads
// the port text as the readings its platter will give, in kilograms, one
// after the other and separated by ';' ("0.398;0.411;0.412"). Every reading
// but the last is still settling; the last one is stable and stays.
#pragma once

#include <cstdint>

namespace zep::simulated::scale {

enum Status : std::int32_t {
  Ok = 0,  // a stable weight
  NotStarted = 1,
  Unstable = 2,  // still settling: ask again
  Empty = 3,     // nothing on the platter
  Overload = 4,  // above the capacity
  BadPort = 5,   // the port text is no list of readings
};

inline constexpr double kCapacityKilograms = 15.0;

// C signatures, so that a host in any language calls them.
using StartBalanca = Status(const char* port);
// The platter's next reading into `*kilograms`, also when it is not Ok.
using BuscaPeso = Status(double* kilograms);
using StopBalanca = Status();

}  // namespace zep::simulated::scale
