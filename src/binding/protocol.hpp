// The binding protocol, written once over a row of the table of the sets.
#pragma once

#include <string>

#include "binding/internal.hpp"
#include "binding/sets.hpp"

namespace zep::binding {

using sets::Model;
using sets::SlotSet;

// Has the set's package loaded and fills its slots; see the host header for
// what each departure of the row changes.
bool bind(const SlotSet& set, const Model& model);
// Clears the set's slots and has its package unloaded.
bool unbind(const SlotSet& set, const Model& model);

// Each set's run-time state, indexed like the rows.
internal::SetState* states();
// The package the set's latest bind loaded, "" while unbound.
std::string boundPackage(const SlotSet& set);

// The message of the binding failure for a package.
std::string failureMessage(const std::string& package);

}  // namespace zep::binding
