// The simulated proximity reader: reads the badges of its wallet in turn.
#include "reader.hpp"

#include <iterator>

#include "driver_export.hpp"

namespace reader = zep::simulated::reader;

extern "C" ZEP_DRIVER_API reader::LeitorProximidade LeitorProximidade;

namespace {
std::size_t next = 0;
}

std::int32_t LeitorProximidade(std::string& badge) {
  badge = reader::kBadges[next];
  next = (next + 1) % std::size(reader::kBadges);
  return 0;
}
