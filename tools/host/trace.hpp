// zep-host trace: a summary of the call trace that ZEP_TRACE writes (the
// module's binary file, or the Chrome trace-event array of older ones), and
// its export as Chrome trace-event JSON, which Perfetto's UI and
// chrome://tracing open.
#pragma once

#include <cstdint>
#include <functional>
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

// One event of a trace, in the file's order (a thread's own in the order
// they happened).
struct TraceEvent {
  enum class Kind { Call, Return, Unwound, Dropped, Note, Other };
  Kind kind = Kind::Call;
  TraceThread thread;
  double time = 0;  // microseconds since 1970
  // The call's place on its thread's stack of calls, where the file says it
  // (a return closes the call of its depth): the module's files do.
  std::optional<std::uint32_t> depth;
  std::string entry;
  std::string set;
  std::string package;
  std::vector<std::string> words;  // a call's, as 0x... or what they stand for
  std::string result;              // a return's
  std::string note;                // a note's kind (bind, unbind, block) and text
  std::string text;
  std::uint64_t dropped = 0;  // records the thread could not write
};
using TraceSink = std::function<void(const TraceEvent&)>;

// What the reader found beside the events.
struct TraceRead {
  // Tracing was stopped, not cut.
  bool closed = false;
  // The last event was written only in part (the process died writing it)
  // and is left out.
  bool cutEvent = false;
};

// Reads the trace at `path` into `sink`; false, with `problem` saying why,
// where it cannot be read or is no trace (a file that is no regular file is
// refused before it is read). Memory stays bounded by the largest region.
bool readTraceFile(const std::string& path, const TraceSink& sink, TraceRead& read,
                   std::string& problem);
// The same of a Chrome trace-event array (trace_json_reader.cpp).
bool readTraceJson(std::string_view text, const std::string& file, const TraceSink& sink,
                   TraceRead& read, std::string& problem);

// One call: its beginning, and its return where the file holds it.
struct TracedCall {
  std::string entry;
  std::string set;
  std::string package;
  TraceThread thread;
  double begun = 0;  // microseconds since 1970
  std::vector<std::string> words;
  bool returned = false;
  double duration = 0;  // microseconds
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
  // Every event read, the calls and returns among them, and the others
  // (notes, metadata and the like), which are passed over.
  std::size_t events = 0;
  std::size_t calls = 0;
  std::size_t otherEvents = 0;
  // Returns on a thread with no call open: the file began mid-call, as a
  // trace rotated away from FILE.1 does.
  std::size_t unmatchedReturns = 0;
  // Records the traced threads could not write (a signal handler's call
  // while its thread wrote one, a full disk).
  std::uint64_t dropped = 0;
  bool closed = false;
  bool cutEvent = false;
  // By thread, then set and entry.
  std::vector<EntryTimes> entries;
  // Calls begun and never returned, by time begun: the first 1000, and how
  // many more.
  std::vector<TracedCall> neverReturned;
  std::size_t neverReturnedUnlisted = 0;
  // The last calls begun before the file ends, oldest first.
  std::vector<TracedCall> lastCalls;
  // The module's notes (binds, unbinds, blocks), the last ones, oldest first.
  std::vector<TraceEvent> notes;
};

// How many calls and notes the summary lists as the last.
inline constexpr std::size_t kLastCalls = 10;

// Summarises the trace `text` (a Chrome trace-event array), as read from
// `file`; nothing, with `problem` saying why, where it is no trace.
std::optional<TraceSummary> summariseTrace(std::string_view text, const std::string& file,
                                           std::string& problem);
// The same of the file at `path`, binary or JSON.
std::optional<TraceSummary> summariseTraceFile(const std::string& path, std::string& problem);

void printTrace(const TraceSummary& summary, std::ostream& out);
// The same as one JSON document; only where canPrintJson().
void printTraceJson(const TraceSummary& summary, std::ostream& out);

// Writes the trace at `path` as Chrome's trace-event JSON to `out`, event by
// event; false, with `problem` saying why, where it cannot.
bool exportTrace(const std::string& path, std::ostream& out, std::string& problem);

}  // namespace zep::host
