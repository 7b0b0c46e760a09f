// The six builders on any arguments: every text comes back byte for byte
// (NUL and 8-bit bytes included) and every number bit for bit (NaN payloads,
// -0.0 and denormals included), under its own key and tag, at its own pair.
// The builders and their parameters are expanded from the builder list.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zep00001/zep00001.hpp"

namespace {

using zep::Value;

[[noreturn]] void fail(const char* builder, int pair, const char* what) {
  std::fprintf(stderr, "%s, pair %d: %s\n", builder, pair, what);
  std::abort();
}

std::string readText(FuzzedDataProvider& input) { return input.ConsumeRandomLengthString(256); }
std::int32_t readInteger(FuzzedDataProvider& input) {
  return input.ConsumeIntegral<std::int32_t>();
}
double readDouble(FuzzedDataProvider& input) {
  return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
}
bool readBoolean(FuzzedDataProvider& input) { return input.ConsumeBool(); }

bool same(const Value& value, const std::string& text) {
  return value.tag() == Value::Tag::String && value.asString() == text;
}
bool same(const Value& value, std::int32_t number) {
  return value.tag() == Value::Tag::Integer && value.asInteger() == number;
}
bool same(const Value& value, double number) {
  return value.tag() == Value::Tag::Double &&
         std::bit_cast<std::uint64_t>(value.asDouble()) == std::bit_cast<std::uint64_t>(number);
}
bool same(const Value& value, bool flag) {
  return value.tag() == Value::Tag::Boolean && value.asBoolean() == flag;
}

template <class Argument>
void expectPair(const char* builder, const Value& block, int pair, const char* key,
                const Argument& argument) {
  const Value::Array& pairValue = block.asArray().at(pair).asArray();
  if (pairValue.size() != 2) fail(builder, pair, "not a two-element pair");
  if (!same(pairValue[0], std::string(key))) fail(builder, pair, "wrong key");
  if (!same(pairValue[1], argument)) fail(builder, pair, "value differs from its argument");
}

// Per parameter: read it from the input, pass it, and find it in its pair.
#define ZEP_FUZZ_READ(kind, passing, name, pair) const auto name = read##kind(input);
#define ZEP_FUZZ_ARGUMENT(kind, passing, name, pair) , name
#define ZEP_FUZZ_CHECK(kind, passing, name, pair) expectPair(builder, block, pair, #name, name);

using Trial = void (*)(FuzzedDataProvider& input);

// One trial per builder, from the builder list.
const Trial trials[] = {
#define ZEP_BUILDER(function, pairs, parameters)                                     \
  [](FuzzedDataProvider& input) {                                                    \
    const char* builder = #function;                                                 \
    parameters(ZEP_FUZZ_READ) const Value block =                                    \
        function(ZEP_DROP_FIRST(parameters(ZEP_FUZZ_ARGUMENT)));                     \
    if (block.asArray().size() != pairs) fail(builder, -1, "wrong number of pairs"); \
    parameters(ZEP_FUZZ_CHECK)                                                       \
  },
#include "zep00001/entries/builders.def"
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t trial = input.ConsumeIntegralInRange<std::size_t>(0, std::size(trials) - 1);
  trials[trial](input);
  return 0;
}
