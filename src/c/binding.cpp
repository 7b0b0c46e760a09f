// zep_bind, zep_unbind, zep_select and zep_slot: the module's operations
// found by set or slot name, each set's argument read from text as the set's
// row in entries/sets.def gives its kind.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

#include "interface.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::c {
namespace {

enum class Argument { ModelCode, ModelText, UseFlag, None };

// What the host passed as `model`, read for the operation.
struct Model {
  std::int32_t number = 0;
  std::string text;
};

struct SetOperations {
  const char* set;
  Argument bindArgument;
  Argument unbindArgument;
  bool (*bind)(const Model& model);
  bool (*unbind)(const Model& model);
};

struct Selection {
  const char* set;
  Argument argument;
  std::string (*select)(const Model& model);
};

struct Slot {
  const char* name;
  void* const* slot;
};

// The module's operation called with the model, by argument kind.
#define ZEP_C_WITH_ModelCode(operation) operation(model.number)
#define ZEP_C_WITH_UseFlag(operation) operation(model.number)
#define ZEP_C_WITH_ModelText(operation) operation(model.text)
#define ZEP_C_WITH_None(operation) operation()

// The ten sets' bind and unbind operations.
const SetOperations kSets[] = {
#define ZEP_SET(set, bindArgument, unbindArgument)              \
  {#set, Argument::bindArgument, Argument::unbindArgument,      \
   []([[maybe_unused]] const Model& model) {                    \
     return ZEP_C_WITH_##bindArgument(InstanciaFuncoes_##set);  \
   },                                                           \
   []([[maybe_unused]] const Model& model) {                    \
     return ZEP_C_WITH_##unbindArgument(FinalizaFuncoes_##set); \
   }},
#include "zep00001/entries/sets.def"
};

// The four selections.
const Selection kSelections[] = {
#define ZEP_SELECTION(set, argument) \
  {#set, Argument::argument,         \
   [](const Model& model) { return ZEP_C_WITH_##argument(RetNomeBpl_##set); }},
#include "zep00001/entries/sets.def"
};

// The 181 slots.
const Slot kSlots[] = {
#define ZEP_ENTRY(slot) {#slot, &::slot},
#include "zep00001/entries/slots.def"
};

bool sameLetters(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(left[i]) != lower(right[i])) return false;
  }
  return true;
}

template <class Pointer>
Pointer required(Pointer pointer, const char* what) {
  if (pointer == nullptr) throw ArgumentError(std::string(what) + " is a null pointer");
  return pointer;
}

const SetOperations& setNamed(const char* name) {
  required(name, "set");
  for (const SetOperations& operations : kSets) {
    if (sameLetters(name, operations.set)) return operations;
  }
  std::string message = "unknown slot set " + quoted(name) + "; the sets are";
  const char* separator = " ";
  for (const SetOperations& operations : kSets) {
    message.append(separator).append(operations.set);
    separator = ", ";
  }
  throw ArgumentError(message);
}

const char* argumentName(Argument argument) {
  return argument == Argument::UseFlag ? "use flag" : "model code";
}

std::int32_t decimal(std::string_view text, Argument argument, const std::string& operation) {
  std::int32_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw ArgumentError(std::string("the ") + argumentName(argument) + " " + quoted(text) +
                        " for " + operation + " is no 32-bit decimal number");
  }
  return number;
}

// The host's `model` as `operation` takes it.
Model modelFor(Argument argument, const char* model, const std::string& operation) {
  if (argument == Argument::None) {
    if (model != nullptr && *model != '\0') {
      throw ArgumentError(operation + " takes no model code, but was given " + quoted(model));
    }
    return {};
  }
  if (model == nullptr) {
    throw ArgumentError(std::string("the ") + argumentName(argument) + " for " + operation +
                        " is a null pointer");
  }
  if (argument == Argument::ModelText) return {0, model};
  return {decimal(model, argument, operation), {}};
}

// The module's operations report failure by raising; a false result would
// be a failure that says nothing, so it is not taken as success.
void expectTrue(bool result, const std::string& operation) {
  if (!result) throw std::runtime_error(operation + " returned false");
}

}  // namespace
}  // namespace zep::c

extern "C" {

int ZEP_CALL zep_bind(const char* set, const char* model) {
  using namespace zep::c;
  return guardedCode([&] {
    const SetOperations& operations = setNamed(set);
    const std::string operation = std::string("InstanciaFuncoes_") + operations.set;
    expectTrue(operations.bind(modelFor(operations.bindArgument, model, operation)), operation);
  });
}

int ZEP_CALL zep_unbind(const char* set, const char* model) {
  using namespace zep::c;
  return guardedCode([&] {
    const SetOperations& operations = setNamed(set);
    const std::string operation = std::string("FinalizaFuncoes_") + operations.set;
    expectTrue(operations.unbind(modelFor(operations.unbindArgument, model, operation)), operation);
  });
}

int ZEP_CALL zep_select(const char* set, const char* model, char* out, size_t* size) {
  using namespace zep::c;
  return guardedCode([&] {
    required(size, "size");
    const SetOperations& operations = setNamed(set);
    for (const Selection& selection : kSelections) {
      if (std::strcmp(selection.set, operations.set) != 0) continue;
      const std::string operation = std::string("RetNomeBpl_") + selection.set;
      writeText(selection.select(modelFor(selection.argument, model, operation)), out, size);
      return;
    }
    throw ArgumentError(std::string(operations.set) +
                        " has no selection: its package name is fixed");
  });
}

void* ZEP_CALL zep_slot(const char* slot) {
  using namespace zep::c;
  return guarded<void*>(nullptr, [&] {
    required(slot, "slot");
    for (const Slot& row : kSlots) {
      if (std::strcmp(row.name, slot) == 0) return *row.slot;
    }
    std::string message = "unknown slot " + quoted(slot);
    for (const Slot& row : kSlots) {
      if (sameLetters(row.name, slot)) {
        message += "; slot names match exactly, letter case included: did you mean " +
                   quoted(row.name) + "?";
      }
    }
    throw ArgumentError(message);
  });
}

}  // extern "C"
