// zep-host trace: reads a call trace, even one its process died writing, and
// tells per entry and thread what was called, for how long, and what never
// returned.
#include "host/trace.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <deque>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <system_error>
#include <tuple>

#include "catalog/catalog.hpp"
#include "host/report.hpp"

namespace zep::host {
namespace {

// The JSON values an event is made of. The trace is read with a reader of
// its own rather than a JSON library's, so that a file cut off mid-event is
// told from a malformed one, and so that zep-host reads traces without
// nlohmann-json too.
struct Json {
  enum class Kind { Null, Boolean, Number, String, Array, Object };
  Kind kind = Kind::Null;
  double number = 0;
  std::string text;
  // An array's items, or an object's members' values, named by `names`
  // (a pair of a name and a Json could not hold a Json not yet complete).
  std::vector<Json> items;
  std::vector<std::string> names;

  const Json* member(std::string_view name) const {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return &items[i];
    return nullptr;
  }
  // The member's text, or "" where it is no text.
  std::string textOf(std::string_view name) const {
    const Json* value = member(name);
    return value != nullptr && value->kind == Kind::String ? value->text : std::string();
  }
};

// The text ended inside a value.
struct CutShort {};
// What is wrong, and the byte it was found at.
struct Malformed {
  std::size_t at;
  std::string what;
};

// Nested deeper than any event is, a file is refused before the reader's
// recursion can exhaust the stack.
constexpr int kDeepest = 16;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  void skipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
  }
  bool atEnd() const { return at_ == text_.size(); }
  // The next byte, which a value needs.
  char next() const {
    if (atEnd()) throw CutShort{};
    return text_[at_];
  }
  std::size_t at() const { return at_; }
  void take() { ++at_; }

  Json value(int depth = 0) {
    skipSpace();
    if (depth > kDeepest) throw Malformed{at_, "values nested too deep"};
    const char c = next();
    Json json;
    if (c == '{') {
      json.kind = Json::Kind::Object;
      take();
      skipSpace();
      if (next() == '}') return take(), json;
      for (;;) {
        skipSpace();
        if (next() != '"') throw Malformed{at_, "a member's name must be a text"};
        std::string name = string();
        skipSpace();
        if (next() != ':') throw Malformed{at_, "':' must follow a member's name"};
        take();
        json.names.push_back(std::move(name));
        json.items.push_back(value(depth + 1));
        if (!separated('}')) return json;
      }
    }
    if (c == '[') {
      json.kind = Json::Kind::Array;
      take();
      skipSpace();
      if (next() == ']') return take(), json;
      for (;;) {
        json.items.push_back(value(depth + 1));
        if (!separated(']')) return json;
      }
    }
    if (c == '"') {
      json.kind = Json::Kind::String;
      json.text = string();
      return json;
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      json.kind = Json::Kind::Number;
      json.number = number();
      return json;
    }
    for (std::string_view literal : {"true", "false", "null"}) {
      const std::string_view rest = text_.substr(at_, literal.size());
      if (literal.substr(0, rest.size()) != rest) continue;
      if (rest.size() < literal.size()) throw CutShort{};
      at_ += literal.size();
      json.kind = literal == "null" ? Json::Kind::Null : Json::Kind::Boolean;
      json.number = literal == "true";
      return json;
    }
    throw Malformed{at_, "no JSON value begins here"};
  }

 private:
  // After a member or an item: true where another follows, false at `close`.
  bool separated(char close) {
    skipSpace();
    const char c = next();
    take();
    if (c == ',') return true;
    if (c == close) return false;
    throw Malformed{at_ - 1, std::string("',' or '") + close + "' must follow a value"};
  }

