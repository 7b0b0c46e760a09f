// The simulated fiscal printer (ECF), package ZEP00101: the entries it
// simulates and their signatures, for a host to cast the slots to.
//
// It prints a coupon from the parameter blocks the C interface builds:
// AbreCupom takes the block of zep_Params_AbreCupom_Zep00000, VendaItem that
// of zep_Params_VendaItem_Zep00000 (VALOR is the unit price), ImpressaoVenda
// that of zep_Params_ImpressaoVenda_Zep00000, each a const zep_block* that the
// host keeps and frees. Every coupon it closes goes into its journal, which
// lives as long as the package stays loaded. Each entry returns a Status;
// after a refusal RetornoImpFiscal says why. The signatures are C's, so that
// a host in any language calls them.
#pragma once

#include <cstdint>

#include "zep00001/zep00001_c.h"

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

// The paper: receives each printed line, without its newline, with the
// `context` the printer was started with.
using Paper = void(void* context, const char* line);

// Prints on `paper` from now until StopImpFiscal. Starting a started printer
// moves it to the new paper.
using StartImpFiscal = Status(Paper* paper, void* context);
// Refused while a coupon is open.
using StopImpFiscal = Status();
using AbreCupom = Status(const zep_block* block);
// The item's value is QTDE times VALOR to the centavo, less DESCONT, plus
// ACRESCIMO.
using VendaItem = Status(const zep_block* block);
// Prints the subtotal and the sale's details, and gives the coupon's total.
using ImpressaoVenda = Status(const zep_block* block, double* total);
// Takes `paid` in `method`, prints the change and closes the coupon.
using FechaCupom = Status(const char* method, double paid);
// The number (COO) of the last coupon closed, 0 before the first.
using Nr_Cupom = std::int32_t();
// Why the last command was refused; empty after one that succeeded.
using RetornoImpFiscal = const char*();
// The X reading: coupons and sales in the journal so far.
using Leitura_X_Imp = Status();
// A copy of every coupon in the journal, as printed, onto `paper`.
using geraEspelhoMfd = Status(Paper* paper, void* context);

}  // namespace zep::simulated::fiscal
