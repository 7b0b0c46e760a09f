// The C builders and the block readers. Each builder is called through its
// C export with arguments that differ from parameter to parameter, so a pair
// fed by the wrong parameter, or a parameter passed in the wrong place,
// shows.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "c_api.hpp"

namespace {

using c_api::lastError;

// The arguments of one call, made from the pair each parameter feeds.
struct Arguments {
  int round = 0;
  std::deque<std::string> texts;  // alive as long as the call

  static std::string text(int round, std::size_t pair) {
    // Leading zeros and bytes above 127 must come back as they went.
    return "0" + std::to_string(round) + " pair " + std::to_string(pair) + " \xe7\xe3o";
  }
  const char* textFor(std::size_t pair) { return texts.emplace_back(text(round, pair)).c_str(); }
  static std::int32_t integer(int round, std::size_t pair) {
    return -100000 * round - static_cast<std::int32_t>(pair);
  }
  static double real(int round, std::size_t pair) { return round + 0.1 * pair - 7.0; }
  static int boolean(int round, std::size_t pair) { return static_cast<int>((round + pair) % 2); }
};

enum class Kind { Text, Integer, Double, Boolean };

struct Parameter {
  const char* name;
  Kind kind;
  std::size_t pair;
};

struct CBuilder {
  const char* name;
  std::size_t pairs;
  std::vector<Parameter> parameters;
  std::function<zep_block*(Arguments&)> build;
};

#define ZEP_TEST_Text(pair) arguments.textFor(pair)
#define ZEP_TEST_Integer(pair) Arguments::integer(arguments.round, pair)
#define ZEP_TEST_Double(pair) Arguments::real(arguments.round, pair)
#define ZEP_TEST_Boolean(pair) Arguments::boolean(arguments.round, pair)
#define ZEP_TEST_ARGUMENT(kind, passing, name, pair) , ZEP_TEST_##kind(pair)
#define ZEP_TEST_PARAMETER(kind, passing, name, pair) {#name, Kind::kind, pair},

const std::vector<CBuilder>& builders() {
  static const std::vector<CBuilder> all{
#define ZEP_BUILDER(builder, pairs, parameters)                                         \
  {"zep_" #builder, pairs, {parameters(ZEP_TEST_PARAMETER)}, [](Arguments& arguments) { \
     return zep_##builder(ZEP_DROP_FIRST(parameters(ZEP_TEST_ARGUMENT)));               \
   }},
#include "zep00001/entries/builders.def"
  };
  return all;
}

int tagOf(Kind kind) {
  switch (kind) {
    case Kind::Text:
      return ZEP_TAG_STRING;
    case Kind::Integer:
      return ZEP_TAG_INTEGER;
    case Kind::Double:
      return ZEP_TAG_DOUBLE;
    case Kind::Boolean:
      break;
  }
  return ZEP_TAG_BOOLEAN;
}

void expectPair(const zep_block* block, const Parameter& parameter, int round) {
  SCOPED_TRACE(parameter.name);
  const std::size_t pair = parameter.pair;
  EXPECT_STREQ(zep_block_key(block, pair), parameter.name);
  ASSERT_EQ(zep_block_tag(block, pair), tagOf(parameter.kind));
  switch (parameter.kind) {
    case Kind::Text: {
      std::size_t length = 0;
      const char* text = zep_block_string(block, pair, &length);
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(std::string(text, length), Arguments::text(round, pair));
      break;
    }
    case Kind::Integer:
      EXPECT_EQ(zep_block_integer(block, pair), Arguments::integer(round, pair));
      break;
    case Kind::Double:
      EXPECT_EQ(std::bit_cast<std::uint64_t>(zep_block_double(block, pair)),
                std::bit_cast<std::uint64_t>(Arguments::real(round, pair)));
      break;
    case Kind::Boolean:
      EXPECT_EQ(zep_block_boolean(block, pair), Arguments::boolean(round, pair));
      break;
  }
  EXPECT_EQ(lastError(), "");
}

TEST(CBuilders, EachPairHoldsItsKeyTagAndParameter) {
  // Two rounds, so that every boolean is seen true and false.
  for (int round = 0; round < 2; ++round) {
    for (const CBuilder& builder : builders()) {
      SCOPED_TRACE(builder.name);
      Arguments arguments{round, {}};
      zep_block* block = builder.build(arguments);
      ASSERT_NE(block, nullptr) << lastError();
      EXPECT_EQ(zep_block_size(block), builder.pairs);
      for (const Parameter& parameter : builder.parameters) expectPair(block, parameter, round);
      zep_block_free(block);
    }
  }
}

TEST(CBuilders, ANullTextIsRefusedByName) {
  EXPECT_EQ(zep_Params_VerificaSerialImp_Zep00000(1, "dir", nullptr, "serial"), nullptr);
  EXPECT_EQ(lastError(), "ESQUEMACOR for zep_Params_VerificaSerialImp_Zep00000 is a null pointer");
  // Any non-zero int is true.
  zep_block* block = zep_Params_VerificaSerialImp_Zep00000(-5, "", "", "");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(zep_block_boolean(block, 0), 1);
  zep_block_free(block);
}

TEST(CBlockReaders, RefuseWhatTheBlockDoesNotHold) {
  zep_block* block = zep_Params_VerificaSerialImp_Zep00000(0, "C:\\CAD", "PADRAO", "0042");
  ASSERT_NE(block, nullptr);
  std::size_t length = 99;

  EXPECT_EQ(zep_block_key(block, 4), nullptr);
  EXPECT_EQ(lastError(), "pair 4 is out of range: the block has 4 pairs");
  EXPECT_EQ(zep_block_tag(block, 4), -1);
  EXPECT_EQ(lastError(), "pair 4 is out of range: the block has 4 pairs");
  EXPECT_EQ(zep_block_string(block, static_cast<std::size_t>(-1), &length), nullptr);
  EXPECT_EQ(length, 99u);

  EXPECT_EQ(zep_block_integer(block, 1), 0);
  EXPECT_EQ(lastError(), "pair 1, \"DSDIRCAD\": expected Integer, but the value is String");
  EXPECT_EQ(zep_block_string(block, 0, &length), nullptr);
  EXPECT_EQ(lastError(), "pair 0, \"UTILIZAIMPFIS\": expected String, but the value is Boolean");
  EXPECT_EQ(zep_block_double(block, 3), 0.0);
  EXPECT_EQ(lastError(), "pair 3, \"REV_NRSERIE_IMP\": expected Double, but the value is String");
  EXPECT_EQ(zep_block_boolean(block, 2), 0);
  EXPECT_EQ(lastError(), "pair 2, \"ESQUEMACOR\": expected Boolean, but the value is String");

  // A read that succeeds says so; the length is optional.
  EXPECT_STREQ(zep_block_string(block, 3, nullptr), "0042");
  EXPECT_EQ(lastError(), "");
  EXPECT_EQ(zep_block_boolean(block, 0), 0);
  EXPECT_EQ(lastError(), "");
  zep_block_free(block);

  EXPECT_EQ(zep_block_size(nullptr), 0u);
  EXPECT_EQ(lastError(), "block is a null pointer");
  EXPECT_EQ(zep_block_key(nullptr, 0), nullptr);
  EXPECT_EQ(zep_block_tag(nullptr, 0), -1);
  EXPECT_EQ(zep_block_integer(nullptr, 0), 0);
  EXPECT_EQ(lastError(), "block is a null pointer");
  zep_block_free(nullptr);
}

}  // namespace
