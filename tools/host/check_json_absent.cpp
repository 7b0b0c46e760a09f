// zep-host check --json in a build without nlohmann-json: the command line
// refuses --json, so printJson is never reached.
#include <stdexcept>

#include "host/report.hpp"

namespace zep::host {

bool canPrintJson() { return false; }

void printJson(const CheckReport&, std::ostream&) {
  throw std::logic_error("zep-host was built without JSON output");
}

void printJsonOfSets(const std::vector<CheckReport>&, std::ostream&) {
  throw std::logic_error("zep-host was built without JSON output");
}

}  // namespace zep::host
