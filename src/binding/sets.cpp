// The ten slot sets as data, and their bind and unbind operations.
#include "binding/protocol.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::binding {
namespace {

// The entry tables, one per set, from the one slot list.
#define ZEP_SET_BEGIN(set) const Entry set##Entries[] = {
#define ZEP_ENTRY_AS(slot, name) {name, &::slot},
#define ZEP_SET_END(set) \
  }                      \
  ;
#include "zep00001/entries/slots.def"

// The fixed package names, <Set>Package.
#define ZEP_FIXED_PACKAGE(set, package) constexpr char set##Package[] = package;
#include "zep00001/entries/sets.def"

std::string fiscalPrinter(const Model& model) { return RetNomeBpl_ImpFiscal(model.code); }
std::string display(const Model& model) { return RetNomeBpl_Display(*model.text); }
std::string scale(const Model& model) { return RetNomeBpl_Balanca(*model.text); }
std::string reader(const Model& model) { return RetNomeBpl_Leitor(*model.text); }

}  // namespace

using enum Gate;
using enum EmptyName;
using enum Failure;
using enum Unbind;

// clang-format off
//       set       entries           fixed package     selection      gate             empty name     failure        unbind
SlotSet ImpFiscal {ImpFiscalEntries, nullptr,          fiscalPrinter, Always,          NothingToBind, Raise,         ClearThenSelect};
SlotSet ImpCheque {ImpChequeEntries, ImpChequePackage, nullptr,       PositiveUseFlag, PassOn,        TellOperator,  ClearThenSelect};
SlotSet Display   {DisplayEntries,   nullptr,          display,       Always,          PassOn,        Raise,         ClearThenSelect};
SlotSet Balanca   {BalancaEntries,   nullptr,          scale,         Always,          PassOn,        Raise,         ClearThenSelect};
SlotSet Leitor    {LeitorEntries,    nullptr,          reader,        Always,          PassOn,        Raise,         SelectAndClear};
SlotSet Zep00000  {Zep00000Entries,  Zep00000Package,  nullptr,       Always,          PassOn,        Raise,         Unguarded};
SlotSet Zep00400  {Zep00400Entries,  Zep00400Package,  nullptr,       Always,          PassOn,        Raise,         Unguarded};
SlotSet Zep00500  {Zep00500Entries,  Zep00500Package,  nullptr,       Always,          PassOn,        Raise,         Unguarded};
SlotSet Tef00000  {Tef00000Entries,  Tef00000Package,  nullptr,       Always,          PassOn,        Raise,         Unguarded};
SlotSet Sat       {SatEntries,       SatPackage,       nullptr,       Always,          PassOn,        Raise,         Unguarded};
// clang-format on

}  // namespace zep::binding

// What the host passed, by argument kind.
#define ZEP_MODEL_ModelCode \
  zep::binding::Model { modelCode }
#define ZEP_MODEL_ModelText \
  zep::binding::Model { 0, &modelCode }
#define ZEP_MODEL_UseFlag \
  zep::binding::Model { useFlag }
#define ZEP_MODEL_None \
  zep::binding::Model {}

// The twenty operations, each one call of the protocol.
#define ZEP_SET(set, bindArgument, unbindArgument)                              \
  bool InstanciaFuncoes_##set(ZEP_ARGUMENT_##bindArgument) {                    \
    return zep::binding::bind(zep::binding::set, ZEP_MODEL_##bindArgument);     \
  }                                                                             \
  bool FinalizaFuncoes_##set(ZEP_ARGUMENT_##unbindArgument) {                   \
    return zep::binding::unbind(zep::binding::set, ZEP_MODEL_##unbindArgument); \
  }
#include "zep00001/entries/sets.def"
