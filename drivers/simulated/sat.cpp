// The simulated SAT: issues sales their access keys.
#include "sat.hpp"

#include <chrono>

#include "driver_export.hpp"
#include "money.hpp"

namespace sat = zep::simulated::sat;
using sat::Status;

extern "C" {
ZEP_DRIVER_API sat::Start_Sat Start_Sat;
ZEP_DRIVER_API sat::EmitirVenda EmitirVenda;
ZEP_DRIVER_API sat::Consultar_Sat Consultar_Sat;
}

namespace {

bool activated = false;
int saleNumber = 0;

// Weights 2 to 9 from the right, repeating; 10 and 11 give 0.
char checkDigit(const std::string& digits) {
  int sum = 0;
  int weight = 2;
  for (auto at = digits.rbegin(); at != digits.rend(); ++at) {
    sum += (*at - '0') * weight;
    weight = weight == 9 ? 2 : weight + 1;
  }
  const int digit = 11 - sum % 11;
  return static_cast<char>('0' + (digit >= 10 ? 0 : digit));
}

}  // namespace

Status Start_Sat(const std::string& activationCode) {
  if (activationCode != sat::kActivationCode) return Status::WrongCode;
  activated = true;
  return Status::Ok;
}

Status EmitirVenda(const std::string& sale, std::string& accessKey) {
  if (!activated) return Status::NotActivated;
  if (sale.empty()) return Status::EmptySale;
  const std::chrono::year_month_day today{
      std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
  saleNumber = saleNumber % 999999 + 1;
  using zep::simulated::zeroPadded;
  // State 35, issuer 11222333000181, model 59, device 900000001, then the
  // sale number and a code drawn from it.
  accessKey = "35" + zeroPadded(static_cast<int>(today.year()) % 100, 2) +
              zeroPadded(static_cast<unsigned>(today.month()), 2) + "11222333000181" + "59" +
              "900000001" + zeroPadded(saleNumber, 6) +
              zeroPadded(saleNumber * 7919LL % 1000000, 6);
  accessKey += checkDigit(accessKey);
  return Status::Ok;
}

const char* Consultar_Sat() { return activated ? "em operacao" : "nao ativado"; }
