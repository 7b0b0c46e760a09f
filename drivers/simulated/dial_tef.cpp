// The simulated dial TEF: numbers transactions and approves them by amount.
#include "dial_tef.hpp"

#include "driver_export.hpp"
#include "money.hpp"

namespace dial_tef = zep::simulated::dial_tef;
using dial_tef::Status;

extern "C" {
ZEP_DRIVER_API dial_tef::GetSequence GetSequence;
ZEP_DRIVER_API dial_tef::DoTef DoTef;
}

namespace {
std::int32_t sequence = 0;
}

std::int32_t GetSequence() { return ++sequence; }

Status DoTef(double amount, std::string& authorisation) {
  const std::int64_t centavos = zep::simulated::toCentavos(amount);
  if (centavos < 1 || centavos > zep::simulated::toCentavos(dial_tef::kApprovalLimit)) {
    return Status::Declined;
  }
  // A char: GCC 12 warns falsely (-Wrestrict) of a literal before a temporary string.
  authorisation = 'A' + zep::simulated::zeroPadded(GetSequence(), 6);
  return Status::Approved;
}
