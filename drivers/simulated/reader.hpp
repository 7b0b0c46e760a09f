// The simulated proximity reader, package ZEP00800: the entry it simulates
// and its signature, for a host to cast the slot to.
#pragma once

#include <cstdint>
#include <string>

namespace zep::simulated::reader {

// The simulator's wallet: the badges held to the reader, in turn.
inline constexpr const char* kBadges[] = {"0004521876", "0004521877", "0009930012"};

// The next badge's number into `badge`; returns 0.
using LeitorProximidade = std::int32_t(std::string& badge);

}  // namespace zep::simulated::reader
