// What zep-host demo prints, as far as the tests of both its builds share it.
#pragma once

#include <string>

#include "catalog/catalog.hpp"

// The demo's last line when every set is unbound again.
inline std::string allNullAgain() {
  return "\nAll " + std::to_string(zep::catalog::slotCount()) + " slots are null again.\n";
}
