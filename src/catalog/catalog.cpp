// The catalogue of the sets, from sets.def and slots.def alone.
#include "catalog/catalog.hpp"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "zep00001/zep00001.hpp"

namespace zep::catalog {
namespace {

// The slots of each set, <Set>Slots.
#define ZEP_SET_BEGIN(set) const Slot set##Slots[] = {
#define ZEP_ENTRY_AS(slot, entry) {entry, #slot, &::slot},
#define ZEP_SET_END(set) \
  }                      \
  ;
#include "zep00001/entries/slots.def"

// How each argument kind reaches the module's operations.
#define ZEP_PASS_ModelCode model.code
#define ZEP_PASS_ModelText model.text
#define ZEP_PASS_UseFlag model.code
#define ZEP_PASS_None

// The operation <prefix><set>, as an Operation.
#define ZEP_CALL(Result, operation, argument) \
  []([[maybe_unused]] const Model& model) { return Result(operation(ZEP_PASS_##argument)); }
#define ZEP_OPERATION(Result, prefix, set, argument) \
  Operation<Result> { #prefix #set, Argument::argument, ZEP_CALL(Result, prefix##set, argument) }
#define ZEP_SELECTS(set, argument) ZEP_OPERATION(std::string, RetNomeBpl_, set, argument)
#define ZEP_SELECTS_NONE(set, package) \
  Operation<std::string> { {}, Argument::None, nullptr }
#define ZEP_NAMES_NONE(set, argument) std::string_view()
#define ZEP_NAMES(set, package) std::string_view(package)

// The sets.
const SlotSet kSets[] = {
#define ZEP_SLOT_SET(set, bindArgument, unbindArgument, package, gate, emptyName, failure, unbind) \
  {#set,                                                                                           \
   ZEP_OPERATION(bool, InstanciaFuncoes_, set, bindArgument),                                      \
   ZEP_OPERATION(bool, FinalizaFuncoes_, set, unbindArgument),                                     \
   ZEP_PACKAGE_CASE(package, set, bindArgument, ZEP_SELECTS, ZEP_SELECTS_NONE),                    \
   ZEP_PACKAGE_CASE(package, set, bindArgument, ZEP_NAMES_NONE, ZEP_NAMES),                        \
   {Gate::gate, EmptyName::emptyName, Failure::failure, Unbind::unbind},                           \
   set##Slots},
#include "zep00001/entries/sets.def"
};

void collect(const std::exception& failure, std::vector<std::string>& chain) {
  chain.push_back(failure.what());
  try {
    std::rethrow_if_nested(failure);
  } catch (const std::exception& cause) {
    collect(cause, chain);
  } catch (...) {
    chain.push_back("an exception that is no std::exception");
  }
}

}  // namespace

std::string SlotSet::package(const Model& model) const {
  return selects() ? select(model) : std::string(fixedPackage);
}

std::size_t SlotSet::boundSlots() const {
  return static_cast<std::size_t>(std::count_if(
      slots.begin(), slots.end(), [](const Slot& slot) { return *slot.address != nullptr; }));
}

std::span<const SlotSet> sets() { return kSets; }

const SlotSet* findSet(std::string_view name) {
  for (const SlotSet& set : kSets) {
    if (sameLetters(set.name, name)) return &set;
  }
  return nullptr;
}

std::size_t slotCount() {
  std::size_t count = 0;
  for (const SlotSet& set : kSets) count += set.slots.size();
  return count;
}

bool sameLetters(std::string_view left, std::string_view right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                    [](char a, char b) { return lowerLetter(a) == lowerLetter(b); });
}

std::string_view argumentName(Argument argument) {
  switch (argument) {
    case Argument::ModelCode:
    case Argument::ModelText:
      return "model code";
    case Argument::UseFlag:
      return "use flag";
    case Argument::None:
      break;
  }
  return "nothing";
}

std::optional<Model> readModel(Argument argument, std::string_view text) {
  Model model;
  switch (argument) {
    case Argument::ModelText:
      model.text = text;
      return model;
    case Argument::None:
      if (text.empty()) return model;
      return std::nullopt;
    case Argument::ModelCode:
    case Argument::UseFlag:
      break;
  }
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, model.code);
  if (failure == std::errc() && stop == end && !text.empty()) return model;
  return std::nullopt;
}

std::string showModel(Argument argument, const Model& model) {
  switch (argument) {
    case Argument::ModelCode:
    case Argument::UseFlag:
      return std::to_string(model.code);
    case Argument::ModelText:
      return quoted(model.text);
    case Argument::None:
      break;
  }
  return "";
}

std::string quoted(std::string_view text) {
  std::ostringstream shown;
  shown << Value(std::string(text));
  return shown.str();
}

std::vector<std::string> causeChain(const std::exception& failure) {
  std::vector<std::string> chain;
  collect(failure, chain);
  return chain;
}

}  // namespace zep::catalog
