// The set table of zep-host, from sets.def and slots.def alone.
#include "host/sets.hpp"

#include <algorithm>
#include <charconv>

#include "zep00001/zep00001.hpp"

namespace zep::host {
namespace {

// How each argument kind reaches the module's operations.
#define ZEP_PASS_ModelCode model.code
#define ZEP_PASS_ModelText model.text
#define ZEP_PASS_UseFlag model.code
#define ZEP_PASS_None

SlotSet& named(std::vector<SlotSet>& sets, std::string_view name) {
  return *std::find_if(sets.begin(), sets.end(),
                       [&](const SlotSet& set) { return set.name == name; });
}

std::vector<SlotSet> expandSets() {
  std::vector<SlotSet> sets;

  // The sets, their arguments and their bind and unbind operations.
#define ZEP_SET(set, bindArgument, unbindArgument)                           \
  sets.push_back({#set, Argument::bindArgument, Argument::unbindArgument,    \
                  [](const Model& model) {                                   \
                    static_cast<void>(model);                                \
                    return InstanciaFuncoes_##set(ZEP_PASS_##bindArgument);  \
                  },                                                         \
                  [](const Model& model) {                                   \
                    static_cast<void>(model);                                \
                    return FinalizaFuncoes_##set(ZEP_PASS_##unbindArgument); \
                  }});
#include "zep00001/entries/sets.def"

  // Each set's package: its selection or its fixed name.
#define ZEP_SELECTION(set, argument)                  \
  named(sets, #set).select = [](const Model& model) { \
    return RetNomeBpl_##set(ZEP_PASS_##argument);     \
  };
#define ZEP_FIXED_PACKAGE(set, package) named(sets, #set).fixedPackage = package;
#include "zep00001/entries/sets.def"

  // The slots, set by set.
  SlotSet* current = nullptr;
#define ZEP_SET_BEGIN(set) current = &named(sets, #set);
#define ZEP_ENTRY_AS(slot, entry) current->slots.push_back({entry, #slot, &::slot});
#include "zep00001/entries/slots.def"

  return sets;
}

}  // namespace

bool sameLetters(std::string_view left, std::string_view right) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                    [&](char a, char b) { return lower(a) == lower(b); });
}

std::size_t SlotSet::boundSlots() const {
  return static_cast<std::size_t>(std::count_if(
      slots.begin(), slots.end(), [](const Slot& slot) { return *slot.address != nullptr; }));
}

const std::vector<SlotSet>& slotSets() {
  static const std::vector<SlotSet> sets = expandSets();
  return sets;
}

const SlotSet* findSet(std::string_view name) {
  for (const SlotSet& set : slotSets()) {
    if (sameLetters(set.name, name)) return &set;
  }
  return nullptr;
}

std::string_view describe(Argument argument) {
  switch (argument) {
    case Argument::ModelCode:
      return "model code (a 32-bit integer)";
    case Argument::ModelText:
      return "model code (a text)";
    case Argument::UseFlag:
      return "use flag (a 32-bit integer)";
    case Argument::None:
      break;
  }
  return "nothing";
}

std::optional<Model> readModel(Argument argument, const std::string& text) {
  Model model;
  if (argument == Argument::ModelText) {
    model.text = text;
    return model;
  }
  const char* end = text.data() + text.size();
  auto [stop, failure] = std::from_chars(text.data(), end, model.code);
  if (failure == std::errc() && stop == end && !text.empty()) return model;
  return std::nullopt;
}

std::string showModel(Argument argument, const Model& model) {
  switch (argument) {
    case Argument::ModelCode:
    case Argument::UseFlag:
      return std::to_string(model.code);
    case Argument::ModelText:
      return "\"" + model.text + "\"";
    case Argument::None:
      break;
  }
  return "";
}

}  // namespace zep::host
