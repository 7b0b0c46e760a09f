// The table of the slot sets: one row a set, made once from
// entries/sets.def. The module binds over it; the catalogue, the C interface,
// zep-host, the tests and the benchmarks read it. A row's operations are the
// module's exported ones and its slots the exported slots, so the table means
// the same in the module and in a program that links the module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zep::sets {

// What a bind, unbind or selection takes.
enum class Argument { ModelCode, ModelText, UseFlag, None };

// Where a set's protocol departs from the common one.
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

// What the host passed to a bind, unbind or selection: the integer (model
// code or use flag) or the text model code, whichever its argument kind
// takes.
struct Model {
  std::int32_t code = 0;
  std::string text;
};

// One of the module's exported operations, called with a model.
template <class Result>
struct Operation {
  std::string_view name;  // "InstanciaFuncoes_ImpFiscal"
  Argument argument;
  Result (*call)(const Model& model);

  Result operator()(const Model& model) const { return call(model); }
};

// One entry of a set: the exported name looked up in the package, and the
// slot it fills.
struct Slot {
  std::string_view entry;
  std::string_view name;  // the slot's own name
  void** address;
  std::size_t index;  // its place among every set's slots taken in turn
};

// One row of entries/sets.def.
struct SlotSet {
  std::string_view name;
  Operation<bool> bind;
  Operation<bool> unbind;
  // RetNomeBpl_<Set> for a set whose package the model code selects; for
  // any other, no call, and the set always loads fixedPackage.
  Operation<std::string> select;
  std::string_view fixedPackage;
  Departures departures;
  // In lookup order.
  std::span<const Slot> slots;

  bool selects() const { return select.call != nullptr; }
  // The package the bind loads for `model`.
  std::string package(const Model& model) const;
  std::size_t boundSlots() const;
};

// Every set, in the host's order.
std::span<const SlotSet> all();

// How many sets there are: one a row.
inline constexpr std::size_t kCount = 0
#define ZEP_SET(set, bindArgument, unbindArgument) +1
#include "zep00001/entries/sets.def"
    ;

// Each set's row by its name: sets::ImpFiscal.
#define ZEP_SET(set, bindArgument, unbindArgument) extern const SlotSet& set;
#include "zep00001/entries/sets.def"

}  // namespace zep::sets
