// The six parameter-block builders, each expanded from its rows in
// entries/builders.def: the row's name is the key, its type gives the tag and
// its Pair column the block position.
#include <array>
#include <cstddef>
#include <string>
#include <tuple>
#include <utility>

#include "trace/trace.hpp"
#include "zep00001/zep00001.hpp"

namespace {

using zep::Value;

// For each block position, the declared position of the parameter feeding
// it; false when the Pair column is no permutation of 0 to N - 1.
template <std::size_t N>
struct PairOrder {
  std::array<std::size_t, N> parameterOf{};
  bool valid = true;

  constexpr explicit PairOrder(const std::array<std::size_t, N>& pairOfParameter) {
    std::array<bool, N> taken{};
    for (std::size_t parameter = 0; parameter < N; ++parameter) {
      const std::size_t pair = pairOfParameter[parameter];
      if (pair >= N || taken[pair]) {
        valid = false;
        return;
      }
      taken[pair] = true;
      parameterOf[pair] = parameter;
    }
  }
};

template <class Argument>
void appendPair(Value::Array& block, const char* key, const Argument& argument) {
  Value::Array pair;
  pair.reserve(2);
  pair.emplace_back(key);
  pair.emplace_back(argument);
  block.emplace_back(std::move(pair));
}

// The block: its pairs made straight in block order, each from the argument
// the Pair column names, so that none is made out of order and moved into
// place afterwards.
template <auto pairOfParameter, class... Arguments>
Value makeBlock(const std::array<const char*, sizeof...(Arguments)>& keys,
                const Arguments&... arguments) {
  static constexpr PairOrder order(pairOfParameter);
  static_assert(order.valid, "a builder's Pair column must number its pairs 0 to N - 1 once each");
  const auto argumentAt = std::forward_as_tuple(arguments...);
  Value::Array block;
  block.reserve(sizeof...(Arguments));
  [&]<std::size_t... Pair>(std::index_sequence<Pair...>) {
    (appendPair(block, keys[order.parameterOf[Pair]],
                std::get<order.parameterOf[Pair]>(argumentAt)),
     ...);
  }
  (std::make_index_sequence<sizeof...(Arguments)>{});
  return Value(std::move(block));
}

}  // namespace

extern "C" {

// The six exported builders, one a row of builders.def.
#define ZEP_PARAMETER_KEY(kind, passing, name, pair) , #name
#define ZEP_PARAMETER_PAIR(kind, passing, name, pair) , pair
#define ZEP_PARAMETER_ARGUMENT(kind, passing, name, pair) , name
// The block is made where the caller takes it (the named result is its
// return object), so the trace notes the address a host then passes on.
#define ZEP_BUILDER(builder, pairs, parameters)                                                    \
  Value builder(ZEP_DROP_FIRST(parameters(ZEP_PARAMETER_DECLARATION))) {                           \
    static constexpr std::array<const char*, pairs> keys{                                          \
        ZEP_DROP_FIRST(parameters(ZEP_PARAMETER_KEY))};                                            \
    Value block =                                                                                  \
        makeBlock<std::array<std::size_t, pairs>{ZEP_DROP_FIRST(parameters(ZEP_PARAMETER_PAIR))}>( \
            keys, ZEP_DROP_FIRST(parameters(ZEP_PARAMETER_ARGUMENT)));                             \
    zep::trace::told(#builder, block);                                                             \
    return block;                                                                                  \
  }
#include "zep00001/entries/builders.def"
#undef ZEP_PARAMETER_KEY
#undef ZEP_PARAMETER_PAIR
#undef ZEP_PARAMETER_ARGUMENT

}  // extern "C"
