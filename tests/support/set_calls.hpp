// Every slot set's bind and unbind behind one signature, and the package a
// model makes it load, expanded from the set list: for programs that work
// through all the sets alike (the stress test, the binding benchmark).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zep00001/zep00001.hpp"

namespace set_calls {

// What a bind or unbind is given: the integer (model code or use flag) or
// the text model code, whichever its set takes.
struct Model {
  std::int32_t code = 1;
  std::string text;
};

struct SetCalls {
  const char* set;
  bool (*bind)(const Model& model);
  bool (*unbind)(const Model& model);
};

#define ZEP_SET_CALL_ModelCode model.code
#define ZEP_SET_CALL_ModelText model.text
#define ZEP_SET_CALL_UseFlag model.code
#define ZEP_SET_CALL_None

// The ten sets in the host's order.
inline const std::vector<SetCalls>& all() {
  static const std::vector<SetCalls> sets{
#define ZEP_SET(name, bindArgument, unbindArgument)                \
  {#name,                                                          \
   [](const Model& model) {                                        \
     (void)model;                                                  \
     return InstanciaFuncoes_##name(ZEP_SET_CALL_##bindArgument);  \
   },                                                              \
   [](const Model& model) {                                        \
     (void)model;                                                  \
     return FinalizaFuncoes_##name(ZEP_SET_CALL_##unbindArgument); \
   }},
#include "zep00001/entries/sets.def"
  };
  return sets;
}

// The package the set's bind asks for under `model`: the selected one, or
// the set's fixed one.
inline std::string packageOf(std::string_view set, const Model& model) {
#define ZEP_SELECTION(name, argument) \
  if (set == #name) return RetNomeBpl_##name(ZEP_SET_CALL_##argument);
#define ZEP_FIXED_PACKAGE(name, package) \
  if (set == #name) return package;
#include "zep00001/entries/sets.def"
  return {};
}

#undef ZEP_SET_CALL_ModelCode
#undef ZEP_SET_CALL_ModelText
#undef ZEP_SET_CALL_UseFlag
#undef ZEP_SET_CALL_None

}  // namespace set_calls
