// zep-host trace: reads a call trace, even one its process died writing, and
// tells per entry and thread what was called, for how long, and what never
// returned, with the module's notes of its binds and blocks.
#include "host/trace.hpp"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <deque>
#include <iomanip>
#include <map>
#include <sstream>
#include <tuple>

#include "catalog/catalog.hpp"
#include "host/report.hpp"

namespace zep::host {
namespace {

// The calls kept that never returned; more are counted only.
constexpr std::size_t kNeverReturnedListed = 1000;
// The calls kept open on a thread, as deep as a record's depth tells: a
// file of calls that never return keeps the memory bounded.
constexpr std::size_t kDeepestOpen = 1 << 16;

// Pairs the events a thread at a time into calls and sums them up.
class Summariser {
 public:
  explicit Summariser(TraceSummary& summary) : summary_(summary) {}

  void add(const TraceEvent& event) {
    ++summary_.events;
    switch (event.kind) {
      case TraceEvent::Kind::Other:
        ++summary_.otherEvents;
        return;
      case TraceEvent::Kind::Note:
        ++summary_.otherEvents;
        summary_.notes.push_back(event);
        if (summary_.notes.size() > kLastCalls) summary_.notes.erase(summary_.notes.begin());
        return;
      case TraceEvent::Kind::Dropped:
        ++summary_.otherEvents;
        summary_.dropped += event.dropped;
        return;
      case TraceEvent::Kind::Call:
        begin(event);
        return;
      case TraceEvent::Kind::Return:
      case TraceEvent::Kind::Unwound:
        end(event);
        return;
    }
  }

  // The calls still open never returned.
  void finish() {
    for (auto& [thread, open] : open_)
      while (!open.empty()) abandon(open);
    std::stable_sort(summary_.neverReturned.begin(), summary_.neverReturned.end(),
                     [](const TracedCall& a, const TracedCall& b) { return a.begun < b.begun; });
    for (auto& [key, times] : times_) summary_.entries.push_back(times);
    for (Open& call : last_) summary_.lastCalls.push_back(std::move(call.call));
  }

 private:
  struct Open {
    TracedCall call;
    std::uint32_t depth;
    std::uint64_t sequence;
  };

  void begin(const TraceEvent& event) {
    std::vector<Open>& open = open_[event.thread];
    // A call at the depth of one still open: a longjmp passed that one.
    if (event.depth)
      while (!open.empty() && open.back().depth >= *event.depth) abandon(open);
    if (open.size() >= kDeepestOpen) abandon(open);
    TracedCall call;
    call.entry = event.entry;
    call.set = event.set;
    call.package = event.package;
    call.thread = event.thread;
    call.begun = event.time;
    call.words = event.words;
    ++summary_.calls;
    ++timesOf(call).calls;
    const Open opened{std::move(call),
                      event.depth.value_or(static_cast<std::uint32_t>(open.size())), sequence_++};
    last_.push_back(opened);
    if (last_.size() > kLastCalls) last_.pop_front();
    open.push_back(opened);
  }

  void end(const TraceEvent& event) {
    std::vector<Open>& open = open_[event.thread];
    if (event.depth)
      while (!open.empty() && open.back().depth > *event.depth) abandon(open);
    if (open.empty() || (event.depth && open.back().depth != *event.depth)) {
      ++summary_.unmatchedReturns;
      return;
    }
    Open call = std::move(open.back());
    open.pop_back();
    call.call.returned = true;
    call.call.duration = event.time - call.call.begun;
    call.call.result = event.kind == TraceEvent::Kind::Unwound ? "an exception" : event.result;
    EntryTimes& times = timesOf(call.call);
    times.total += call.call.duration;
    times.longest = std::max(times.longest, call.call.duration);
    if (!last_.empty() && call.sequence >= last_.front().sequence)
      last_[call.sequence - last_.front().sequence].call = call.call;
  }

  // The innermost open call of a thread never returned.
  void abandon(std::vector<Open>& open) {
    ++timesOf(open.back().call).neverReturned;
    if (summary_.neverReturned.size() < kNeverReturnedListed)
      summary_.neverReturned.push_back(std::move(open.back().call));
    else
      ++summary_.neverReturnedUnlisted;
    open.pop_back();
  }

  EntryTimes& timesOf(const TracedCall& call) {
    EntryTimes& times = times_[{call.thread, call.set, call.entry}];
    if (times.entry.empty()) {
      times.entry = call.entry;
      times.set = call.set;
      times.thread = call.thread;
    }
    return times;
  }

