// The simulated dedicated TEF: a PIN pad at which the customer types a CPF.
#include "dedicated_tef.hpp"

#include "driver_export.hpp"

namespace dedicated_tef = zep::simulated::dedicated_tef;
using dedicated_tef::Status;

extern "C" {
ZEP_DRIVER_API dedicated_tef::StarTefDedicado StarTefDedicado;
ZEP_DRIVER_API dedicated_tef::StopTefDedicado StopTefDedicado;
ZEP_DRIVER_API dedicated_tef::DigitaCpfPinpad DigitaCpfPinpad;
}

namespace {
bool started = false;
}

Status StarTefDedicado() {
  started = true;
  return Status::Ok;
}

Status StopTefDedicado() {
  if (!started) return Status::NotStarted;
  started = false;
  return Status::Ok;
}

Status DigitaCpfPinpad(std::string& cpf) {
  if (!started) return Status::NotStarted;
  cpf = dedicated_tef::kCustomerCpf;
  return Status::Ok;
}
