// The simulated cheque printer, package ZEP00700: the entries it simulates
// and their signatures, for a host to cast the slots to.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace zep::simulated::cheque {

enum Status : std::int32_t { Ok = 0, NotStarted = 1, BadValue = 2 };

// Prints on `paper`, which must live until StopImpCheque.
using StartImpCheque = Status(std::ostream& paper);
// Fills in a cheque of `value` reais (above zero) to `payee`, dated `date` in
// `city`.
using ImpChqChar = Status(double value, const std::string& payee, const std::string& city,
                          const std::string& date);
using StopImpCheque = Status();

}  // namespace zep::simulated::cheque
