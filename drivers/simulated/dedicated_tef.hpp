// The simulated dedicated TEF, package Tef00000: the entries it simulates and
// their signatures, for a host to cast the slots to.
#pragma once

#include <cstdint>
#include <string>

namespace zep::simulated::dedicated_tef {

enum Status : std::int32_t { Ok = 0, NotStarted = 1 };

// What the simulated customer types on the PIN pad.
inline constexpr const char* kCustomerCpf = "52998224725";

using StarTefDedicado = Status();
using StopTefDedicado = Status();
// The CPF typed on the PIN pad, digits only, into `cpf`.
using DigitaCpfPinpad = Status(std::string& cpf);

}  // namespace zep::simulated::dedicated_tef
