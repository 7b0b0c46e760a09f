// The table of the slot sets, made once from entries/sets.def. Compiled into
// the module, which binds over it, and into the catalogue, which reads it in
// the programs that link the module.
#include "binding/sets.hpp"

#include <algorithm>

#include "zep00001/zep00001.hpp"

namespace zep::sets {
namespace {

// An operation called with what the model holds for its one parameter.
template <class Result>
Result callWith(Result (*operation)(std::int32_t), const Model& model) {
  return operation(model.code);
}
template <class Result>
Result callWith(Result (*operation)(const std::string&), const Model& model) {
  return operation(model.text);
}
template <class Result>
Result callWith(Result (*operation)(), const Model&) {
  return operation();
}

// A set's operation: a call of the exported function of that name. A call,
// not the function's address: under MinGW the address of a function imported
// from the module is no constant the table could be made of.
// clang-format off
#define ZEP_OPERATION(operation, argument) \
  {#operation, Argument::argument, [](const Model& model) { return callWith(operation, model); }}
// clang-format on

// Each slot's place in the list of every slot.
enum SlotIndex : std::size_t {
#define ZEP_ENTRY(slot) kSlot_##slot,
#include "zep00001/entries/sets.def"
};

// Every slot, set by set in the host's order.
const Slot kSlots[] = {
#define ZEP_ENTRY_AS(slot, entry) {entry, #slot, &::slot, kSlot_##slot},
#include "zep00001/entries/sets.def"
};

// sets.def read as names, "set <Set>" for a row and the slot's name for each
// entry after it: where each set's slots stand in kSlots. Unlike the slots'
// addresses, these are constants, so the table is made before any code runs.
constexpr std::string_view kListed[] = {
#define ZEP_SET(set, bindArgument, unbindArgument) "set " #set,
#define ZEP_ENTRY_AS(slot, entry) #slot,
#include "zep00001/entries/sets.def"
};

constexpr bool isRow(std::string_view line, std::string_view set) {
  return line.starts_with("set ") && (set.empty() || line.substr(4) == set);
}

// The set's slots: the names listed after its row, up to the next row.
constexpr std::span<const Slot> slotsOf(std::string_view set) {
  const auto row = std::find_if(std::begin(kListed), std::end(kListed),
                                [&](std::string_view line) { return isRow(line, set); });
  const auto next = std::find_if(row + 1, std::end(kListed),
                                 [](std::string_view line) { return isRow(line, {}); });
  const auto rowsBefore = std::count_if(std::begin(kListed), row,
                                        [](std::string_view line) { return isRow(line, {}); });
  const std::size_t first = static_cast<std::size_t>(row - std::begin(kListed) - rowsBefore);
  return {kSlots + first, static_cast<std::size_t>(next - row - 1)};
}

// The set's place among the rows.
constexpr std::size_t indexOf(std::string_view set) {
  const auto row = std::find_if(std::begin(kListed), std::end(kListed),
                                [&](std::string_view line) { return isRow(line, set); });
  return static_cast<std::size_t>(std::count_if(
      std::begin(kListed), row, [](std::string_view line) { return isRow(line, {}); }));
}

constinit const SlotSet kSets[] = {
#define ZEP_SELECTED_SET(set, argument, emptyName, unbinding)               \
  {#set,                                                                    \
   ZEP_OPERATION(InstanciaFuncoes_##set, argument),                         \
   ZEP_OPERATION(FinalizaFuncoes_##set, argument),                          \
   ZEP_OPERATION(RetNomeBpl_##set, argument),                               \
   {},                                                                      \
   {Gate::Always, EmptyName::emptyName, Failure::Raise, Unbind::unbinding}, \
   slotsOf(#set)},
#define ZEP_FIXED_SET(set, package, bindArgument, unbindArgument, gate, failure, unbinding) \
  {#set,                                                                                    \
   ZEP_OPERATION(InstanciaFuncoes_##set, bindArgument),                                     \
   ZEP_OPERATION(FinalizaFuncoes_##set, unbindArgument),                                    \
   {{}, Argument::None, nullptr},                                                           \
   package,                                                                                 \
   {Gate::gate, EmptyName::PassOn, Failure::failure, Unbind::unbinding},                    \
   slotsOf(#set)},
#include "zep00001/entries/sets.def"
};

}  // namespace

std::string SlotSet::package(const Model& model) const {
  return selects() ? select(model) : std::string(fixedPackage);
}

std::size_t SlotSet::boundSlots() const {
  return static_cast<std::size_t>(std::count_if(
      slots.begin(), slots.end(), [](const Slot& slot) { return *slot.address != nullptr; }));
}

std::span<const SlotSet> all() { return kSets; }

#define ZEP_SET(set, bindArgument, unbindArgument) const SlotSet& set = kSets[indexOf(#set)];
#include "zep00001/entries/sets.def"

}  // namespace zep::sets
