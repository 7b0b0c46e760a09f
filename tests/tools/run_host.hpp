// zep-host run in-process as the program runs it, with the simulated
// packages the build made, for the tests of zep_host_tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "host/commands.hpp"

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline Outcome host(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  const int status = zep::host::run(arguments, {out, err, ZEP_SIMULATED_DIR});
  return {status, out.str(), err.str()};
}
