// The binding protocol, written once over a description of each slot set.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "catalog/kinds.hpp"

namespace zep::binding {

// One row of an entry table: the exported name looked up, and its slot.
struct Entry {
  const char* name;
  void** slot;
};

// What the host passed to a bind or unbind: a model code or use flag, or a
// text model code, or nothing. It points at the host's text rather than
// copying it, so that a bind allocates nothing before its package is named.
struct Model {
  std::int32_t code = 0;
  const std::string* text = nullptr;
};

// The words of the set rows.
using catalog::Departures;
using catalog::EmptyName;
using catalog::Failure;
using catalog::Gate;
using catalog::Unbind;

// One set's row of entries/sets.def, with its entry table.
struct SlotSet {
  std::span<const Entry> entries;
  // The package: a fixed name, or the selection over the model.
  const char* fixedPackage;
  std::string (*select)(const Model& model);
  Departures departures;
  // Written by the bind, read by its lookups, and by nothing else.
  void* moduleHandle = nullptr;
  // Held by the set's bind and unbind throughout: an unbind in one thread
  // must not unload the package that a bind in another is looking up
  // entries in. Recursive, since a bind may reach a host's message handler
  // that binds or unbinds the same set again.
  std::recursive_mutex busy{};
};

bool bind(SlotSet& set, const Model& model);
bool unbind(SlotSet& set, const Model& model);

// The message of the binding failure for a package.
std::string failureMessage(const std::string& package);

}  // namespace zep::binding
