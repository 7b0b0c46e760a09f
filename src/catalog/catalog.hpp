// The slot sets at run time: one table, expanded once from the entry lists,
// for every program that asks about the sets by name or goes through them
// all (the C interface, zep-host, the benchmarks, the tests). It stands on
// the module's public header alone: a set's operations are the exported
// ones, its slots the exported slots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/kinds.hpp"

namespace zep::catalog {

// What an operation is given: the integer (model code or use flag) or the
// text model code, whichever its argument kind takes.
struct Model {
  std::int32_t code = 0;
  std::string text;
};

// One of the module's operations, called with a model.
template <class Result>
struct Operation {
  std::string_view name;  // "InstanciaFuncoes_ImpFiscal"
  Argument argument;
  Result (*call)(const Model& model);

  Result operator()(const Model& model) const { return call(model); }
};

struct Slot {
  std::string_view entry;  // the name looked up in the package
  std::string_view name;   // the slot's own name
  void** address;
};

struct SlotSet {
  std::string_view name;
  Operation<bool> bind;
  Operation<bool> unbind;
  // RetNomeBpl_<Set> for a set whose package follows from the model code;
  // for any other, no call and the set always loads fixedPackage.
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
std::span<const SlotSet> sets();

// The set of that name in any letter case, or null.
const SlotSet* findSet(std::string_view name);

// Every slot of every set.
std::size_t slotCount();

// An ASCII letter in lower case, any other byte as it is: names are compared
// letter case aside without the locale's idea of a letter.
constexpr char lowerLetter(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether two names are the same but for the letter case of ASCII letters.
bool sameLetters(std::string_view left, std::string_view right);

// What the argument is called in messages: "model code", "use flag", or
// "nothing".
std::string_view argumentName(Argument argument);

// Reads `text` as the argument kind takes it, or gives nothing: an integer
// must be a whole 32-bit decimal number, and None takes only "".
std::optional<Model> readModel(Argument argument, std::string_view text);

// The model as messages show it: 21, "4" (texts quoted, since "01" and "1"
// differ), or "" for None.
std::string showModel(Argument argument, const Model& model);

// A name or text of someone else's for a message: in double quotes, with
// quote, backslash and control bytes escaped.
std::string quoted(std::string_view text);

// The failure's message, then the message of each exception nested in it,
// outermost first.
std::vector<std::string> causeChain(const std::exception& failure);

}  // namespace zep::catalog
