// The builders, called through the module's exports.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "blocks.hpp"

namespace {

using blocks::Arguments;
using blocks::Builder;
using blocks::builders;
using blocks::Source;
using zep::Value;
using Tag = Value::Tag;

// Every argument differs from every other, so a pair fed by the wrong
// parameter shows; texts start with zeros that must stay.
Value distinct(Tag tag, int parameter) {
  return blocks::byTag(tag, "00" + std::to_string(parameter), -1000 - parameter, parameter + 0.1,
                       true);
}

Value zero(Tag tag, int) { return blocks::byTag(tag, "", 0, 0.0, false); }

// Texts longer than any short-string buffer, with every byte value, NUL and
// those above 127 included; doubles whose bits a conversion would change.
Value unusual(Tag tag, int parameter) {
  static const std::uint64_t doubles[] = {
      0x8000000000000000ULL,  // -0.0
      0x7ff80000c0ffee01ULL,  // a quiet NaN with a payload
      0xfff0000000000001ULL,  // a signalling NaN, sign set
      0x0000000000000001ULL,  // the smallest subnormal
      0x000fffffffffffffULL,  // the largest subnormal
      0x3fb999999999999aULL,  // 0.1
      0xffefffffffffffffULL,  // the most negative finite
  };
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(i + parameter));
  return blocks::byTag(tag, bytes, std::numeric_limits<std::int32_t>::min() + parameter,
                       std::bit_cast<double>(doubles[parameter % std::size(doubles)]), true);
}

// Compares pair by pair, so that a failure names the pair.
void expectBlock(const Builder& builder, const Value& block, const Arguments& arguments) {
  const Value expected = blocks::expectedBlock(builder, arguments);
  ASSERT_EQ(block.tag(), Tag::Array);
  ASSERT_EQ(block.asArray().size(), builder.rows.size());
  for (std::size_t pair = 0; pair < builder.rows.size(); ++pair) {
    SCOPED_TRACE(testing::Message() << "pair " << pair << ", " << builder.rows[pair].key);
    const Value& actual = block.asArray()[pair];
    ASSERT_EQ(actual.tag(), Tag::Array);
    ASSERT_EQ(actual.asArray().size(), 2u);
    EXPECT_EQ(actual.asArray()[0], expected.asArray()[pair].asArray()[0]);
    EXPECT_EQ(actual.asArray()[1].tag(), builder.rows[pair].tag);
    EXPECT_TRUE(actual.asArray()[1] == expected.asArray()[pair].asArray()[1]);
  }
}

void expectEveryBuilder(const Source& source) {
  for (const Builder& builder : builders()) {
    SCOPED_TRACE(builder.name);
    const Arguments arguments = blocks::argumentsFor(builder, source);
    const Arguments before = arguments;
    expectBlock(builder, builder.call(arguments), arguments);
    EXPECT_EQ(arguments, before) << "the builder changed its arguments";
  }
}

TEST(BuilderBlock, EachPairHoldsItsKeyAndItsParameterInPairOrder) { expectEveryBuilder(distinct); }

TEST(BuilderBlock, EmptyZeroAndFalseArgumentsStillGiveTheFullBlock) { expectEveryBuilder(zero); }

TEST(BuilderBlock, TextsPassByteForByteAndDoublesBitForBit) {
  // Shifted so that every double parameter meets every one of the doubles.
  for (int shift = 0; shift < 7; ++shift) {
    SCOPED_TRACE(testing::Message() << "shift " << shift);
    expectEveryBuilder([shift](Tag tag, int parameter) { return unusual(tag, parameter + shift); });
  }
}

Value valueOf(const Value& block, const char* key) {
  const Value* value = block.find(key);
  return value != nullptr ? *value : Value("<no such key>");
}

