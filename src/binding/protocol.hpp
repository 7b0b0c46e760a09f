// The binding protocol, written once over a description of each slot set.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zep::binding {

// One row of an entry table: the exported name looked up, and its slot.
struct Entry {
  const char* name;
  void** slot;
};

// What the host passed to a bind or unbind: a model code or use flag, or a
// text model code, or nothing.
struct Model {
  std::int32_t code = 0;
  const std::string* text = nullptr;
};

// Where the sets depart from the common protocol.
enum class Gate { Always, PositiveUseFlag };     // cheque printer: flag > 0
enum class EmptyName { PassOn, NothingToBind };  // fiscal printer: bind nothing
enum class Failure { Raise, TellOperator };      // cheque printer: Mensagem
enum class Unbind {
  ClearThenSelect,  // guarded clearing, then select and unload
  SelectAndClear,   // reader: selection and clearing under one guard
  Unguarded,        // service sets: no guard at all
};

struct SlotSet {
  std::span<const Entry> entries;
  // The package: a fixed name, or the selection over the model.
  const char* fixedPackage;
  std::string (*select)(const Model& model);
  Gate gate;
  EmptyName emptyName;
  Failure failure;
  Unbind unbind;
  // Written by the bind, read by its lookups, and by nothing else.
  void* moduleHandle = nullptr;
};

bool bind(SlotSet& set, const Model& model);
bool unbind(SlotSet& set, const Model& model);

// The message of the binding failure for a package.
std::string failureMessage(const std::string& package);

}  // namespace zep::binding
