// The six C builders, generated from entries/builders.def, each a call of
// the module's own builder; and the readers of the block it returns.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "interface.hpp"
#include "parameters.h"
#include "zep00001/zep00001.hpp"

struct zep_block {
  zep::Value value;
};

namespace zep::c {
namespace {

// A builder's text parameter must point at a text; its numbers and
// booleans may be anything.
void require(const char* text, const char* name, const char* function) {
  if (text == nullptr) {
    throw ArgumentError(std::string(name) + " for " + function + " is a null pointer");
  }
}
template <class Number>
void require(Number, const char*, const char*) {}

// Pair `pair` of the block as [key, value].
const Value::Array& pairAt(const zep_block* block, std::size_t pair) {
  if (block == nullptr) throw ArgumentError("block is a null pointer");
  const Value::Array& pairs = block->value.asArray();
  if (pair >= pairs.size()) {
    throw ArgumentError("pair " + std::to_string(pair) + " is out of range: the block has " +
                        std::to_string(pairs.size()) + " pairs");
  }
  const Value::Array& keyAndValue = pairs[pair].asArray();
  if (keyAndValue.size() != 2) throw std::logic_error("a pair of the block is no [key, value]");
  return keyAndValue;
}

// Reads the value of a pair with `read`, one of Value's accessors; a value
// of another tag is the caller's mistake, told with the pair's key.
template <class Read>
decltype(auto) readValue(const zep_block* block, std::size_t pair, Read read) {
  const Value::Array& keyAndValue = pairAt(block, pair);
  try {
    return read(keyAndValue[1]);
  } catch (const TypeError& failure) {
    throw ArgumentError("pair " + std::to_string(pair) + ", " + quoted(keyAndValue[0].asString()) +
                        ": " + failure.what());
  }
}

int tagCode(Value::Tag tag) {
  switch (tag) {
    case Value::Tag::String:
      return ZEP_TAG_STRING;
    case Value::Tag::Integer:
      return ZEP_TAG_INTEGER;
    case Value::Tag::Double:
      return ZEP_TAG_DOUBLE;
    case Value::Tag::Boolean:
      return ZEP_TAG_BOOLEAN;
    case Value::Tag::Array:
      break;
  }
  throw std::logic_error("a value of the block is an Array");
}

}  // namespace
}  // namespace zep::c

extern "C" {

// The module's builder takes texts as std::string and booleans as bool.
#define ZEP_C_PASS_Text(name) std::string(name)
#define ZEP_C_PASS_Integer(name) name
#define ZEP_C_PASS_Double(name) name
#define ZEP_C_PASS_Boolean(name) (name != 0)
#define ZEP_C_ARGUMENT(kind, passing, name, pair) , ZEP_C_PASS_##kind(name)
#define ZEP_C_REQUIRE(kind, passing, name, pair) zep::c::require(name, #name, function);

// clang-format off
#define ZEP_BUILDER(builder, pairs, parameters)                                     \
  zep_block* ZEP_CALL zep_##builder(ZEP_DROP_FIRST(parameters(ZEP_C_PARAMETER))) {  \
    return zep::c::guarded<zep_block*>(nullptr, [&] {                               \
      [[maybe_unused]] const char* const function = "zep_" #builder;                \
      parameters(ZEP_C_REQUIRE)                                                     \
      return new zep_block{builder(ZEP_DROP_FIRST(parameters(ZEP_C_ARGUMENT)))};    \
    });                                                                             \
  }
// clang-format on
#include "zep00001/entries/builders.def"

size_t ZEP_CALL zep_block_size(const zep_block* block) {
  return zep::c::guarded<size_t>(0, [&] {
    if (block == nullptr) throw zep::c::ArgumentError("block is a null pointer");
    return block->value.asArray().size();
  });
}

const char* ZEP_CALL zep_block_key(const zep_block* block, size_t pair) {
  return zep::c::guarded<const char*>(
      nullptr, [&] { return zep::c::pairAt(block, pair)[0].asString().c_str(); });
}

int ZEP_CALL zep_block_tag(const zep_block* block, size_t pair) {
  return zep::c::guarded(-1, [&] { return zep::c::tagCode(zep::c::pairAt(block, pair)[1].tag()); });
}

const char* ZEP_CALL zep_block_string(const zep_block* block, size_t pair, size_t* length) {
  return zep::c::guarded<const char*>(nullptr, [&] {
    const std::string& text = zep::c::readValue(
        block, pair,
        [](const zep::Value& value) -> const std::string& { return value.asString(); });
    if (length != nullptr) *length = text.size();
    return text.c_str();
  });
}

int32_t ZEP_CALL zep_block_integer(const zep_block* block, size_t pair) {
  return zep::c::guarded<int32_t>(0, [&] {
    return zep::c::readValue(block, pair,
                             [](const zep::Value& value) { return value.asInteger(); });
  });
}

double ZEP_CALL zep_block_double(const zep_block* block, size_t pair) {
  return zep::c::guarded(0.0, [&] {
    return zep::c::readValue(block, pair, [](const zep::Value& value) { return value.asDouble(); });
  });
}

int ZEP_CALL zep_block_boolean(const zep_block* block, size_t pair) {
  return zep::c::guarded(0, [&] {
    return zep::c::readValue(block, pair,
                             [](const zep::Value& value) { return value.asBoolean() ? 1 : 0; });
  });
}

void ZEP_CALL zep_block_free(zep_block* block) { delete block; }

}  // extern "C"
