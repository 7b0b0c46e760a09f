// The simulated SAT, package zep03000: the entries it simulates and their
// signatures, for a host to cast the slots to.
//
// It issues each sale an access key of 44 digits laid out as a real one
// (state, year and month, issuer, model 59, device, sale number, code, and a
// modulo-11 check digit), with the simulator's own issuer and device.
#pragma once

#include <cstdint>
#include <string>

namespace zep::simulated::sat {

enum Status : std::int32_t { Ok = 0, NotActivated = 1, WrongCode = 2, EmptySale = 3 };

// The activation code the simulated device was set up with.
inline constexpr const char* kActivationCode = "12345678";

using Start_Sat = Status(const std::string& activationCode);
// Issues the sale (its document, opaque to the simulator) and gives its key.
using EmitirVenda = Status(const std::string& sale, std::string& accessKey);
// "em operacao" once activated, "nao ativado" before.
using Consultar_Sat = const char*();

}  // namespace zep::simulated::sat
