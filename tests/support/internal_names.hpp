// The module's internal entries, as their own list gives them: exported
// apart from the host-visible names, for the module's companions.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> internalNames() {
  std::vector<std::string> names;
#define ZEP_INTERNAL_ENTRY(name) names.push_back(#name);
#include "binding/internal.def"
  return names;
}
