// zep_bind, zep_unbind, zep_select and zep_slot: the module's operations
// found by set or slot name in the catalogue, each set's argument read from
// text as its kind wants it.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "catalog/catalog.hpp"
#include "interface.hpp"

namespace zep::c {
namespace {

using catalog::Argument;
using catalog::Model;
using catalog::Operation;
using catalog::SlotSet;

// The host's `model` as `operation` takes it.
template <class Result>
Model modelFor(const Operation<Result>& operation, const char* model) {
  const std::string name(operation.name);
  const Argument argument = operation.argument;
  if (argument == Argument::None) {
    if (model != nullptr && *model != '\0') {
      throw ArgumentError(name + " takes no model code, but was given " + quoted(model));
    }
    return {};
  }
  const std::string what = "the " + std::string(catalog::argumentName(argument));
  if (model == nullptr) throw ArgumentError(what + " for " + name + " is a null pointer");
  std::optional<Model> read = catalog::readModel(argument, model);
  if (!read) {
    throw ArgumentError(what + " " + quoted(model) + " for " + name +
                        " is no 32-bit decimal number");
  }
  return *read;
}

template <class Pointer>
Pointer required(Pointer pointer, const char* what) {
  if (pointer == nullptr) throw ArgumentError(std::string(what) + " is a null pointer");
  return pointer;
}

const SlotSet& setNamed(const char* name) {
  required(name, "set");
  if (const SlotSet* set = catalog::findSet(name)) return *set;
  std::string message = "unknown slot set " + quoted(name) + "; the sets are";
  const char* separator = " ";
  for (const SlotSet& set : catalog::sets()) {
    message.append(separator).append(set.name);
    separator = ", ";
  }
  throw ArgumentError(message);
}

// The set's bind or unbind. The module's operations report failure by
// raising; a false result would be a failure that says nothing, so it is not
// taken as success.
int perform(const char* set, const char* model, Operation<bool> SlotSet::*which) {
  return guardedCode([&] {
    const SlotSet& named = setNamed(set);
    const Operation<bool>& operation = named.*which;
    const Model read = modelFor(operation, model);
    if (!operation(read)) throw std::runtime_error(std::string(operation.name) + " returned false");
  });
}

}  // namespace
}  // namespace zep::c

extern "C" {

int ZEP_CALL zep_bind(const char* set, const char* model) {
  return zep::c::perform(set, model, &zep::catalog::SlotSet::bind);
}

int ZEP_CALL zep_unbind(const char* set, const char* model) {
  return zep::c::perform(set, model, &zep::catalog::SlotSet::unbind);
}

int ZEP_CALL zep_select(const char* set, const char* model, char* out, size_t* size) {
  using namespace zep::c;
  return guardedCode([&] {
    required(size, "size");
    const zep::catalog::SlotSet& named = setNamed(set);
    if (!named.selects()) {
      throw ArgumentError(std::string(named.name) + " has no selection: its package name is fixed");
    }
    writeText(named.select(modelFor(named.select, model)), out, size);
  });
}

int ZEP_CALL zep_bound(const char* set, char* out, size_t* size) {
  using namespace zep::c;
  return guardedCode([&] {
    required(size, "size");
    const zep::catalog::SlotSet& named = setNamed(set);
    std::string package;
    if (named.boundSlots() != 0) {
      // The module records it for every bind, through this interface or
      // through its own exports.
      package = zep::catalog::module().boundPackage(named);
      // Slots filled by no bind the module saw.
      if (package.empty()) package = named.fixedPackage;
      // A char, not a one-letter literal: GCC 12 at -O3 warns of an overlap.
      if (package.empty()) package = '?';
    }
    writeText(package, out, size);
  });
}

void* ZEP_CALL zep_slot(const char* slot) {
  using namespace zep::c;
  return guarded<void*>(nullptr, [&] {
    required(slot, "slot");
    const std::string_view name = slot;
    for (const zep::catalog::SlotSet& set : zep::catalog::sets()) {
      for (const zep::catalog::Slot& row : set.slots) {
        if (row.name == name) return *row.address;
      }
    }
    std::string message = "unknown slot " + quoted(slot);
    for (const zep::catalog::SlotSet& set : zep::catalog::sets()) {
      for (const zep::catalog::Slot& row : set.slots) {
        if (zep::catalog::sameLetters(row.name, name)) {
          message += "; slot names match exactly, letter case included: did you mean " +
                     quoted(row.name) + "?";
        }
      }
    }
    throw ArgumentError(message);
  });
}

}  // extern "C"