  double number() {
    const std::size_t begun = at_;
    while (!atEnd() && std::string_view("+-0123456789.eE").find(text_[at_]) != std::string::npos)
      ++at_;
    // A number can end only a value inside an event, which must go on.
    if (atEnd()) throw CutShort{};
    double value = 0;
    const char* first = text_.data() + begun;
    const char* last = text_.data() + at_;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) throw Malformed{begun, "a malformed number"};
    return value;
  }

  unsigned hex4() {
    if (text_.size() - at_ < 4) throw CutShort{};
    unsigned value = 0;
    const auto [end, error] =
        std::from_chars(text_.data() + at_, text_.data() + at_ + 4, value, 16);
    if (error != std::errc() || end != text_.data() + at_ + 4)
      throw Malformed{at_, "\\u must be followed by four hex digits"};
    at_ += 4;
    return value;
  }

  static void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::string string() {
    take();
    std::string text;
    for (;;) {
      const char c = next();
      take();
      if (c == '"') return text;
      if (static_cast<unsigned char>(c) < 0x20)
        throw Malformed{at_ - 1, "a control byte inside a text"};
      if (c != '\\') {
        text += c;
        continue;
      }
      const char escaped = next();
      take();
      switch (escaped) {
        case '"':
        case '\\':
        case '/':
          text += escaped;
          break;
        case 'b':
          text += '\b';
          break;
        case 'f':
          text += '\f';
          break;
        case 'n':
          text += '\n';
          break;
        case 'r':
          text += '\r';
          break;
        case 't':
          text += '\t';
          break;
        case 'u': {
          unsigned code = hex4();
          // A pair of surrogates is one character; a lone one is none.
          if (code >= 0xD800 && code < 0xDC00 && text_.substr(at_, 2) == "\\u") {
            at_ += 2;
            const unsigned low = hex4();
            code = low >= 0xDC00 && low < 0xE000
                       ? 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00)
                       : 0xFFFD;
          } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
          }
          appendUtf8(text, code);
          break;
        }
        default:
          throw Malformed{at_ - 1, "an unknown escape inside a text"};
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

// Pairs the events a thread at a time into calls and sums them up.
class Summariser {
 public:
  explicit Summariser(TraceSummary& summary) : summary_(summary) {}

  void add(const Json& event, std::size_t at) {
    const std::string which = "event " + std::to_string(summary_.events + 1);
    if (event.kind != Json::Kind::Object) throw Malformed{at, which + " is no object"};
    const Json* phase = event.member("ph");
    if (phase == nullptr || phase->kind != Json::Kind::String)
      throw Malformed{at, which + " has no \"ph\" text"};
    ++summary_.events;
    if (phase->text != "B" && phase->text != "E") {
      ++summary_.otherEvents;
      return;
    }
    const auto number = [&](const char* name) {
      const Json* value = event.member(name);
      if (value == nullptr || value->kind != Json::Kind::Number)
        throw Malformed{at, which + " has no \"" + name + "\" number"};
      return value->number;
    };
    // Ids are whole numbers, within what a thread id can be.
    const auto id = [&](const char* name) {
      const double value = number(name);
      if (!(std::abs(value) < 0x1p62) || value != std::trunc(value))
        throw Malformed{at, which + "'s \"" + name + "\" is no thread or process id"};
      return static_cast<std::int64_t>(value);
    };
    const TraceThread thread{id("pid"), id("tid")};
    const double time = number("ts");
    const Json* args = event.member("args");
    if (args != nullptr && args->kind != Json::Kind::Object)
      throw Malformed{at, which + "'s \"args\" is no object"};
    std::vector<Open>& open = open_[thread];
    if (phase->text == "E") {
      if (open.empty()) {
        ++summary_.unmatchedReturns;
        return;
      }
      Open call = std::move(open.back());
      open.pop_back();
      call.call.returned = true;
      call.call.duration = time - call.call.begun;
      if (args != nullptr) call.call.result = args->textOf("result");
      EntryTimes& times = timesOf(call.call);
      times.total += call.call.duration;
      times.longest = std::max(times.longest, call.call.duration);
      if (!last_.empty() && call.sequence >= last_.front().sequence)
        last_[call.sequence - last_.front().sequence].call = call.call;
      return;
    }
    const Json* name = event.member("name");
    if (name == nullptr || name->kind != Json::Kind::String)
      throw Malformed{at, which + " begins a call of no \"name\""};
    TracedCall call;
    call.entry = name->text;
    call.set = event.textOf("cat");
    call.thread = thread;
    call.begun = time;
    if (args != nullptr) {
      call.package = args->textOf("package");
      if (const Json* words = args->member("words"); words != nullptr)
        for (const Json& word : words->items) call.words.push_back(word.text);
    }
    ++summary_.calls;
    ++timesOf(call).calls;
    const Open opened{std::move(call), sequence_++};
    last_.push_back(opened);
    if (last_.size() > kLastCalls) last_.pop_front();
    open.push_back(opened);
  }

  // The calls still open never returned.
  void finish() {
    for (auto& [thread, open] : open_) {
      for (Open& call : open) {
        ++timesOf(call.call).neverReturned;
        summary_.neverReturned.push_back(std::move(call.call));
      }
    }
    std::stable_sort(summary_.neverReturned.begin(), summary_.neverReturned.end(),
                     [](const TracedCall& a, const TracedCall& b) { return a.begun < b.begun; });
    for (auto& [key, times] : times_) summary_.entries.push_back(times);
    for (Open& call : last_) summary_.lastCalls.push_back(std::move(call.call));
  }

 private:
  struct Open {
    TracedCall call;
    std::uint64_t sequence;
  };

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

std::string threadName(const TraceThread& thread) {
  return std::to_string(thread.pid) + "/" + std::to_string(thread.tid);
}

std::string microseconds(double value) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(3) << value;
  return text.str();
}

}  // namespace