TEST(BuilderKeys, LookAlikeKeysAreTheDocumentedOnes) {
  const std::string serial = "0001234567";
  const Value atu =
      Params_Atu_TotGeral_Zep00000("", "", serial, "", "", false, "", "", "", "", 0.0, 0.0);
  const Value carrega = Params_Carrega_Dados_Impressora_Zep00000("", "", "", serial, "", "", "");
  const Value verifica = Params_VerificaSerialImp_Zep00000(false, "", "", serial);
  EXPECT_EQ(valueOf(atu, "NRSERIEIMP"), Value(serial));
  EXPECT_EQ(valueOf(carrega, "NRSERIEIMP"), Value(serial));
  EXPECT_EQ(valueOf(verifica, "REV_NRSERIE_IMP"), Value(serial));
  EXPECT_EQ(verifica.find("NRSERIEIMP"), nullptr);
  EXPECT_EQ(carrega.find("ESQUEMACOR"), nullptr);
  EXPECT_EQ(atu.find("VRBRUTATAB"), nullptr);

  const Value abre =
      Params_AbreCupom_Zep00000("", 7, "", "", "", "", "", "", "", "", "", "", "", "", false);
  const Value venda = Params_VendaItem_Zep00000("", "", "", "", "", "", "", "", "", "", "", 9, 0.0,
                                                0.0, 0.0, 0.0, false);
  EXPECT_EQ(valueOf(abre, "INTTEFERRO"), Value(7));
  EXPECT_EQ(abre.find("INTEFERRO"), nullptr);
  EXPECT_EQ(valueOf(venda, "INTEFERRO"), Value(9));
  EXPECT_EQ(venda.find("INTTEFERRO"), nullptr);
}

TEST(BuilderReferences, AreReadAndLeftAsTheyWere) {
  std::int32_t interror = 42;
  std::string cpf = "S", name = "N", address = "E", coupon = "000123", count = "7";
  const Value block = Params_AbreCupom_Zep00000("cor", interror, cpf, name, address, coupon, count,
                                                "", "", "", "", "", "", "", true);
  EXPECT_EQ(interror, 42);
  EXPECT_EQ(cpf + name + address + coupon + count, "SNE0001237");

  const Value built = block;
  interror = -1;
  cpf = name = address = coupon = count = "changed";
  EXPECT_EQ(block, built);
  EXPECT_EQ(valueOf(block, "INTTEFERRO"), Value(42));
  EXPECT_EQ(valueOf(block, "CUPNR"), Value("000123"));
}

TEST(BuilderOwnership, BlocksAreIndependentOfEachOtherAndOfTheCaller) {
  std::string serial = "ABC";
  Value first = Params_VerificaSerialImp_Zep00000(true, "dir", "cor", serial);
  const Value second = Params_VerificaSerialImp_Zep00000(true, "dir", "cor", serial);
  serial = "changed";
  first.asArray()[3].asArray()[1] = Value("edited");
  first.asArray().pop_back();
  EXPECT_EQ(serial, "changed");
  EXPECT_EQ(second.asArray().size(), 4u);
  EXPECT_EQ(valueOf(second, "REV_NRSERIE_IMP"), Value("ABC"));
}

TEST(BuilderThreads, ConcurrentCallsEachBuildTheirOwnBlock) {
  constexpr int threads = 4;
  constexpr int rounds = 300;
  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> workers;
  for (int worker = 0; worker < threads; ++worker) {
    workers.emplace_back([worker, &mismatches] {
      // Each thread's texts and numbers are its own, and long enough to allocate.
      const Source own = [worker](Tag tag, int parameter) {
        const Value value = distinct(tag, parameter);
        if (tag == Tag::String) return Value(value.asString() + std::string(40, 'a' + worker));
        if (tag == Tag::Integer) return Value(value.asInteger() * (worker + 1));
        return value;
      };
      for (int round = 0; round < rounds; ++round) {
        for (const Builder& builder : builders()) {
          const Arguments arguments = blocks::argumentsFor(builder, own);
          if (builder.call(arguments) != blocks::expectedBlock(builder, arguments)) {
            ++mismatches[worker];
          }
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(mismatches, std::vector<int>(threads, 0));
}

}  // namespace
