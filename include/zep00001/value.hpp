// The tagged value of the parameter blocks.
//
// A value holds exactly one of a text, a 32-bit integer, a double, a boolean
// or a zero-based array of values, and says which by its tag. A parameter
// block is an Array of pairs, each pair an Array of two values: the key, a
// String, and the value. Header-only: a host and the module each compile it,
// and a block crosses the boundary as any std::vector does.
#pragma once

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zep {

// An accessor asked a value for a tag it does not hold. what() is
// "expected <tag>, but the value is <tag>".
class TypeError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

class Value {
 public:
  enum class Tag { String, Integer, Double, Boolean, Array };
  using Array = std::vector<Value>;

  // Each tag has one constructor from its own type. Any other argument type
  // (long, unsigned, float, char, std::string_view...) meets the deleted
  // template instead of converting quietly to some tag: the caller says
  // which tag is meant by converting first.
  Value(std::string text) : text_(std::move(text)), tag_(Tag::String) {}
  Value(const char* text) : text_(text), tag_(Tag::String) {}
  Value(std::int32_t number) : integer_(number), tag_(Tag::Integer) {}
  Value(double number) : double_(number), tag_(Tag::Double) {}
  Value(bool flag) : boolean_(flag), tag_(Tag::Boolean) {}
  Value(Array items) : array_(std::move(items)), tag_(Tag::Array) {}
  Value(std::nullptr_t) = delete;
  template <class Other>
  Value(Other) = delete;

  Value(const Value& other) : tag_(other.tag_) { constructFrom(other); }
  Value(Value&& other) noexcept : tag_(other.tag_) { constructFrom(std::move(other)); }
  // Through a temporary, so that assigning a value from inside itself (an
  // element of its own array) is safe, and a failed copy leaves it as it was.
  Value& operator=(const Value& other) { return *this = Value(other); }
  Value& operator=(Value&& other) noexcept {
    Value moved(std::move(other));
    destroy();
    tag_ = moved.tag_;
    constructFrom(std::move(moved));
    return *this;
  }
  ~Value() { destroy(); }

  Tag tag() const noexcept { return tag_; }

  // Each throws TypeError when the value holds another tag.
  const std::string& asString() const {
    expect(Tag::String);
    return text_;
  }
  std::int32_t asInteger() const {
    expect(Tag::Integer);
    return integer_;
  }
  double asDouble() const {
    expect(Tag::Double);
    return double_;
  }
  bool asBoolean() const {
    expect(Tag::Boolean);
    return boolean_;
  }
  const Array& asArray() const {
    expect(Tag::Array);
    return array_;
  }
  Array& asArray() { return const_cast<Array&>(std::as_const(*this).asArray()); }

  // The value of the first pair of this block whose key is `key`, or null
  // when it has none. Throws TypeError when this value is no Array; elements
  // that are not [String, value] pairs have no key and are passed over.
  const Value* find(std::string_view key) const {
    for (const Value& element : asArray()) {
      if (element.tag_ != Tag::Array || element.array_.size() != 2) continue;
      const Value& name = element.array_.front();
      if (name.tag_ == Tag::String && name.text_ == key) return &element.array_.back();
    }
    return nullptr;
  }

  // Doubles compare by their bits, so that every copy equals its original,
  // a NaN included, and -0.0 differs from 0.0.
  friend bool operator==(const Value& left, const Value& right) {
    if (left.tag_ != right.tag_) return false;
    switch (left.tag_) {
      case Tag::String:
        return left.text_ == right.text_;
      case Tag::Integer:
        return left.integer_ == right.integer_;
      case Tag::Double:
        return std::bit_cast<std::uint64_t>(left.double_) ==
               std::bit_cast<std::uint64_t>(right.double_);
      case Tag::Boolean:
        return left.boolean_ == right.boolean_;
      case Tag::Array:
        break;
    }
    return left.array_ == right.array_;
  }

  // Texts in double quotes, with quote, backslash and control bytes escaped
  // (bytes above 127 pass as they are), doubles in their shortest exact form
  // and always with a point or exponent, arrays as [a, b]: a block prints as
  // [["KEY", "text"], ["COUNT", 3], ["PRICE", 2.0], ["FLAG", true]].
  friend std::ostream& operator<<(std::ostream& out, const Value& value) {
    switch (value.tag()) {
      case Tag::String:
        return printText(out, value.asString());
      case Tag::Integer:
        return out << value.asInteger();
      case Tag::Double:
        return printDouble(out, value.asDouble());
      case Tag::Boolean:
        return out << (value.asBoolean() ? "true" : "false");
      case Tag::Array:
        break;
    }
    out << '[';
    const char* separator = "";
    for (const Value& element : value.asArray()) {
      out << separator << element;
      separator = ", ";
    }
    return out << ']';
  }

  // The tag's name, as type errors and operator<< write it.
  static std::string_view tagName(Tag tag) noexcept {
    switch (tag) {
      case Tag::String:
        return "String";
      case Tag::Integer:
        return "Integer";
      case Tag::Double:
        return "Double";
      case Tag::Boolean:
        return "Boolean";
      case Tag::Array:
        return "Array";
    }
    return "unknown";
  }

  friend std::ostream& operator<<(std::ostream& out, Tag tag) { return out << tagName(tag); }

 private:
  void expect(Tag expected) const {
    if (tag_ == expected) return;
    std::string message = "expected ";
    message.append(tagName(expected)).append(", but the value is ").append(tagName(tag_));
    throw TypeError(message);
  }

  // Makes this value's member of tag_ from other's; `Other` is Value& or
  // const Value&, and the member is moved or copied accordingly.
  template <class Other>
  void constructFrom(Other&& other) {
    switch (tag_) {
      case Tag::String:
        ::new (static_cast<void*>(&text_)) std::string(std::forward<Other>(other).text_);
        return;
      case Tag::Integer:
        integer_ = other.integer_;
        return;
      case Tag::Double:
        double_ = other.double_;
        return;
      case Tag::Boolean:
        boolean_ = other.boolean_;
        return;
      case Tag::Array:
        ::new (static_cast<void*>(&array_)) Array(std::forward<Other>(other).array_);
        return;
    }
  }

  void destroy() noexcept {
    if (tag_ == Tag::String) {
      text_.~basic_string();
    } else if (tag_ == Tag::Array) {
      array_.~Array();
    }
  }

  static std::ostream& printText(std::ostream& out, const std::string& text) {
    static constexpr char digits[] = "0123456789abcdef";
    out << '"';
    for (char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"' || c == '\\') {
        out << '\\' << c;
      } else if (byte < 0x20 || byte == 0x7f) {
        out << "\\x" << digits[byte >> 4] << digits[byte & 0xf];
      } else {
        out << c;
      }
    }
    return out << '"';
  }

  static std::ostream& printDouble(std::ostream& out, double number) {
    char buffer[32];
    const char* end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    const std::string_view digits(buffer, static_cast<std::size_t>(end - buffer));
    out << digits;
    // Without this 2.0 would print as 2 and read as an Integer.
    if (digits.find_first_not_of("-0123456789") == std::string_view::npos) out << ".0";
    return out;
  }

  // A hand-made tagged union rather than std::variant: GCC 12 warns falsely
  // of uninitialised members when a std::vector moves variants, which would
  // break every host that builds with -Werror.
  union {
    std::string text_;
    std::int32_t integer_;
    double double_;
    bool boolean_;
    Array array_;
  };
  Tag tag_;
};

}  // namespace zep
