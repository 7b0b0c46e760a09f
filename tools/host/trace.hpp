// zep-host trace: a summary of the call trace that ZEP_TRACE writes, in
// Chrome's trace-event array form: a "B" event at each call through a slot,
// an "E" event at its return, paired a thread at a time as a stack.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zep::host {

// A thread of the traced process, as the events name it.
struct TraceThread {
  std::int64_t pid = 0;
  std::int64_t tid = 0;
  auto operator<=>(const TraceThread&) const = default;
};

// One call: its "B" event, and its return where the file holds it.
struct TracedCall {
  std::string entry;
  std::string set;
  std::string package;
  TraceThread thread;
  // Microseconds, as the events stamp them.
  double begun = 0;
  std::vector<std::string> words;
  bool returned = false;
  double duration = 0;
  std::string result;
};

// The calls of one entry on one thread.
struct EntryTimes {
  std::string entry;
  std::string set;
  TraceThread thread;
  std::size_t calls = 0;
  std::size_t neverReturned = 0;
  // Of the calls that returned, in microseconds.
  double total = 0;
  double longest = 0;
  std::size_t returned() const { return calls - neverReturned; }
};

struct TraceSummary {
  std::string file;
  // Every event read, the "B" and "E" among them, and the others (metadata
  // and the like), which are passed over.
  std::size_t events = 0;
  std::size_t calls = 0;
  std::size_t otherEvents = 0;
  // "E" events on a thread with no call open: the file began mid-call, as a
  // trace rotated away from FILE.1 does.
  std::size_t unmatchedReturns = 0;
  // The array's closing ']' was written: tracing was stopped, not cut.
  bool closed = false;
  // The last event was written only in part (the process died writing it)
  // and is left out.
  bool cutEvent = false;
  // By thread, then set and entry.
  std::vector<EntryTimes> entries;
  // Calls begun and never returned, by time begun.
  std::vector<TracedCall> neverReturned;
  // The last calls begun before the file ends, oldest first.
  std::vector<TracedCall> lastCalls;
};

// How many calls the summary lists as the last.
inline constexpr std::size_t kLastCalls = 10;

// Summarises the trace `text`, as read from `file`; nothing, with `problem`
// saying why, where it is no trace.
std::optional<TraceSummary> summariseTrace(std::string_view text, const std::string& file,
                                           std::string& problem);
// The same of the file at `path`; `problem` also says why one cannot be read.
std::optional<TraceSummary> summariseTraceFile(const std::string& path, std::string& problem);

void printTrace(const TraceSummary& summary, std::ostream& out);
// The same as one JSON document; only where canPrintJson().
void printTraceJson(const TraceSummary& summary, std::ostream& out);

}  // namespace zep::host
