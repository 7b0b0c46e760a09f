// The decorated export names the encoder derives from the entry lists: the
// names the host's documents write out, and every name read back against
// the list it came from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "module_definition.hpp"
#include "names.hpp"

namespace {

using Types = std::vector<std::string>;  // "Kind.Passing", in declared order

// The bind, unbind and selection argument kinds as parameter types.
Types argumentTypes(std::string_view argument) {
  if (argument == "ModelCode" || argument == "UseFlag") return {"Integer.ByValue"};
  if (argument == "ModelText") return {"Text.ByValue"};
  return {};
}

// Every operation of the lists with its parameter types.
std::map<std::string, Types> operations() {
  std::map<std::string, Types> all;
#define ZEP_SET(set, bindArgument, unbindArgument)              \
  all["InstanciaFuncoes_" #set] = argumentTypes(#bindArgument); \
  all["FinalizaFuncoes_" #set] = argumentTypes(#unbindArgument);
#define ZEP_SELECTION(set, argument) all["RetNomeBpl_" #set] = argumentTypes(#argument);
#include "zep00001/entries/sets.def"
#define ZEP_PARAMETER_TYPE(kind, passing, name, pair) types.push_back(#kind "." #passing);
#define ZEP_BUILDER(builder, pairs, parameters) \
  {                                             \
    Types types;                                \
    parameters(ZEP_PARAMETER_TYPE);             \
    all[#builder] = types;                      \
  }
#include "zep00001/entries/builders.def"
#undef ZEP_PARAMETER_TYPE
  return all;
}

// Reads the parameter codes back, and gives nothing unless they are written
// as the scheme writes them: i, o and d always spelled out, a text spelled
// out the first time its exact type appears and "t<first position>" after.
std::optional<Types> decode(std::string_view codes) {
  if (codes == "v") return Types{};
  Types types;
  std::map<std::string, std::size_t> firstOf;
  constexpr std::string_view kText = "17System@AnsiString";
  while (!codes.empty()) {
    std::string type;
    if (codes.front() == 't') {
      if (codes.size() < 2 || codes[1] < '1' || codes[1] > '9') return std::nullopt;
      std::size_t position = static_cast<std::size_t>(codes[1] - '0');
      if (position > types.size() || !types[position - 1].starts_with("Text.")) return std::nullopt;
      type = types[position - 1];
      if (firstOf.at(type) != position) return std::nullopt;
      codes.remove_prefix(2);
    } else {
      bool byReference = codes.front() == 'r';
      if (byReference) codes.remove_prefix(1);
      if (codes.empty()) return std::nullopt;
      const char* kind = nullptr;
      if (codes.starts_with(kText)) {
        kind = "Text";
        codes.remove_prefix(kText.size());
      } else if (codes.front() == 'i' || codes.front() == 'o' || codes.front() == 'd') {
        kind = codes.front() == 'i' ? "Integer" : codes.front() == 'o' ? "Boolean" : "Double";
        codes.remove_prefix(1);
      } else {
        return std::nullopt;
      }
      type = std::string(kind) + (byReference ? ".ByRef" : ".ByValue");
      if (type.starts_with("Text.") && firstOf.count(type) != 0) return std::nullopt;
    }
    types.push_back(type);
    firstOf.emplace(type, types.size());
  }
  return types;
}

// The slot rows as the entries files write them, counted in their text
// rather than through the macros that every other table expands.
std::size_t slotRowsWritten() {
  std::size_t rows = 0;
  for (const auto& file : std::filesystem::directory_iterator(ZEP_ENTRY_LISTS)) {
    std::ifstream text(file.path());
    for (std::string line; std::getline(text, line);) {
      if (line.starts_with("ZEP_ENTRY(") || line.starts_with("ZEP_ENTRY_AS(")) ++rows;
    }
  }
  return rows;
}

class ModuleDefinition : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { rows_ = moduleDefinition(ZEP_MODULE_DEFINITION); }
  static std::set<std::string> exported() {
    std::set<std::string> names;
    for (const ExportRow& row : rows_) names.insert(row.exported);
    return names;
  }
  static std::vector<ExportRow> rows_;
};
std::vector<ExportRow> ModuleDefinition::rows_;

TEST_F(ModuleDefinition, HoldsTheNamesTheHostsDocumentsWriteOut) {
  std::set<std::string> names = exported();
  for (const char* name : {
           "@Zep00001@InstanciaFuncoes_ImpFiscal$qqri",
           "@Zep00001@RetNomeBpl_Leitor$qqr17System@AnsiString",
           "@Zep00001@FinalizaFuncoes_Sat$qqrv",
           "@Zep00001@Params_AbreCupom_Zep00000$qqr17System@AnsiStringrir17System@"
           "AnsiStringt3t3t3t3t1t1t1t1t1t1t1o",
           "@Zep00001@Params_VendaItem_Zep00000$qqr17System@AnsiStringt1t1t1t1t1t1t1t1t1t1iddddo",
           "@Zep00001@Params_ImpressaoVenda_Zep00000$qqr17System@AnsiStringt1t1t1t1t1t1t1t1t1idd",
           "@Zep00001@Params_Atu_TotGeral_Zep00000$qqr17System@AnsiStringt1t1t1t1ot1t1t1t1dd",
           "@Zep00001@Params_Carrega_Dados_Impressora_Zep00000$qqr17System@AnsiStringt1t1t1t1t1t1",
           "@Zep00001@Params_VerificaSerialImp_Zep00000$qqro17System@AnsiStringt2t2",
           "@Zep00001@initialization$qqrv",
           "@Zep00001@Finalization$qqrv",
           "@Zep00001@StartImpFiscal",
           "@Zep00001@imprimeMesasAbertas",
           "Initialize",
           "Finalize",
       }) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

TEST_F(ModuleDefinition, ExportsEverySlotAsDataUnderBothNames) {
  std::map<std::string, const ExportRow*> byName;
  for (const ExportRow& row : rows_) byName[row.exported] = &row;
  std::size_t slots = 0;
#define ZEP_ENTRY(slot)                                                                    \
  ++slots;                                                                                 \
  for (const std::string name : {std::string(#slot), "@Zep00001@" + std::string(#slot)}) { \
    ASSERT_EQ(byName.count(name), 1u) << name;                                             \
    EXPECT_EQ(byName[name]->internal, #slot);                                              \
    EXPECT_TRUE(byName[name]->data) << name;                                               \
  }
#include "zep00001/entries/sets.def"
  EXPECT_EQ(slots, slotRowsWritten());
  EXPECT_EQ(byName.count("ImprimeMesasAbertas"), 0u);
}

TEST_F(ModuleDefinition, EncodesEveryOperationsParametersAsItsListHasThem) {
  std::map<std::string, Types> expected = operations();
  EXPECT_EQ(expected.size(), operationNames().size());
  std::map<std::string, int> decorated;
  for (const ExportRow& row : rows_) {
    auto found = expected.find(row.internal);
    if (found == expected.end()) continue;
    EXPECT_FALSE(row.data) << row.exported;
    if (row.exported == row.internal) continue;
    std::string prefix = "@Zep00001@" + row.internal + "$qqr";
    ASSERT_TRUE(row.exported.starts_with(prefix)) << row.exported;
    EXPECT_EQ(decode(std::string_view(row.exported).substr(prefix.size())), found->second)
        << row.exported;
    ++decorated[row.internal];
  }
  for (const auto& [name, types] : expected) {
    EXPECT_EQ(decorated[name], 1) << name;
    EXPECT_EQ(exported().count(name), 1u) << name;
  }
}

TEST_F(ModuleDefinition, HoldsNothingElse) {
  // Every slot and operation under two names, four runtime entry points.
  EXPECT_EQ(rows_.size(), 2 * (slotNames().size() + operationNames().size()) + 4);
  EXPECT_EQ(exported().size(), rows_.size());
}

}  // namespace
