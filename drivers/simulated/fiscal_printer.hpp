// The simulated fiscal printer (ECF), package ZEP00101: the entries it
// simulates and their signatures, for a host to cast the slots to.
//
// It prints a coupon from the parameter blocks the module builds: AbreCupom
// takes the block of Params_AbreCupom_Zep00000, VendaItem that of
// Params_VendaItem_Zep00000 (VALOR is the unit price), ImpressaoVenda that of
// Params_ImpressaoVenda_Zep00000. Every coupon it closes goes into its
// journal, which lives as long as the package stays loaded. Each entry
// returns a Status; after a refusal RetornoImpFiscal says why.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "zep00001/value.hpp"

namespace zep::simulated::fiscal {

enum Status : std::int32_t {
  Ok = 0,
  NotStarted = 1,
  CouponOpen = 2,   // a coupon is open, and the command needs none
  NoCoupon = 3,     // the command needs an open coupon
  BadBlock = 4,     // a pair is missing or holds the wrong tag
  NotTotalled = 5,  // FechaCupom before ImpressaoVenda, or a sale after it
  Underpaid = 6,
};

// Prints on `paper` from now until StopImpFiscal; the stream must live as
// long. Starting a started printer moves it to the new paper.
using StartImpFiscal = Status(std::ostream& paper);
// Refused while a coupon is open.
using StopImpFiscal = Status();
using AbreCupom = Status(const zep::Value& block);
// The item's value is QTDE times VALOR to the centavo, less DESCONT, plus
// ACRESCIMO.
using VendaItem = Status(const zep::Value& block);
// Prints the subtotal and the sale's details, and gives the coupon's total.
using ImpressaoVenda = Status(const zep::Value& block, double& total);
// Takes `paid` in `method`, prints the change and closes the coupon.
using FechaCupom = Status(const std::string& method, double paid);
// The number (COO) of the last coupon closed, 0 before the first.
using Nr_Cupom = std::int32_t();
// Why the last command was refused; empty after one that succeeded.
using RetornoImpFiscal = const char*();
// The X reading: coupons and sales in the journal so far.
using Leitura_X_Imp = Status();
// A copy of every coupon in the journal, as printed, onto `out`.
using geraEspelhoMfd = Status(std::ostream& out);

}  // namespace zep::simulated::fiscal
