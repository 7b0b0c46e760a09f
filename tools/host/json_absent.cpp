// zep-host's --json in a build without nlohmann-json: the command line
// refuses --json, so the JSON renderings are never reached.
#include <stdexcept>

#include "host/parts.hpp"
#include "host/report.hpp"
#include "host/trace.hpp"

namespace zep::host {
namespace {

[[noreturn]] void unavailable() {
  throw std::logic_error("zep-host was built without JSON output");
}

}  // namespace

bool canPrintJson() { return false; }

void printJson(const CheckReport&, std::ostream&) { unavailable(); }

void printJsonOfSets(const std::vector<CheckReport>&, std::ostream&) { unavailable(); }

void printTraceJson(const TraceSummary&, std::ostream&) { unavailable(); }

void printIdentitiesJson(const std::vector<inspect::Identity>&, std::ostream&) { unavailable(); }

}  // namespace zep::host
