// The slot sets as data, each expanded from its row of entries/sets.def, and
// their bind and unbind operations.
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

}  // namespace

// What the host passed, by argument kind.
#define ZEP_PASS_ModelCode model.code
#define ZEP_PASS_ModelText *model.text
#define ZEP_PASS_UseFlag model.code
#define ZEP_PASS_None
#define ZEP_MODEL_ModelCode \
  Model { modelCode }
#define ZEP_MODEL_ModelText \
  Model { 0, &modelCode }
#define ZEP_MODEL_UseFlag \
  Model { useFlag }
#define ZEP_MODEL_None \
  Model {}

// A set's package: its selection over the bind's model, or its fixed name.
#define ZEP_SELECTS(set, argument) \
  [](const Model& model) { return RetNomeBpl_##set(ZEP_PASS_##argument); }
#define ZEP_SELECTS_NONE(set, package) nullptr
#define ZEP_NAMES_NONE(set, argument) nullptr
#define ZEP_NAMES(set, package) package

// The set descriptions, SlotSet <Set>.
#define ZEP_SLOT_SET(set, bindArgument, unbindArgument, package, gate, emptyName, failure, unbind) \
  SlotSet set{set##Entries,                                                                        \
              ZEP_PACKAGE_CASE(package, set, bindArgument, ZEP_NAMES_NONE, ZEP_NAMES),             \
              ZEP_PACKAGE_CASE(package, set, bindArgument, ZEP_SELECTS, ZEP_SELECTS_NONE),         \
              {Gate::gate, EmptyName::emptyName, Failure::failure, Unbind::unbind}};
#include "zep00001/entries/sets.def"

}  // namespace zep::binding

// The operations, each one call of the protocol.
#define ZEP_SET(set, bindArgument, unbindArgument)                              \
  bool InstanciaFuncoes_##set(ZEP_ARGUMENT_##bindArgument) {                    \
    using zep::binding::Model;                                                  \
    return zep::binding::bind(zep::binding::set, ZEP_MODEL_##bindArgument);     \
  }                                                                             \
  bool FinalizaFuncoes_##set(ZEP_ARGUMENT_##unbindArgument) {                   \
    using zep::binding::Model;                                                  \
    return zep::binding::unbind(zep::binding::set, ZEP_MODEL_##unbindArgument); \
  }
#include "zep00001/entries/sets.def"
