// The binds and unbinds the host calls: each one call of the protocol with
// the set's row and what the host passed.
#include "binding/protocol.hpp"
#include "zep00001/zep00001.hpp"

using zep::binding::bind;
using zep::binding::unbind;
using zep::sets::Model;
namespace sets = zep::sets;

// One pair a row, so that a set is its row and its entries file alone (and a
// selected set its selection table): each operation builds the model from
// what its argument kind takes. The cheque printer's bind takes its use flag;
// the other fixed sets' operations take nothing.
#define ZEP_MODEL_ModelCode \
  Model { modelCode, std::string() }
#define ZEP_MODEL_ModelText \
  Model { 0, modelCode }
#define ZEP_MODEL_UseFlag \
  Model { useFlag, std::string() }
#define ZEP_MODEL_None \
  Model {}
#define ZEP_SET(set, bindArgument, unbindArgument)            \
  bool InstanciaFuncoes_##set(ZEP_ARGUMENT_##bindArgument) {  \
    return bind(sets::set, ZEP_MODEL_##bindArgument);         \
  }                                                           \
  bool FinalizaFuncoes_##set(ZEP_ARGUMENT_##unbindArgument) { \
    return unbind(sets::set, ZEP_MODEL_##unbindArgument);     \
  }
#include "zep00001/entries/sets.def"
