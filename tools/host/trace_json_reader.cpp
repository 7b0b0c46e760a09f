// zep-host trace's reader of Chrome trace-event arrays, the form older
// traces were written in: every whole event, even of a file its process died
// writing.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "catalog/catalog.hpp"
#include "host/trace.hpp"

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

// An event of the array as the reader gives it on.
TraceEvent eventOf(const Json& json, std::size_t number, std::size_t at) {
  const std::string which = "event " + std::to_string(number);
  if (json.kind != Json::Kind::Object) throw Malformed{at, which + " is no object"};
  const Json* phase = json.member("ph");
  if (phase == nullptr || phase->kind != Json::Kind::String)
    throw Malformed{at, which + " has no \"ph\" text"};
  TraceEvent event;
  if (phase->text != "B" && phase->text != "E") {
    event.kind = TraceEvent::Kind::Other;
    return event;
  }
  const auto number_ = [&](const char* name) {
    const Json* value = json.member(name);
    if (value == nullptr || value->kind != Json::Kind::Number)
      throw Malformed{at, which + " has no \"" + name + "\" number"};
    return value->number;
  };
  // Ids are whole numbers, within what a thread id can be.
  const auto id = [&](const char* name) {
    const double value = number_(name);
    if (!(std::abs(value) < 0x1p62) || value != std::trunc(value))
      throw Malformed{at, which + "'s \"" + name + "\" is no thread or process id"};
    return static_cast<std::int64_t>(value);
  };
  event.thread = {id("pid"), id("tid")};
  event.time = number_("ts");
  const Json* args = json.member("args");
  if (args != nullptr && args->kind != Json::Kind::Object)
    throw Malformed{at, which + "'s \"args\" is no object"};
  event.entry = json.textOf("name");
  event.set = json.textOf("cat");
  if (phase->text == "E") {
    event.kind = TraceEvent::Kind::Return;
    if (args != nullptr) {
      event.result = args->textOf("result");
      if (const Json* raised = args->member("exception"); raised != nullptr && raised->number != 0)
        event.kind = TraceEvent::Kind::Unwound;
    }
    return event;
  }
  const Json* name = json.member("name");
  if (name == nullptr || name->kind != Json::Kind::String)
    throw Malformed{at, which + " begins a call of no \"name\""};
  if (args != nullptr) {
    event.package = args->textOf("package");
    if (const Json* words = args->member("words"); words != nullptr)
      for (const Json& word : words->items) event.words.push_back(word.text);
  }
  return event;
}

}  // namespace

bool readTraceJson(std::string_view text, const std::string& file, const TraceSink& sink,
                   TraceRead& read, std::string& problem) {
  const std::string named = catalog::quoted(file);
  // A file the system had grown but not yet written when the process died
  // ends in zero bytes.
  text = text.substr(0, text.find_last_not_of('\0') + 1);
  Reader reader(text);
  reader.skipSpace();
  if (reader.atEnd()) {
    problem = named + " is no call trace: it is empty";
    return false;
  }
  if (reader.next() != '[') {
    problem = named + " is no call trace: it does not begin with '['";
    return false;
  }
  reader.take();
  std::size_t events = 0;
  try {
    for (;;) {
      reader.skipSpace();
      if (reader.atEnd()) break;
      if (reader.next() == ']') {
        reader.take();
        reader.skipSpace();
        if (!reader.atEnd()) throw Malformed{reader.at(), "text follows the closing ']'"};
        read.closed = true;
        break;
      }
      const std::size_t begun = reader.at();
      Json json;
      try {
        json = reader.value();
      } catch (const CutShort&) {
        read.cutEvent = true;
        break;
      }
      sink(eventOf(json, ++events, begun));
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
    return false;
  }
  return true;
}

}  // namespace zep::host
