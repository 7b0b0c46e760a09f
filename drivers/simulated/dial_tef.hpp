// The simulated dial TEF, package Zep00500: the entries it simulates and
// their signatures, for a host to cast the slots to.
//
// The simulated card network approves every amount from one centavo up to
// kApprovalLimit reais and declines the others.
#pragma once

#include <cstdint>
#include <string>

namespace zep::simulated::dial_tef {

enum Status : std::int32_t { Approved = 0, Declined = 1 };

inline constexpr double kApprovalLimit = 5000.0;

// The next transaction sequence number, from 1.
using GetSequence = std::int32_t();
// Runs a sale of `amount` reais; an approval's code goes into `authorisation`.
using DoTef = Status(double amount, std::string& authorisation);

}  // namespace zep::simulated::dial_tef
