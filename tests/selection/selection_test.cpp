// Which package each model code selects.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "zep00001/zep00001.hpp"

namespace {

TEST(FiscalPrinterSelection, EveryCodeOfTheTable) {
  const std::map<int, std::string> table = {
      {1, "ZEP00101"},  {2, "ZEP00101"},  {9, "ZEP00101"},  {20, "ZEP00101"}, {3, "ZEP00200"},
      {4, "ZEP00200"},  {5, "ZEP00200"},  {6, "ZEP00200"},  {17, "ZEP00200"}, {25, "ZEP00200"},
      {7, "ZEP00300"},  {8, "ZEP00300"},  {24, "ZEP00300"}, {29, "ZEP00300"}, {14, "ZEP00100"},
      {18, "ZEP00100"}, {19, "ZEP00100"}, {27, "ZEP00100"}, {32, "ZEP00100"}, {34, "ZEP00100"},
      {16, "ZEP01000"}, {30, "ZEP01000"}, {21, "ZEP00102"}, {22, "ZEP01100"}, {23, "ZEP01600"},
      {26, "ZEP01700"}, {28, "ZEP01900"}, {31, "ZEP02000"}, {33, "ZEP02000"},
  };
  for (int code = -40; code <= 40; ++code) {
    auto found = table.find(code);
    EXPECT_EQ(RetNomeBpl_ImpFiscal(code), found == table.end() ? "" : found->second) << code;
  }
}

TEST(FiscalPrinterSelection, NoNegativeOrFarCodeFallsIntoARange) {
  for (int code : {INT_MIN, INT_MIN + 1, INT_MIN + 3, -1, -2, 35, 1000, INT_MAX, INT_MAX - 1}) {
    EXPECT_EQ(RetNomeBpl_ImpFiscal(code), "") << code;
  }
}

TEST(TextSelection, ReaderScaleAndDisplayTables) {
  const std::map<std::string, std::string> readers = {
      {"1", "ZEP00800"}, {"2", "ZEP00800"}, {"3", "ZEP00800"}, {"4", "ZEP01800"}};
  const std::map<std::string, std::string> scales = {
      {"1", "X"},         {"2", "X"},        {"3", "X"},         {"7", "X"},
      {"4", "ZEP01200"},  {"9", "ZEP01200"}, {"10", "ZEP01200"}, {"11", "ZEP01200"},
      {"12", "ZEP01200"}, {"5", "ZEP01400"}, {"6", "ZEP01300"},  {"8", "ZEP01300"}};
  const std::map<std::string, std::string> displays = {{"1", "ZEP00600"}, {"2", "ZEP00600"},
                                                       {"4", "ZEP00600"}, {"5", "ZEP00600"},
                                                       {"3", "ZEP01500"}, {"6", "ZEP02100"}};
  auto expected = [](const std::map<std::string, std::string>& table, const std::string& code) {
    auto found = table.find(code);
    return found == table.end() ? std::string() : found->second;
  };
  for (int number = 0; number <= 20; ++number) {
    std::string code = std::to_string(number);
    EXPECT_EQ(RetNomeBpl_Leitor(code), expected(readers, code)) << code;
    EXPECT_EQ(RetNomeBpl_Balanca(code), expected(scales, code)) << code;
    EXPECT_EQ(RetNomeBpl_Display(code), expected(displays, code)) << code;
  }
}

TEST(TextSelection, OnlyTheExactWholeTextMatches) {
  for (const std::string& code : std::vector<std::string>{"", "01", " 1", "1 ", "+1", "1.0", "１",
                                                          std::string("1\0", 2), "10a", "a"}) {
    EXPECT_EQ(RetNomeBpl_Leitor(code), "") << code;
    EXPECT_EQ(RetNomeBpl_Balanca(code), "") << code;
    EXPECT_EQ(RetNomeBpl_Display(code), "") << code;
  }
}

}  // namespace
