// The simulated fiscal printer: prints coupons on the paper it is started
// with and keeps every closed coupon in its journal.
#include "fiscal_printer.hpp"

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "driver_export.hpp"
#include "money.hpp"

namespace fiscal = zep::simulated::fiscal;
using fiscal::Status;

extern "C" {
ZEP_DRIVER_API fiscal::StartImpFiscal StartImpFiscal;
ZEP_DRIVER_API fiscal::StopImpFiscal StopImpFiscal;
ZEP_DRIVER_API fiscal::AbreCupom AbreCupom;
ZEP_DRIVER_API fiscal::VendaItem VendaItem;
ZEP_DRIVER_API fiscal::ImpressaoVenda ImpressaoVenda;
ZEP_DRIVER_API fiscal::FechaCupom FechaCupom;
ZEP_DRIVER_API fiscal::Nr_Cupom Nr_Cupom;
ZEP_DRIVER_API fiscal::RetornoImpFiscal RetornoImpFiscal;
ZEP_DRIVER_API fiscal::Leitura_X_Imp Leitura_X_Imp;
ZEP_DRIVER_API fiscal::geraEspelhoMfd geraEspelhoMfd;
}

namespace {

using zep::simulated::formatQuantity;
using zep::simulated::formatReais;
using zep::simulated::toCentavos;
using zep::simulated::zeroPadded;

constexpr std::size_t kWidth = 40;
const std::string kRule(kWidth, '-');

struct Coupon {
  std::int32_t number = 0;
  std::int64_t total = 0;  // centavos
  bool totalled = false;
  std::vector<std::string> printed;
};

struct Printer {
  fiscal::Paper* paper = nullptr;
  void* context = nullptr;
  bool open = false;
  Coupon coupon;
  std::int32_t lastNumber = 0;
  int items = 0;
  std::vector<Coupon> journal;
  std::string refusal;
} printer;

// A refusal of the printer's own, carried out of an entry by guarded().
struct Refusal {
  Status status;
  std::string reason;
};

// Runs one command: a refusal or a malformed block becomes the status and
// the reason RetornoImpFiscal gives, so that nothing is thrown at the host.
template <class Command>
Status guarded(Command command) {
  try {
    command();
    printer.refusal.clear();
    return Status::Ok;
  } catch (const Refusal& refusal) {
    printer.refusal = refusal.reason;
    return refusal.status;
  } catch (const std::exception& error) {
    printer.refusal = std::string("malformed block: ") + error.what();
    return Status::BadBlock;
  }
}

void require(bool condition, Status status, const std::string& reason) {
  if (!condition) throw Refusal{status, reason};
}

void requireStarted() { require(printer.paper != nullptr, Status::NotStarted, "not started"); }

void requireCoupon() {
  requireStarted();
  require(printer.open, Status::NoCoupon, "no coupon is open");
}

// The block is read through the C interface's readers; it stays the host's.
std::size_t pair(const zep_block* block, const char* key, int tag) {
  require(block != nullptr, Status::BadBlock, "the block is a null pointer");
  const std::size_t size = zep_block_size(block);
  for (std::size_t pair = 0; pair < size; ++pair) {
    const char* name = zep_block_key(block, pair);
    if (name == nullptr || std::strcmp(name, key) != 0) continue;
    require(zep_block_tag(block, pair) == tag, Status::BadBlock,
            std::string(key) + " is not a " + (tag == ZEP_TAG_STRING ? "String" : "Double"));
    return pair;
  }
  throw Refusal{Status::BadBlock, std::string("the block has no ") + key};
}

std::string text(const zep_block* block, const char* key) {
  std::size_t length = 0;
  const char* value = zep_block_string(block, pair(block, key, ZEP_TAG_STRING), &length);
  return std::string(value, length);
}
double number(const zep_block* block, const char* key) {
  return zep_block_double(block, pair(block, key, ZEP_TAG_DOUBLE));
}

// `left` and `right` on one line of the paper, `right` flush right.
std::string spread(const std::string& left, const std::string& right) {
  std::size_t used = left.size() + right.size();
  return left + std::string(used < kWidth ? kWidth - used : 1, ' ') + right;
}

std::string centred(const std::string& line) {
  return std::string(line.size() < kWidth ? (kWidth - line.size()) / 2 : 0, ' ') + line;
}

// Every printed line goes to the paper and into the coupon's journal copy.
void print(const std::string& line) {
  printer.paper(printer.context, line.c_str());
  if (printer.open) printer.coupon.printed.push_back(line);
}

}  // namespace

Status StartImpFiscal(fiscal::Paper* paper, void* context) {
  return guarded([&] {
    require(paper != nullptr, Status::NotStarted, "the paper is a null pointer");
    printer.paper = paper;
    printer.context = context;
  });
}

Status StopImpFiscal() {
  return guarded([] {
    requireStarted();
    require(!printer.open, Status::CouponOpen, "a coupon is open");
    printer.paper = nullptr;
  });
}

