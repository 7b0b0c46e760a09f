// The words of a set's row in entries/sets.def, as C++ values: what its
// operations take, and where its protocol departs from the common one. Shared
// by the module's bind and by the run-time catalogue, which both expand the
// rows.
#pragma once

namespace zep::catalog {

// What a bind, unbind or selection takes.
enum class Argument { ModelCode, ModelText, UseFlag, None };

enum class Gate { Always, PositiveUseFlag };     // cheque printer: flag > 0
enum class EmptyName { PassOn, NothingToBind };  // fiscal printer: bind nothing
enum class Failure { Raise, TellOperator };      // cheque printer: Mensagem
enum class Unbind {
  ClearThenSelect,  // guarded clearing, then select and unload
  SelectAndClear,   // reader: selection and clearing under one guard
  Unguarded,        // service sets: no guard at all
};

struct Departures {
  Gate gate;
  EmptyName emptyName;
  Failure failure;
  Unbind unbind;
};

}  // namespace zep::catalog
