// zep-host trace FILE --export OUT.json: the trace as Chrome's trace-event
// JSON, which Perfetto's UI and chrome://tracing open, written event by event
// as the reader gives them: a call's beginning ("B") and end ("E"), and the
// module's notes and the records its threads could not write as instants.
#include <iomanip>
#include <ostream>

#include "host/trace.hpp"

namespace zep::host {
namespace {

// The length of the UTF-8 sequence at `text`, or 0 where none begins there.
std::size_t sequence(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  const std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
  if (length == 0 || length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  return length;
}

// A JSON text of `text`; a byte that is no UTF-8 (a host's Windows-1252
// text) stands for the character of its value.
void quoted(std::ostream& out, std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  out << '"';
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text[0]);
    const std::size_t length = sequence(text);
    if (c == '"' || c == '\\') {
      out << '\\' << text[0];
    } else if (c < 0x20 || length == 0) {
      out << "\\u00" << digits[c >> 4] << digits[c & 15];
    } else {
      out << text.substr(0, length);
      text.remove_prefix(length - 1);
    }
    text.remove_prefix(1);
  }
  out << '"';
}

void where(std::ostream& out, const TraceEvent& event, const char* phase) {
  out << ",\"ph\":\"" << phase << "\",\"pid\":" << event.thread.pid
      << ",\"tid\":" << event.thread.tid << ",\"ts\":" << std::fixed << std::setprecision(3)
      << event.time;
}

void write(std::ostream& out, const TraceEvent& event) {
  out << "{\"name\":";
  switch (event.kind) {
    case TraceEvent::Kind::Call: {
      quoted(out, event.entry);
      out << ",\"cat\":";
      quoted(out, event.set);
      where(out, event, "B");
      out << ",\"args\":{\"package\":";
      quoted(out, event.package);
      out << ",\"words\":[";
      const char* separator = "";
      for (const std::string& word : event.words) {
        out << separator;
        quoted(out, word);
        separator = ",";
      }
      out << "]}}";
      return;
    }
    case TraceEvent::Kind::Return:
    case TraceEvent::Kind::Unwound:
      quoted(out, event.entry);
      out << ",\"cat\":";
      quoted(out, event.set);
      where(out, event, "E");
      if (event.kind == TraceEvent::Kind::Unwound) {
        out << ",\"args\":{\"exception\":true}}";
      } else {
        out << ",\"args\":{\"result\":";
        quoted(out, event.result);
        out << "}}";
      }
      return;
    case TraceEvent::Kind::Note:
      quoted(out, event.note);
      out << ",\"cat\":\"zep\"";
      where(out, event, "i");
      out << ",\"s\":\"t\",\"args\":{\"text\":";
      quoted(out, event.text);
      out << "}}";
      return;
    case TraceEvent::Kind::Dropped:
      out << "\"records not written\",\"cat\":\"zep\"";
      where(out, event, "i");
      out << ",\"s\":\"t\",\"args\":{\"records\":" << event.dropped << "}}";
      return;
    case TraceEvent::Kind::Other:
      return;
  }
}

}  // namespace

bool exportTrace(const std::string& path, std::ostream& out, std::string& problem) {
  out << "{\"traceEvents\":[";
  const char* separator = "\n";
  TraceRead read;
  const bool whole = readTraceFile(
      path,
      [&](const TraceEvent& event) {
        if (event.kind == TraceEvent::Kind::Other) return;
        out << separator;
        write(out, event);
        separator = ",\n";
      },
      read, problem);
  out << "\n],\"displayTimeUnit\":\"ms\"}\n";
  return whole;
}

}  // namespace zep::host
