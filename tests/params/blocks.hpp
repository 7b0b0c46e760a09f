// The six builders as the tests see them: each one's expected block, written
// out pair by pair as the host documentation gives it, and a call that feeds
// the builder its arguments by declared position.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zep00001/zep00001.hpp"

namespace blocks {

using zep::Value;
using Tag = Value::Tag;

// One pair of an expected block: its key, its value's tag and the declared
// position (from 1) of the parameter that feeds it.
struct Row {
  const char* key;
  Tag tag;
  int parameter;
};

// A builder's arguments in declared order: element 0 is parameter 1.
using Arguments = std::vector<Value>;

struct Builder {
  const char* name;
  Value (*call)(const Arguments&);
  std::vector<Row> rows;
};

// The texts are passed as references into the Arguments, so that a test can
// see that the builder leaves the caller's variables alone.
inline const std::string& text(const Arguments& arguments, int parameter) {
  return arguments.at(parameter - 1).asString();
}
inline std::int32_t integer(const Arguments& arguments, int parameter) {
  return arguments.at(parameter - 1).asInteger();
}
inline double real(const Arguments& arguments, int parameter) {
  return arguments.at(parameter - 1).asDouble();
}
inline bool flag(const Arguments& arguments, int parameter) {
  return arguments.at(parameter - 1).asBoolean();
}

inline const std::vector<Builder>& builders() {
  using enum Value::Tag;  // the enumeration itself: clang 14 takes no alias here
  static const std::vector<Builder> all{
      {"Params_AbreCupom_Zep00000",
       [](const Arguments& a) {
         return Params_AbreCupom_Zep00000(text(a, 1), integer(a, 2), text(a, 3), text(a, 4),
                                          text(a, 5), text(a, 6), text(a, 7), text(a, 8),
                                          text(a, 9), text(a, 10), text(a, 11), text(a, 12),
                                          text(a, 13), text(a, 14), flag(a, 15));
       },
       {{"ESQUEMACOR", String, 1},
        {"INTTEFERRO", Integer, 2},  // ten letters here, nine in VendaItem
        {"INCLUICPF", String, 3},
        {"INCLUINOME", String, 4},
        {"INCLUIENDERECO", String, 5},
        {"CUPNR", String, 6},
        {"CONTCUPOM", String, 7},
        {"TIPOTICKET", String, 8},
        {"IVACOMP", String, 9},
        {"IVAPROP", String, 10},
        {"TIPODOC", String, 11},
        {"NRDOC", String, 12},
        {"MESA", String, 13},
        {"IDUTILTEF", String, 14},
        {"UTILTEF", Boolean, 15}}},
      {"Params_VendaItem_Zep00000",
       [](const Arguments& a) {
         return Params_VendaItem_Zep00000(
             text(a, 1), text(a, 2), text(a, 3), text(a, 4), text(a, 5), text(a, 6), text(a, 7),
             text(a, 8), text(a, 9), text(a, 10), text(a, 11), integer(a, 12), real(a, 13),
             real(a, 14), real(a, 15), real(a, 16), flag(a, 17));
       },
       {{"ESQUEMACOR", String, 1},
        {"INTEFERRO", Integer, 12},
        {"MESA", String, 2},
        {"FLAG", String, 3},
        {"CDARVPROD", String, 4},
        {"NMPROD", String, 5},
        {"CDALIQ", String, 6},
        {"IDALIQ", String, 7},
        {"QTDE", Double, 13},
        {"VALOR", Double, 14},
        {"DESCONT", Double, 15},
        {"UNIDADE", String, 8},
        {"TIPOTICKET", String, 9},
        {"VRPERCALIQ", String, 10},
        {"IDUTILTEF", String, 11},
        {"UTILTEF", Boolean, 17},
        {"ACRESCIMO", Double, 16}}},
      {"Params_ImpressaoVenda_Zep00000",
       [](const Arguments& a) {
         return Params_ImpressaoVenda_Zep00000(
             text(a, 1), text(a, 2), text(a, 3), text(a, 4), text(a, 5), text(a, 6), text(a, 7),
             text(a, 8), text(a, 9), text(a, 10), integer(a, 11), real(a, 12), real(a, 13));
       },
       {{"TOTPARCCV", String, 1},
        {"CDFILIAL", String, 2},
        {"CDCAIXA", String, 3},
        {"NRLAUDO", String, 4},
        {"ESQUEMACOR", String, 5},
        {"IDTIPOIMPFIS", Integer, 11},
        {"SENHACUPOM", String, 6},
        {"TIPOVENDA", String, 7},
        {"NMCONSUMIDOR", String, 8},
        {"DSOBSCUPFIS", String, 9},
        {"CDPORTAIMPFIS", String, 10},
        {"SALDODEBITO", Double, 12},
        {"PRECOSUBSIDIO", Double, 13}}},
      {"Params_Atu_TotGeral_Zep00000",
       [](const Arguments& a) {
         return Params_Atu_TotGeral_Zep00000(text(a, 1), text(a, 2), text(a, 3), text(a, 4),
                                             text(a, 5), flag(a, 6), text(a, 7), text(a, 8),
                                             text(a, 9), text(a, 10), real(a, 11), real(a, 12));
       },
       {{"CDFILIAL", String, 1},
        {"CDCAIXA", String, 2},
        {"NRSERIEIMP", String, 3},
        {"ESQUEMACOR", String, 4},
        {"IDVALIDA", String, 5},
        {"BOPODERECOMPORGT", Boolean, 6},
        {"CRZTAB", String, 7},
        {"CRZECF", String, 8},
        {"CROTAB", String, 9},
        {"CROECF", String, 10},
        {"VBRUTATAB", Double, 11},  // no R after the V, unlike its twin
        {"VRBRUTAECF", Double, 12}}},
      {"Params_Carrega_Dados_Impressora_Zep00000",
       [](const Arguments& a) {
         return Params_Carrega_Dados_Impressora_Zep00000(
             text(a, 1), text(a, 2), text(a, 3), text(a, 4), text(a, 5), text(a, 6), text(a, 7));
       },
       {{"ESQUEMA", String, 1},  // ESQUEMACOR everywhere else
        {"DATAATUIMP", String, 2},
        {"ECFIMP", String, 3},
        {"NRSERIEIMP", String, 4},
        {"REDIMP", String, 5},
        {"DATAIMP", String, 6},
        {"CDPORTAIMPFIS", String, 7}}},
      {"Params_VerificaSerialImp_Zep00000",
       [](const Arguments& a) {
         return Params_VerificaSerialImp_Zep00000(flag(a, 1), text(a, 2), text(a, 3), text(a, 4));
       },
       {{"UTILIZAIMPFIS", Boolean, 1},
        {"DSDIRCAD", String, 2},
        {"ESQUEMACOR", String, 3},
        {"REV_NRSERIE_IMP", String, 4}}},
  };
  return all;
}

// The value an argument source gives the parameter at a declared position.
using Source = std::function<Value(Tag, int parameter)>;

// One of the four, by the tag the parameter takes.
inline Value byTag(Tag tag, std::string text, std::int32_t integer, double real, bool flag) {
  switch (tag) {
    case Tag::String:
      return text;
    case Tag::Integer:
      return integer;
    case Tag::Double:
      return real;
    default:
      return flag;
  }
}

// Arguments for the builder, of the tags its parameters take.
inline Arguments argumentsFor(const Builder& builder, const Source& source) {
  Arguments arguments(builder.rows.size(), Value(false));
  for (const Row& row : builder.rows) {
    arguments.at(row.parameter - 1) = source(row.tag, row.parameter);
  }
  return arguments;
}

inline Value expectedBlock(const Builder& builder, const Arguments& arguments) {
  Value::Array block;
  for (const Row& row : builder.rows) {
    block.push_back(Value::Array{row.key, arguments.at(row.parameter - 1)});
  }
  return block;
}

}  // namespace blocks
