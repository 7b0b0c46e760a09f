// The catalogue of the slot sets: the table of the sets (binding/sets.hpp)
// as the programs that link the module ask about it, by name or all in turn
// (the C interface, zep-host, the benchmarks, the tests), with the words
// their messages use.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/internal.hpp"
#include "binding/sets.hpp"

namespace zep::catalog {

using sets::Argument;
using sets::Departures;
using sets::EmptyName;
using sets::Failure;
using sets::Gate;
using sets::Model;
using sets::Operation;
using sets::Slot;
using sets::SlotSet;
using sets::Unbind;

// The module's internal interface; raises when the module loaded is not
// the one this program was built with.
const internal::Interface& module();

// Every set, in the host's order: the module's table.
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
