// zep_bind, zep_unbind, zep_select and zep_slot: the module's operations
// found by set or slot name, each set's argument read from text as the set's
// row in entries/sets.def gives its kind.
#include <charconv>
#include <cstdint>
#include <cstring>
#include <stdexcept>
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

// One of the module's operations, called with the host's `model` text.
template <class Result>
struct Operation {
  const char* name;
  Argument argument;
  Result (*call)(const Model& model);

  Result operator()(const char* model) const { return call(modelFor(argument, model, name)); }
};

struct SetOperations {
  const char* set;
  Operation<bool> bind;
  Operation<bool> unbind;
};

struct Selection {
  const char* set;
  Operation<std::string> select;
};

struct Slot {
  const char* name;
  void* const* slot;
};

// The module's operation <prefix><set>, called with the model by argument kind.
#define ZEP_C_WITH_ModelCode(operation) operation(model.number)
#define ZEP_C_WITH_UseFlag(operation) operation(model.number)
#define ZEP_C_WITH_ModelText(operation) operation(model.text)
#define ZEP_C_WITH_None(operation) operation()
// clang-format off
#define ZEP_C_OPERATION(prefix, set, argument)                                   \
  {#prefix #set, Argument::argument, []([[maybe_unused]] const Model& model) {   \
     return ZEP_C_WITH_##argument(prefix##set);                                  \
   }}
// clang-format on

// The ten sets' bind and unbind operations.
const SetOperations kSets[] = {
#define ZEP_SET(set, bindArgument, unbindArgument)              \
  {#set, ZEP_C_OPERATION(InstanciaFuncoes_, set, bindArgument), \
   ZEP_C_OPERATION(FinalizaFuncoes_, set, unbindArgument)},
#include "zep00001/entries/sets.def"
};

// The four selections.
const Selection kSelections[] = {
#define ZEP_SELECTION(set, argument) {#set, ZEP_C_OPERATION(RetNomeBpl_, set, argument)},
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

// The set's bind or unbind. The module's operations report failure by
// raising; a false result would be a failure that says nothing, so it is not
// taken as success.
int perform(const char* set, const char* model, Operation<bool> SetOperations::*which) {
  return guardedCode([&] {
    const Operation<bool>& operation = setNamed(set).*which;
    if (!operation(model))
      throw std::runtime_error(std::string(operation.name) + " returned false");
  });
}

}  // namespace
}  // namespace zep::c

extern "C" {

int ZEP_CALL zep_bind(const char* set, const char* model) {
  return zep::c::perform(set, model, &zep::c::SetOperations::bind);
}

int ZEP_CALL zep_unbind(const char* set, const char* model) {
  return zep::c::perform(set, model, &zep::c::SetOperations::unbind);
}

int ZEP_CALL zep_select(const char* set, const char* model, char* out, size_t* size) {
  using namespace zep::c;
  return guardedCode([&] {
    required(size, "size");
    const SetOperations& operations = setNamed(set);
    for (const Selection& selection : kSelections) {
      if (std::strcmp(selection.set, operations.set) == 0) {
        return writeText(selection.select(model), out, size);
      }
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
