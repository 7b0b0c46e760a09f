// Driver package selection: which package serves a device model code.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "zep00001/zep00001.hpp"

namespace {

// A run of consecutive codes. Membership is tested as the unsigned
// difference from the first code, so no negative code falls into a run.
struct CodeRun {
  std::int32_t first;
  std::int32_t last;
  bool holds(std::int32_t code) const {
    return static_cast<std::uint32_t>(code) - static_cast<std::uint32_t>(first) <=
           static_cast<std::uint32_t>(last) - static_cast<std::uint32_t>(first);
  }
};

struct FiscalRow {
  const char* package;
  std::initializer_list<CodeRun> codes;
};

// package    codes
const FiscalRow kFiscalPrinters[] = {
    {"ZEP00101", {{1, 2}, {9, 9}, {20, 20}}},
    {"ZEP00200", {{3, 6}, {17, 17}, {25, 25}}},
    {"ZEP00300", {{7, 8}, {24, 24}, {29, 29}}},
    {"ZEP00100", {{14, 14}, {18, 19}, {27, 27}, {32, 32}, {34, 34}}},
    {"ZEP01000", {{16, 16}, {30, 30}}},
    {"ZEP00102", {{21, 21}}},
    {"ZEP01100", {{22, 22}}},
    {"ZEP01600", {{23, 23}}},
    {"ZEP01700", {{26, 26}}},
    {"ZEP01900", {{28, 28}}},
    {"ZEP02000", {{31, 31}, {33, 33}}},
};

struct TextRow {
  const char* package;
  std::initializer_list<std::string_view> codes;
};

// package    codes
const TextRow kReaders[] = {
    {"ZEP00800", {"1", "2", "3"}},
    {"ZEP01800", {"4"}},
};

const TextRow kScales[] = {
    {"X", {"1", "2", "3", "7"}},
    {"ZEP01200", {"4", "9", "10", "11", "12"}},
    {"ZEP01400", {"5"}},
    {"ZEP01300", {"6", "8"}},
};

const TextRow kDisplays[] = {
    {"ZEP00600", {"1", "2", "4", "5"}},
    {"ZEP01500", {"3"}},
    {"ZEP02100", {"6"}},
};

// Whole, exact, case-sensitive comparison: "01" and " 1" are not "1".
template <std::size_t N>
std::string select(const TextRow (&table)[N], const std::string& code) {
  for (const TextRow& row : table) {
    for (std::string_view key : row.codes) {
      if (code == key) return row.package;
    }
  }
  return {};
}

}  // namespace

std::string RetNomeBpl_ImpFiscal(std::int32_t modelCode) {
  for (const FiscalRow& row : kFiscalPrinters) {
    for (const CodeRun& run : row.codes) {
      if (run.holds(modelCode)) return row.package;
    }
  }
  return {};
}

std::string RetNomeBpl_Leitor(const std::string& modelCode) { return select(kReaders, modelCode); }
std::string RetNomeBpl_Balanca(const std::string& modelCode) { return select(kScales, modelCode); }
std::string RetNomeBpl_Display(const std::string& modelCode) {
  return select(kDisplays, modelCode);
}