  TraceSummary& summary_;
  std::map<TraceThread, std::vector<Open>> open_;
  std::map<std::tuple<TraceThread, std::string, std::string>, EntryTimes> times_;
  std::deque<Open> last_;
  std::uint64_t sequence_ = 0;
};

// A note's text as it is, but for control bytes, which are escaped (\x1b)
// so that no escape sequence reaches the terminal.
std::string plain(std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += digits[byte >> 4];
      out += digits[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string threadName(const TraceThread& thread) {
  return std::to_string(thread.pid) + "/" + std::to_string(thread.tid);
}

std::string milliseconds(double microseconds) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(3) << microseconds / 1000;
  return text.str();
}

// Microseconds since 1970 as the local time of day with its date, to the
// microsecond.
std::string localTime(double microseconds) {
  const double seconds = std::floor(microseconds / 1e6);
  const auto whole = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &whole);
#else
  localtime_r(&whole, &local);
#endif
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::ostringstream out;
  out << text << '.' << std::setw(6) << std::setfill('0')
      << static_cast<long>(std::llround(microseconds - seconds * 1e6) % 1000000);
  return out.str();
}

std::optional<TraceSummary> summarised(
    const std::string& file, const std::function<bool(const TraceSink&, TraceRead&)>& read) {
  TraceSummary summary;
  summary.file = file;
  Summariser summariser(summary);
  TraceRead found;
  if (!read([&summariser](const TraceEvent& event) { summariser.add(event); }, found))
    return std::nullopt;
  summary.closed = found.closed;
  summary.cutEvent = found.cutEvent;
  summariser.finish();
  return summary;
}

}  // namespace

std::optional<TraceSummary> summariseTrace(std::string_view text, const std::string& file,
                                           std::string& problem) {
  return summarised(file, [&](const TraceSink& sink, TraceRead& read) {
    return readTraceJson(text, file, sink, read, problem);
  });
}

std::optional<TraceSummary> summariseTraceFile(const std::string& path, std::string& problem) {
  return summarised(path, [&](const TraceSink& sink, TraceRead& read) {
    return readTraceFile(path, sink, read, problem);
  });
}

void printTrace(const TraceSummary& summary, std::ostream& out) {
  out << "trace " << catalog::quoted(summary.file) << ": " << summary.calls << " calls, "
      << summary.neverReturned.size() + summary.neverReturnedUnlisted << " never returned\n";
  if (summary.cutEvent) out << "note: the last event was written only in part and is left out\n";
  if (!summary.closed)
    out << "note: the trace was not ended: the process stopped without ending it, or is still "
           "tracing\n";
  if (summary.unmatchedReturns != 0)
    out << "note: " << summary.unmatchedReturns
        << " returns follow no call on their thread: the file began with those calls under "
           "way\n";
  if (summary.dropped != 0)
    out << "note: " << summary.dropped
        << " records are missing: their threads could not write them (a signal handler's call "
           "while its thread wrote one, or no room)\n";
  if (!summary.notes.empty()) {
    out << "\nthe module's last " << summary.notes.size() << " notes, oldest first:\n";
    for (const TraceEvent& note : summary.notes)
      out << "  " << localTime(note.time) << "  " << threadName(note.thread) << "  " << note.note
          << ": " << plain(note.text) << '\n';
  }
  if (summary.entries.empty()) return;

  std::size_t threadWidth = 6, setWidth = 3, entryWidth = 5;
  for (const EntryTimes& times : summary.entries) {
    threadWidth = std::max(threadWidth, threadName(times.thread).size());
    setWidth = std::max(setWidth, shown(times.set).size());
    entryWidth = std::max(entryWidth, shown(times.entry).size());
  }
  const auto column = [&out](std::size_t width) -> std::ostream& {
    return out << std::setw(static_cast<int>(width));
  };
  out << "\ncalls per entry and thread, times in milliseconds:\n  " << std::left;
  column(threadWidth) << "thread"
                      << "  ";
  column(setWidth) << "set"
                   << "  ";
  column(entryWidth) << "entry" << std::right << "  calls  never returned         total"
                     << "          mean       longest\n";
  for (const EntryTimes& times : summary.entries) {
    out << "  " << std::left;
    column(threadWidth) << threadName(times.thread) << "  ";
    column(setWidth) << shown(times.set) << "  ";
    column(entryWidth) << shown(times.entry) << std::right << "  " << std::setw(5) << times.calls
                       << "  " << std::setw(14) << times.neverReturned;
    if (times.returned() == 0) {
      out << std::setw(14) << "-" << std::setw(14) << "-" << std::setw(14) << "-" << '\n';
      continue;
    }
    out << std::setw(14) << milliseconds(times.total) << std::setw(14)
        << milliseconds(times.total / static_cast<double>(times.returned())) << std::setw(14)
        << milliseconds(times.longest) << '\n';
  }

  const auto describe = [&out](const TracedCall& call) {
    out << "  " << localTime(call.begun) << "  " << threadName(call.thread) << "  "
        << shown(call.set) << ' ' << shown(call.entry);
    if (!call.package.empty()) out << " (" << shown(call.package) << ')';
  };
  if (!summary.neverReturned.empty()) {
    out << "\nnever returned (begun at, thread, entry):\n";
    for (const TracedCall& call : summary.neverReturned) {
      describe(call);
      out << '\n';
    }
  }
  out << "\nthe last " << summary.lastCalls.size() << " calls, oldest first:\n";
  for (const TracedCall& call : summary.lastCalls) {
    describe(call);
    const char* separator = " with ";
    for (const std::string& word : call.words) {
      out << separator << shown(word);
      separator = " ";
    }
    if (call.returned) {
      out << ": " << (call.result.empty() ? "returned" : shown(call.result)) << " after "
          << milliseconds(call.duration) << " ms\n";
    } else {
      out << ": never returned\n";
    }
  }
}

}  // namespace zep::host
