// The simulated cheque printer: fills in the face of a cheque on its paper.
#include "cheque_printer.hpp"

#include "driver_export.hpp"
#include "money.hpp"

namespace cheque = zep::simulated::cheque;
using cheque::Status;

extern "C" {
ZEP_DRIVER_API cheque::StartImpCheque StartImpCheque;
ZEP_DRIVER_API cheque::ImpChqChar ImpChqChar;
ZEP_DRIVER_API cheque::StopImpCheque StopImpCheque;
}

namespace {
std::ostream* paper = nullptr;
}

Status StartImpCheque(std::ostream& target) {
  paper = &target;
  return Status::Ok;
}

Status ImpChqChar(double value, const std::string& payee, const std::string& city,
                  const std::string& date) {
  if (paper == nullptr) return Status::NotStarted;
  const std::int64_t centavos = zep::simulated::toCentavos(value);
  if (centavos <= 0) return Status::BadValue;
  *paper << "R$ " << zep::simulated::formatReais(centavos) << "\nPague-se a " << payee << '\n'
         << city << ", " << date << '\n';
  return Status::Ok;
}

Status StopImpCheque() {
  if (paper == nullptr) return Status::NotStarted;
  paper = nullptr;
  return Status::Ok;
}