Status AbreCupom(const zep_block* block) {
  return guarded([&] {
    requireStarted();
    require(!printer.open, Status::CouponOpen, "a coupon is open");
    // Read the whole block before anything reaches the paper.
    const std::string includeCpf = text(block, "INCLUICPF");
    const std::string document = text(block, "NRDOC");
    const std::string documentKind = text(block, "TIPODOC");
    const std::string table = text(block, "MESA");
    printer.open = true;
    printer.items = 0;
    printer.coupon = Coupon{};
    printer.coupon.number = printer.lastNumber + 1;
    print(centred("SIMULATED ECF " ZEP_SIMULATED_PACKAGE));
    print(kRule);
    print("COO: " + zeroPadded(printer.coupon.number, 6));
    if (includeCpf == "S" && !document.empty()) {
      print("CONSUMIDOR " + (documentKind.empty() ? "CPF" : documentKind) + ": " + document);
    }
    if (!table.empty()) print("MESA: " + table);
    print(kRule);
    print(centred("CUPOM FISCAL"));
    print("ITEM CODIGO DESCRICAO");
    print(spread("     QTD UN x VL UNIT  ST", "VL ITEM"));
    print(kRule);
  });
}

Status VendaItem(const zep_block* block) {
  return guarded([&] {
    requireCoupon();
    require(!printer.coupon.totalled, Status::NotTotalled, "the sale is already totalled");
    const std::string code = text(block, "CDARVPROD");
    const std::string name = text(block, "NMPROD");
    const std::string unit = text(block, "UNIDADE");
    const std::string tax = text(block, "CDALIQ");
    const double quantity = number(block, "QTDE");
    const double price = number(block, "VALOR");
    const std::int64_t discount = toCentavos(number(block, "DESCONT"));
    const std::int64_t surcharge = toCentavos(number(block, "ACRESCIMO"));
    require(quantity > 0, Status::BadBlock, "QTDE must be above zero");
    const std::int64_t value = toCentavos(quantity * price) - discount + surcharge;
    require(value >= 0, Status::BadBlock, "DESCONT exceeds the item's value");
    print(zeroPadded(++printer.items, 3) + ' ' + code + ' ' + name);
    print(spread("     " + formatQuantity(quantity) + ' ' + unit + " x " +
                     formatReais(toCentavos(price)) + "  " + tax,
                 formatReais(toCentavos(quantity * price))));
    // A sign as a char: GCC 12 warns falsely (-Wrestrict) of a literal before a temporary string.
    if (discount != 0) print(spread("     desconto", '-' + formatReais(discount)));
    if (surcharge != 0) print(spread("     acrescimo", '+' + formatReais(surcharge)));
    printer.coupon.total += value;
  });
}

Status ImpressaoVenda(const zep_block* block, double* total) {
  return guarded([&] {
    requireCoupon();
    require(total != nullptr, Status::BadBlock, "total is a null pointer");
    const std::string branch = text(block, "CDFILIAL");
    const std::string till = text(block, "CDCAIXA");
    const std::string consumer = text(block, "NMCONSUMIDOR");
    const std::string remark = text(block, "DSOBSCUPFIS");
    const std::string password = text(block, "SENHACUPOM");
    const double debit = number(block, "SALDODEBITO");
    print(kRule);
    print(spread("SUBTOTAL R$", formatReais(printer.coupon.total)));
    print(spread("LOJA " + branch, "CAIXA " + till));
    if (!consumer.empty()) print("CONSUMIDOR: " + consumer);
    if (!password.empty()) print("SENHA: " + password);
    if (!remark.empty()) print("OBS: " + remark);
    if (toCentavos(debit) != 0) print(spread("SALDO DEVEDOR R$", formatReais(toCentavos(debit))));
    printer.coupon.totalled = true;
    *total = static_cast<double>(printer.coupon.total) / 100.0;
  });
}

Status FechaCupom(const char* method, double paid) {
  return guarded([&] {
    requireCoupon();
    require(method != nullptr, Status::BadBlock, "the method is a null pointer");
    require(printer.coupon.totalled, Status::NotTotalled, "the sale is not totalled yet");
    const std::int64_t tendered = toCentavos(paid);
    require(tendered >= printer.coupon.total, Status::Underpaid,
            "paid " + formatReais(tendered) + " of " + formatReais(printer.coupon.total));
    print(kRule);
    print(spread("TOTAL R$", formatReais(printer.coupon.total)));
    print(spread(method, formatReais(tendered)));
    print(spread("TROCO R$", formatReais(tendered - printer.coupon.total)));
    print(kRule);
    print(centred("SIMULATED - SEM VALOR FISCAL"));
    printer.open = false;
    printer.lastNumber = printer.coupon.number;
    printer.journal.push_back(printer.coupon);
  });
}

std::int32_t Nr_Cupom() { return printer.lastNumber; }

const char* RetornoImpFiscal() { return printer.refusal.c_str(); }

Status Leitura_X_Imp() {
  return guarded([] {
    requireStarted();
    require(!printer.open, Status::CouponOpen, "a coupon is open");
    std::int64_t sales = 0;
    for (const Coupon& coupon : printer.journal) sales += coupon.total;
    print(centred("LEITURA X"));
    print(spread("CUPONS", std::to_string(printer.journal.size())));
    print(spread("VENDA BRUTA R$", formatReais(sales)));
    print(kRule);
  });
}

Status geraEspelhoMfd(fiscal::Paper* paper, void* context) {
  return guarded([&] {
    require(paper != nullptr, Status::NotStarted, "the paper is a null pointer");
    for (const Coupon& coupon : printer.journal) {
      for (const std::string& line : coupon.printed) paper(context, line.c_str());
    }
  });
}
