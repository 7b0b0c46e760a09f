// The binds and unbinds the host calls: each one call of the protocol with
// the set's row and what the host passed.
#include "binding/protocol.hpp"
#include "zep00001/zep00001.hpp"

using zep::binding::bind;
using zep::binding::unbind;
using zep::sets::Model;
namespace sets = zep::sets;

// The sets whose package the model code selects.
bool InstanciaFuncoes_ImpFiscal(std::int32_t modelCode) {
  return bind(sets::ImpFiscal, Model{modelCode, {}});
}
bool FinalizaFuncoes_ImpFiscal(std::int32_t modelCode) {
  return unbind(sets::ImpFiscal, Model{modelCode, {}});
}
bool InstanciaFuncoes_Display(const std::string& modelCode) {
  return bind(sets::Display, Model{0, modelCode});
}
bool FinalizaFuncoes_Display(const std::string& modelCode) {
  return unbind(sets::Display, Model{0, modelCode});
}
bool InstanciaFuncoes_Balanca(const std::string& modelCode) {
  return bind(sets::Balanca, Model{0, modelCode});
}
bool FinalizaFuncoes_Balanca(const std::string& modelCode) {
  return unbind(sets::Balanca, Model{0, modelCode});
}
bool InstanciaFuncoes_Leitor(const std::string& modelCode) {
  return bind(sets::Leitor, Model{0, modelCode});
}
bool FinalizaFuncoes_Leitor(const std::string& modelCode) {
  return unbind(sets::Leitor, Model{0, modelCode});
}

// The sets with a fixed package, one pair a row, so that such a set is its
// row and its entries file alone. The cheque printer's bind takes its use
// flag; every other operation here takes nothing.
#define ZEP_MODEL_UseFlag \
  Model { useFlag, std::string() }
#define ZEP_MODEL_None \
  Model {}
#define ZEP_FIXED_SET(set, package, bindArgument, unbindArgument, gate, failure, unbinding) \
  bool InstanciaFuncoes_##set(ZEP_ARGUMENT_##bindArgument) {                                \
    return bind(sets::set, ZEP_MODEL_##bindArgument);                                       \
  }                                                                                         \
  bool FinalizaFuncoes_##set(ZEP_ARGUMENT_##unbindArgument) {                               \
    return unbind(sets::set, ZEP_MODEL_##unbindArgument);                                   \
  }
#include "zep00001/entries/sets.def"
