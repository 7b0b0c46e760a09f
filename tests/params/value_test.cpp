#include "zep00001/value.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

using zep::Value;
using Tag = Value::Tag;

// Only the five exact types make a value; everything else must be converted
// by the caller first, so that no argument picks a tag the caller did not mean.
template <class... Types>
constexpr bool eachMakesAValue = (std::is_convertible_v<Types, Value> && ...);
template <class... Types>
constexpr bool noneMakesAValue = (!std::is_constructible_v<Value, Types> && ...);
static_assert(eachMakesAValue<std::string, const char*, std::int32_t, double, bool, Value::Array>);
static_assert(noneMakesAValue<std::nullptr_t, long, long long, unsigned, std::int64_t, std::size_t,
                              short, char, float, long double, std::string_view, std::vector<int>>);
static_assert(std::is_nothrow_move_constructible_v<Value>);

double fromBits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

TEST(ValueTag, EachConstructorGivesItsOwnTag) {
  EXPECT_EQ(Value("x").tag(), Tag::String);
  EXPECT_EQ(Value("").tag(), Tag::String);
  EXPECT_EQ(Value(std::string("x")).tag(), Tag::String);
  EXPECT_EQ(Value(0).tag(), Tag::Integer);
  EXPECT_EQ(Value(0.0).tag(), Tag::Double);
  EXPECT_EQ(Value(false).tag(), Tag::Boolean);
  EXPECT_EQ(Value(Value::Array{}).tag(), Tag::Array);
  EXPECT_EQ(Value("x").asString(), "x");
}

TEST(ValueTypeError, NamesExpectedAndActualTag) {
  const std::vector<Value> values{Value("x"), Value(1), Value(1.5), Value(true),
                                  Value(Value::Array{})};
  const char* names[] = {"String", "Integer", "Double", "Boolean", "Array"};
  const std::vector<std::function<void(const Value&)>> accessors{
      [](const Value& v) { v.asString(); }, [](const Value& v) { v.asInteger(); },
      [](const Value& v) { v.asDouble(); }, [](const Value& v) { v.asBoolean(); },
      [](const Value& v) { v.asArray(); }};
  for (std::size_t held = 0; held < values.size(); ++held) {
    for (std::size_t asked = 0; asked < accessors.size(); ++asked) {
      if (held == asked) {
        EXPECT_NO_THROW(accessors[asked](values[held]));
        continue;
      }
      try {
        accessors[asked](values[held]);
        ADD_FAILURE() << "no error asking a " << names[held] << " for a " << names[asked];
      } catch (const zep::TypeError& error) {
        EXPECT_EQ(std::string(error.what()),
                  std::string("expected ") + names[asked] + ", but the value is " + names[held]);
      }
    }
  }
  Value text("x");
  EXPECT_THROW(text.asArray(), std::exception);
}

TEST(ValueEquality, ComparesDoublesByTheirBits) {
  const double nan = fromBits(0x7ff800000000beefULL);
  EXPECT_EQ(Value(nan), Value(nan));
  EXPECT_NE(Value(nan), Value(fromBits(0x7ff800000000beeeULL)));
  EXPECT_NE(Value(-0.0), Value(0.0));
  EXPECT_EQ(Value(0.1), Value(0.1));
  EXPECT_EQ(Value(Value::Array{nan}), Value(Value::Array{nan}));
  EXPECT_NE(Value(Value::Array{-0.0}), Value(Value::Array{0.0}));
}

TEST(ValueEquality, TagsNeverCompareEqualAcross) {
  EXPECT_NE(Value(1), Value(1.0));
  EXPECT_NE(Value(1), Value(true));
  EXPECT_NE(Value("1"), Value(1));
  EXPECT_NE(Value(""), Value(false));
  EXPECT_NE(Value(Value::Array{}), Value(""));
  EXPECT_NE(Value(Value::Array{1}), Value(Value::Array{1, 1}));
  EXPECT_EQ(Value(Value::Array{"a", Value::Array{2}}), Value(Value::Array{"a", Value::Array{2}}));
  EXPECT_NE(Value(Value::Array{"a", Value::Array{2}}), Value(Value::Array{"a", Value::Array{3}}));
}

// A block of one pair names the pair a Value: clang reads Array{Array{...}}
// as a copy of the inner array.
TEST(ValueCopy, IsIndependentOfItsOriginal) {
  Value original(Value::Array{Value(Value::Array{"KEY", "text"})});
  Value copy = original;
  copy.asArray()[0].asArray()[1] = Value("changed");
  copy.asArray().push_back(Value(1));
  EXPECT_EQ(original, Value(Value::Array{Value(Value::Array{"KEY", "text"})}));
  EXPECT_EQ(copy.asArray().size(), 2u);
}

TEST(ValueCopy, AssignsFromAnElementOfItself) {
  Value block(Value::Array{Value(Value::Array{"KEY", std::string(40, 'k')})});
  block = block.asArray()[0];
  EXPECT_EQ(block, Value(Value::Array{"KEY", std::string(40, 'k')}));
  block = std::move(block.asArray()[1]);
  EXPECT_EQ(block, Value(std::string(40, 'k')));
  const Value& same = block;
  block = same;
  EXPECT_EQ(block, Value(std::string(40, 'k')));
}

TEST(ValuePrint, WritesNestedListsWithQuotedTexts) {
  const Value block(Value::Array{Value::Array{"TEXT", std::string("a\"b\\c\n\0\xC3\xA9", 9)},
                                 Value::Array{"INT", -3}, Value::Array{"WHOLE", 2.0},
                                 Value::Array{"TENTH", 0.1}, Value::Array{"BIG", 1e300},
                                 Value::Array{"FLAG", false}, Value::Array{}});
  std::ostringstream out;
  out << block;
  EXPECT_EQ(out.str(),
            "[[\"TEXT\", \"a\\\"b\\\\c\\x0a\\x00\xC3\xA9\"], [\"INT\", -3], [\"WHOLE\", 2.0], "
            "[\"TENTH\", 0.1], [\"BIG\", 1e+300], [\"FLAG\", false], []]");
  std::ostringstream tag;
  tag << Tag::Boolean;
  EXPECT_EQ(tag.str(), "Boolean");
}

TEST(ValueFind, GivesTheValueOfTheFirstPairWithTheKey) {
  const Value block(Value::Array{Value("loose"), Value::Array{1, 2}, Value::Array{"A", 1},
                                 Value::Array{"B", "b"}, Value::Array{"A", 2}});
  ASSERT_NE(block.find("A"), nullptr);
  EXPECT_EQ(*block.find("A"), Value(1));
  EXPECT_EQ(*block.find("B"), Value("b"));
  EXPECT_EQ(block.find("a"), nullptr);
  EXPECT_EQ(block.find(""), nullptr);
  EXPECT_EQ(Value(Value::Array{}).find("A"), nullptr);
  try {
    Value(3).find("A");
    ADD_FAILURE() << "an Integer has no pairs";
  } catch (const zep::TypeError& error) {
    EXPECT_STREQ(error.what(), "expected Array, but the value is Integer");
  }
}

}  // namespace
