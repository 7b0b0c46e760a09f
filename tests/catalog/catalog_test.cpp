// The catalogue's lookups and the helpers every program that names sets
// shares: reading and showing a model, quoting, the cause chain.
#include "catalog/catalog.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "names.hpp"

namespace {

using namespace zep::catalog;

TEST(Catalogue, FindsASetByItsNameInAnyLetterCaseOnly) {
  ASSERT_NE(findSet("sAT"), nullptr);
  EXPECT_EQ(findSet("sAT")->name, "Sat");
  EXPECT_EQ(findSet("Sat "), nullptr);
  EXPECT_EQ(findSet(""), nullptr);
}

// The table cuts one list of every slot into the sets: taken in turn, they
// give it back whole and in order, each set's run beginning with its own,
// and each slot knows its place in that list.
TEST(Catalogue, TheSetsSlotsInTurnAreTheSlotListInOrder) {
  std::vector<std::string> inTurn;
  for (const SlotSet& set : sets()) {
    for (const Slot& slot : set.slots) {
      EXPECT_EQ(slot.index, inTurn.size()) << slot.name;
      inTurn.emplace_back(slot.name);
    }
  }
  EXPECT_EQ(inTurn, slotNames());
  EXPECT_EQ(findSet("ImpCheque")->slots.front().entry, "ImpChqChar");
  EXPECT_EQ(findSet("Leitor")->slots.size(), 2u);
}

TEST(Catalogue, ReadsAModelAsItsKindTakesIt) {
  EXPECT_EQ(readModel(Argument::ModelCode, "-2147483648")->code, INT32_MIN);
  EXPECT_EQ(readModel(Argument::UseFlag, "0")->code, 0);
  for (const char* wrong : {"", " 1", "1x", "2147483648", "0x1"}) {
    EXPECT_FALSE(readModel(Argument::ModelCode, wrong)) << wrong;
  }
  EXPECT_EQ(readModel(Argument::ModelText, "01")->text, "01");
  EXPECT_TRUE(readModel(Argument::None, ""));
  EXPECT_FALSE(readModel(Argument::None, "1"));
}

TEST(Catalogue, ShowsModelsAndNamesAsMessagesQuoteThem) {
  EXPECT_EQ(showModel(Argument::ModelCode, {21, ""}), "21");
  EXPECT_EQ(showModel(Argument::ModelText, {0, "01"}), "\"01\"");
  EXPECT_EQ(showModel(Argument::None, {1, "1"}), "");
  EXPECT_EQ(quoted("a\"b\\c\nd\xe9"), "\"a\\\"b\\\\c\\x0ad\xe9\"");
}

TEST(Catalogue, CauseChainGivesEveryNestedMessageOutermostFirst) {
  try {
    try {
      throw std::runtime_error("inner");
    } catch (...) {
      std::throw_with_nested(std::runtime_error("outer"));
    }
  } catch (const std::exception& failure) {
    EXPECT_EQ(causeChain(failure), (std::vector<std::string>{"outer", "inner"}));
  }
}

}  // namespace
