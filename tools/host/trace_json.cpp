// zep-host trace --json: the summary as one document, written with
// nlohmann::json so that every name is escaped as JSON wants.
#include <nlohmann/json.hpp>

#include "host/trace.hpp"

namespace zep::host {
namespace {

using json = nlohmann::ordered_json;

json call(const TracedCall& call) {
  json document = {{"pid", call.thread.pid}, {"tid", call.thread.tid},    {"set", call.set},
                   {"entry", call.entry},    {"package", call.package},   {"begunUs", call.begun},
                   {"words", call.words},    {"returned", call.returned}, {"durationUs", nullptr},
                   {"result", nullptr}};
  if (call.returned) {
    document["durationUs"] = call.duration;
    document["result"] = call.result;
  }
  return document;
}

}  // namespace

void printTraceJson(const TraceSummary& summary, std::ostream& out) {
  json document;
  document["file"] = summary.file;
  document["events"] = summary.events;
  document["calls"] = summary.calls;
  document["neverReturned"] = summary.neverReturned.size() + summary.neverReturnedUnlisted;
  document["unmatchedReturns"] = summary.unmatchedReturns;
  document["otherEvents"] = summary.otherEvents;
  document["closed"] = summary.closed;
  document["cutEvent"] = summary.cutEvent;
  document["entries"] = json::array();
  for (const EntryTimes& times : summary.entries) {
    const std::size_t returned = times.returned();
    document["entries"].push_back(
        {{"pid", times.thread.pid},
         {"tid", times.thread.tid},
         {"set", times.set},
         {"entry", times.entry},
         {"calls", times.calls},
         {"neverReturned", times.neverReturned},
         {"totalUs", times.total},
         {"meanUs",
          returned == 0 ? json(nullptr) : json(times.total / static_cast<double>(returned))},
         {"longestUs", returned == 0 ? json(nullptr) : json(times.longest)}});
  }
  document["unreturned"] = json::array();
  for (const TracedCall& unreturned : summary.neverReturned)
    document["unreturned"].push_back(call(unreturned));
  document["lastCalls"] = json::array();
  for (const TracedCall& last : summary.lastCalls) document["lastCalls"].push_back(call(last));
  // Bytes that are no UTF-8 are replaced, not refused.
  out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

}  // namespace zep::host
