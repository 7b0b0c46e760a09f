// Placeholder of the tagged value; the parameter-block work replaces it.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace zep {

class Value {
 public:
  enum class Tag { String, Integer, Double, Boolean, Array };
  using Array = std::vector<Value>;
  Value(std::string text) : data_(std::move(text)) {}
  Value(const char* text) : data_(std::string(text)) {}
  Value(std::int32_t number) : data_(number) {}
  Value(double number) : data_(number) {}
  Value(bool flag) : data_(flag) {}
  Value(Array items) : data_(std::move(items)) {}
  Value(std::nullptr_t) = delete;
  Tag tag() const noexcept { return static_cast<Tag>(data_.index()); }

 private:
  std::variant<std::string, std::int32_t, double, bool, Array> data_;
};

}  // namespace zep