std::optional<TraceSummary> summariseTrace(std::string_view text, const std::string& file,
                                           std::string& problem) {
  const std::string named = catalog::quoted(file);
  // A file the system had grown but not yet written when the process died
  // ends in zero bytes.
  text = text.substr(0, text.find_last_not_of('\0') + 1);
  TraceSummary summary;
  summary.file = file;
  Reader reader(text);
  reader.skipSpace();
  if (reader.atEnd()) {
    problem = named + " is no call trace: it is empty";
    return std::nullopt;
  }
  if (reader.next() != '[') {
    problem = named + " is no call trace: it does not begin with '['";
    return std::nullopt;
  }
  reader.take();
  Summariser summariser(summary);
  try {
    for (;;) {
      reader.skipSpace();
      if (reader.atEnd()) break;
      if (reader.next() == ']') {
        reader.take();
        reader.skipSpace();
        if (!reader.atEnd()) throw Malformed{reader.at(), "text follows the closing ']'"};
        summary.closed = true;
        break;
      }
      const std::size_t begun = reader.at();
      Json event;
      try {
        event = reader.value();
      } catch (const CutShort&) {
        summary.cutEvent = true;
        break;
      }
      summariser.add(event, begun);
      reader.skipSpace();
      if (reader.atEnd()) break;
      if (reader.next() == ',') {
        reader.take();
      } else if (reader.next() != ']') {
        throw Malformed{reader.at(), "',' or ']' must follow an event"};
      }
    }
  } catch (const Malformed& malformed) {
    problem = named + " is no call trace: " + malformed.what + " (byte " +
              std::to_string(malformed.at) + ")";
    return std::nullopt;
  }
  summariser.finish();
  return summary;
}

std::optional<TraceSummary> summariseTraceFile(const std::string& path, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (in) {
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
      text.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (!in.eof()) {
    const int error = errno;
    problem = "cannot read " + catalog::quoted(path) + ": " +
              std::error_code(error, std::generic_category()).message();
    return std::nullopt;
  }
  return summariseTrace(text, path, problem);
}

void printTrace(const TraceSummary& summary, std::ostream& out) {
  out << "trace " << catalog::quoted(summary.file) << ": " << summary.calls << " calls, "
      << summary.neverReturned.size() << " never returned\n";
  if (summary.cutEvent) out << "note: the last event was written only in part and is left out\n";
  if (!summary.closed)
    out << "note: the file ends without its closing ']': the process stopped without ending "
           "the trace, or is still tracing\n";
  if (summary.unmatchedReturns != 0)
    out << "note: " << summary.unmatchedReturns
        << " returns follow no call on their thread: the file began with those calls under "
           "way\n";
  if (summary.otherEvents != 0)
    out << "note: " << summary.otherEvents << " events that are no call or return passed over\n";
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
  out << "\ncalls per entry and thread, times in microseconds:\n  " << std::left;
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
    out << std::setw(14) << microseconds(times.total) << std::setw(14)
        << microseconds(times.total / static_cast<double>(times.returned())) << std::setw(14)
        << microseconds(times.longest) << '\n';
  }

  const auto describe = [&out](const TracedCall& call) {
    out << "  " << microseconds(call.begun) << "  " << threadName(call.thread) << "  "
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
          << microseconds(call.duration) << '\n';
    } else {
      out << ": never returned\n";
    }
  }
}

}  // namespace zep::host
