// The selections on any model code: never a crash, and only a name of
// the set's own table or the empty name. The tables' names are gathered from
// the selections themselves over every code a table can hold, so a selection
// that answers anything else for a stranger input is caught.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "zep00001/zep00001.hpp"

namespace {

[[noreturn]] void fail(const char* set, const std::string& code, const std::string& name) {
  std::fprintf(stderr, "%s: code \"", set);
  for (unsigned char c : code) {
    if (c < 0x20 || c > 0x7e) {
      std::fprintf(stderr, "\\x%02x", c);
    } else {
      std::fputc(c, stderr);
    }
  }
  std::fprintf(stderr, "\" selects \"%s\"\n", name.c_str());
  std::abort();
}

// Table keys are decimal numbers without leading zeros or blanks; the text
// tables stop well below 1000, the fiscal codes below 35.
constexpr int kTextCodes = 1000;
constexpr std::int32_t kLastFiscalCode = 34;

bool plainNumber(const std::string& code) {
  if (code.empty() || code.size() > 3 || (code[0] == '0' && code.size() > 1)) return false;
  for (char c : code) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

using TextSelection = std::string (*)(const std::string&);

struct TextTable {
  const char* set;
  TextSelection select;
  std::string byCode[kTextCodes];
};

// One row per text selection, from the set list.
TextTable textTables[] = {
#define ZEP_SELECTION(set, argument) ZEP_SELECTION_##argument(set)
#define ZEP_SELECTION_ModelCode(set)
#define ZEP_SELECTION_ModelText(set) {#set, RetNomeBpl_##set, {}},
#include "zep00001/entries/sets.def"
#undef ZEP_SELECTION_ModelCode
#undef ZEP_SELECTION_ModelText
};

std::set<std::string> fiscalNames;

// A package name: "ZEP" and five digits, or the scale's "X".
bool packageName(const std::string& name) {
  return name == "X" || (name.size() == 8 && name.starts_with("ZEP") &&
                         name.find_first_not_of("0123456789", 3) == std::string::npos);
}

void expectPackageName(const char* set, const std::string& code, const std::string& name) {
  if (!name.empty() && !packageName(name)) fail(set, code, name);
}

int gather() {
  for (TextTable& table : textTables) {
    for (int code = 0; code < kTextCodes; ++code) {
      table.byCode[code] = table.select(std::to_string(code));
      expectPackageName(table.set, std::to_string(code), table.byCode[code]);
    }
  }
  for (std::int32_t code = -64; code <= 64; ++code) {
    fiscalNames.insert(RetNomeBpl_ImpFiscal(code));
    expectPackageName("ImpFiscal", std::to_string(code), RetNomeBpl_ImpFiscal(code));
  }
  return 0;
}

void expectText(const TextTable& table, const std::string& code) {
  const std::string name = table.select(code);
  if (plainNumber(code)) {
    if (name != table.byCode[std::stoi(code)]) fail(table.set, code, name);
  } else if (!name.empty()) {
    fail(table.set, code, name);  // only a whole, exact key selects
  }
}

void expectFiscal(std::int32_t code) {
  const std::string name = RetNomeBpl_ImpFiscal(code);
  const bool inTable = code >= 1 && code <= kLastFiscalCode;
  if (fiscalNames.count(name) == 0 || (!inTable && !name.empty()))
    fail("ImpFiscal", std::to_string(code), name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int gathered = gather();
  (void)gathered;
  FuzzedDataProvider input(data, size);
  expectFiscal(input.ConsumeIntegral<std::int32_t>());
  const std::string code = input.ConsumeRemainingBytesAsString();
  for (const TextTable& table : textTables) expectText(table, code);
  return 0;
}
