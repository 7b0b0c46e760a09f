// zep-host demo: the module's whole job, against the simulated devices.
#include <cstdlib>
#include <exception>
#include <functional>
#include <iomanip>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "catalog/catalog.hpp"
#include "display.hpp"
#include "fiscal_printer.hpp"
#include "host/commands.hpp"
#include "host/report.hpp"
#include "money.hpp"
#include "scale.hpp"
#include "zep00001/zep00001.hpp"

namespace zep::host {
namespace {

namespace simulated = zep::simulated;

using catalog::Argument;
using catalog::Model;
using catalog::showModel;
using catalog::Slot;
using catalog::SlotSet;

constexpr std::size_t kWidth = 100;

// A shared package or driver of the host's own may raise anything.
constexpr const char* kNoStdException = "an exception that is no std::exception";

// A slot, cast to the simulated entry's signature of the same name; a
// package that lacks the entry is a failure of the demo, not a crash.
template <class Signature>
Signature* entry(void* slot, const char* name) {
  if (slot == nullptr) throw std::runtime_error(std::string("the package lacks ") + name);
  return reinterpret_cast<Signature*>(slot);
}
#define ZEP_ENTRY(device, name) entry<simulated::device::name>(::name, #name)

struct Binding {
  const SlotSet* set;
  Model model;
  std::string package;
  // A package the tree bundles a simulated device for, so the demo binds it.
  bool simulated = false;
};

// The packages the tree bundles, from the build.
bool bundled(const std::string& package) {
  std::string_view names = ZEP_SIMULATED_PACKAGES;
  while (!names.empty()) {
    const std::size_t end = std::min(names.find(','), names.size());
    if (names.substr(0, end) == package) return true;
    names.remove_prefix(std::min(end + 1, names.size()));
  }
  return false;
}

// What the demo binds the set with: the first model code that selects a
// bundled package ("1" for the display, "4" for the scale, whose first codes
// select "X"), or a use flag of 1. A set without a simulated device is shown
// as such and left alone.
Binding demoBinding(const SlotSet& set) {
  if (!set.selects()) {
    const Model model{1, "1"};
    return {&set, model, std::string(set.fixedPackage), bundled(std::string(set.fixedPackage))};
  }
  for (std::int32_t code = 1; code < 100; ++code) {
    const Model model{code, std::to_string(code)};
    const std::string package = set.package(model);
    if (bundled(package)) return {&set, model, package, true};
  }
  return {&set, Model{}, "(none)", false};
}

// One row a set: model, package, slots bound, and the slots left null. With
// `names` the null slots are named, the first few on the row and the count
// of the rest, or with `every` all of them over as many lines as they take.
void printTable(std::ostream& out, const std::vector<Binding>& bindings, bool names, bool every) {
  out << "  set        model  package   slots" << (names ? "      left null" : "") << '\n';
  for (const Binding& binding : bindings) {
    const SlotSet& set = *binding.set;
    std::ostringstream row;
    row << "  " << std::left << std::setw(11) << set.name << std::setw(7)
        << (set.bind.argument == Argument::None ? "-" : showModel(set.bind.argument, binding.model))
        << std::setw(10) << binding.package << std::right << std::setw(3) << set.boundSlots()
        << " of " << std::setw(3) << set.slots.size() << "  ";
    std::string line = row.str();
    const std::size_t column = line.size();
    std::vector<std::string_view> nulls;
    for (const Slot& slot : set.slots) {
      if (*slot.address == nullptr) nulls.push_back(slot.name);
    }
    if (names && !binding.simulated) {
      line += "not bound: no simulated device";
    } else if (nulls.empty()) {
      line += "none";
    } else if (!names) {
      if (nulls.size() == set.slots.size()) line += "all null";
    } else if (every) {
      for (std::size_t i = 0; i < nulls.size(); ++i) {
        if (i > 0 && line.size() + 2 + nulls[i].size() > kWidth) {
          out << line << ",\n";
          line = std::string(column, ' ');
        } else if (i > 0) {
          line += ", ";
        }
        line += nulls[i];
      }
    } else {
      std::size_t shown = 0;
      for (; shown < nulls.size(); ++shown) {
        const std::size_t rest = nulls.size() - shown - 1;
        const std::size_t more = rest == 0 ? 0 : (" and " + std::to_string(rest) + " more").size();
        if (shown > 0 && line.size() + 2 + nulls[shown].size() + more > kWidth) break;
        if (shown > 0) line += ", ";
        line += nulls[shown];
      }
      if (shown < nulls.size()) line += " and " + std::to_string(nulls.size() - shown) + " more";
    }
    out << line << '\n';
  }
}

void printFailure(std::ostream& err, const std::string& what, const std::exception& failure) {
  std::vector<std::string> chain = catalog::causeChain(failure);
  err << "zep-host: " << what << ": " << printable(chain.front()) << '\n';
  for (std::size_t i = 1; i < chain.size(); ++i)
    err << "  because: " << printable(chain[i]) << '\n';
}

// Shows what the simulated display shows, under a label.
void showDevice(std::ostream& out, const char* label, std::ostringstream& face) {
  std::istringstream lines(face.str());
  std::string line;
  for (bool first = true; std::getline(lines, line); first = false) {
    out << "  " << std::left << std::setw(9) << (first ? label : "") << line << '\n';
  }
  face.str({});
}

std::string rightAligned(const std::string& left, const std::string& right) {
  const std::size_t used = left.size() + right.size();
  return left +
         std::string(used < simulated::display::kColumns ? simulated::display::kColumns - used : 1,
                     ' ') +
         right;
}

void checked(simulated::fiscal::Status status, const char* command) {
  if (status == simulated::fiscal::Ok) return;
  throw std::runtime_error(std::string("the fiscal printer refused ") + command + ": " +
                           ZEP_ENTRY(fiscal, RetornoImpFiscal)());
}

template <class Status>
void checked(Status status, Status ok, const char* device, const char* command) {
  if (status != ok) {
    throw std::runtime_error(std::string("the ") + device + " refused " + command + " (status " +
                             std::to_string(static_cast<int>(status)) + ")");
  }
}

// The fiscal printer's paper: each line onto the stream `context`.
void printed(void* context, const char* line) {
  *static_cast<std::ostream*>(context) << line << '\n';
}

// A block of the C interface's builders, as the printer's entries take it.
using Block = std::unique_ptr<zep_block, decltype(&zep_block_free)>;

Block built(zep_block* block) {
  if (block == nullptr) {
    std::size_t size = 0;
    zep_last_error(nullptr, &size);
    std::string error(size, '\0');
    ++size;
    zep_last_error(error.data(), &size);
    throw std::runtime_error("a block could not be built: " + error);
  }
  return Block(block, &zep_block_free);
}

// One sale: two items, the second weighed on the scale, the display showing
// each item and the total, the coupon printed from the blocks the C
// interface builds with the module's builders.
void sale(std::ostream& out) {
  std::ostringstream receipt;
  std::ostringstream face;
  checked(ZEP_ENTRY(fiscal, StartImpFiscal)(printed, &receipt), "StartImpFiscal");
  checked(ZEP_ENTRY(display, StartDisplay)(face), simulated::display::Ok, "display",
          "StartDisplay");
  checked(ZEP_ENTRY(scale, StartBalanca)("0.398;0.411;0.412"), simulated::scale::Ok, "scale",
          "StartBalanca");

  checked(ZEP_ENTRY(fiscal, AbreCupom)(
              built(zep_Params_AbreCupom_Zep00000("", 0, "S", "N", "N", "", "", "", "", "", "CPF",
                                                  "529.982.247-25", "", "", 0))
                  .get()),
          "AbreCupom");

  auto sell = [&](const char* code, const char* name, const char* unit, double quantity,
                  double price, const std::string& shown) {
    checked(ZEP_ENTRY(fiscal, VendaItem)(
                built(zep_Params_VendaItem_Zep00000("", "", "", code, name, "T18", "01", unit, "",
                                                    "18,00", "", 0, quantity, price, 0.0, 0.0, 0))
                    .get()),
            "VendaItem");
    const std::int64_t value = simulated::toCentavos(quantity * price);
    checked(ZEP_ENTRY(display, DisplayEnviaTexto)(
                std::string(name) + "\n" + rightAligned(shown, simulated::formatReais(value))),
            simulated::display::Ok, "display", "DisplayEnviaTexto");
    showDevice(out, "display", face);
  };
  sell("7891234567895", "ARROZ TIPO 1 5KG", "UN", 1.0, 24.90, "");

  // The scale settles over a few readings; a host asks until it is stable.
  double kilograms = 0;
  std::string readings;
  simulated::scale::Status weighed = simulated::scale::Unstable;
  for (int reading = 0; reading < 10 && weighed == simulated::scale::Unstable; ++reading) {
    weighed = ZEP_ENTRY(scale, BuscaPeso)(&kilograms);
    readings += (readings.empty() ? "" : ", ") + simulated::formatQuantity(kilograms) + " kg" +
                (weighed == simulated::scale::Unstable ? " settling" : "");
  }
  checked(weighed, simulated::scale::Ok, "scale", "BuscaPeso");
  out << "  scale    " << readings << '\n';
  sell("2000012", "QUEIJO MINAS", "KG", kilograms, 49.90,
       simulated::formatQuantity(kilograms) + " kg");

  double total = 0;
  checked(ZEP_ENTRY(fiscal, ImpressaoVenda)(
              built(zep_Params_ImpressaoVenda_Zep00000("", "0001", "003", "", "", "42", "",
                                                       "MARIA DA SILVA", "Volte sempre", "COM1", 1,
                                                       0.0, 0.0))
                  .get(),
              &total),
          "ImpressaoVenda");
  checked(ZEP_ENTRY(display, DisplayEnviaTexto)(
              "TOTAL\n" +
              rightAligned("", "R$ " + simulated::formatReais(simulated::toCentavos(total)))),
          simulated::display::Ok, "display", "DisplayEnviaTexto");
  showDevice(out, "display", face);
  checked(ZEP_ENTRY(fiscal, FechaCupom)("DINHEIRO", 50.0), "FechaCupom");
  checked(ZEP_ENTRY(fiscal, StopImpFiscal)(), "StopImpFiscal");
  ZEP_ENTRY(display, StopDisplay)();
  ZEP_ENTRY(scale, StopBalanca)();

  out << "  receipt, coupon " << ZEP_ENTRY(fiscal, Nr_Cupom)() << ":\n";
  std::istringstream lines(receipt.str());
  const std::string rule = "    +" + std::string(40, '-') + "+\n";
  out << rule;
  for (std::string line; std::getline(lines, line);) {
    out << "    |" << std::left << std::setw(40) << line << "|\n";
  }
  out << rule;
}

}  // namespace

int demo(const Io& io, const std::string& packages, bool verbose) {
  io.out << "zep-host demo: the module binds every slot set through the default shared\n"
         << "package, a sale runs through the slots, and every set is unbound again.\n"
         << "packages: " << printable(packages) << "\n\n";

  std::vector<Binding> bindings;
  int status = 0;
  for (const SlotSet& set : catalog::sets()) {
    Binding binding = demoBinding(set);
    if (binding.simulated) {
      try {
        set.bind(binding.model);
      } catch (const std::exception& failure) {
        printFailure(io.err, "binding " + std::string(set.name) + " failed", failure);
        status = 1;
      } catch (...) {
        // The cheque printer's bind passes on what is no std::exception.
        io.err << "zep-host: binding " << set.name << " failed: " << kNoStdException << '\n';
        status = 1;
      }
    }
    bindings.push_back(binding);
  }
  io.out << "Bound:\n";
  printTable(io.out, bindings, true, verbose);

  if (status == 0) {
    io.out << "\nA sale through the slots:\n";
    try {
      sale(io.out);
    } catch (const std::exception& failure) {
      printFailure(io.err, "the sale failed", failure);
      status = 1;
    } catch (...) {
      io.err << "zep-host: the sale failed: " << kNoStdException << '\n';
      status = 1;
    }
  }

  std::size_t slots = 0, nulls = 0;
  for (const Binding& binding : bindings) {
    try {
      if (binding.simulated) binding.set->unbind(binding.model);
    } catch (const std::exception& failure) {
      printFailure(io.err, "unbinding " + std::string(binding.set->name) + " failed", failure);
      status = 1;
    } catch (...) {
      io.err << "zep-host: unbinding " << binding.set->name << " failed: " << kNoStdException
             << '\n';
      status = 1;
    }
    slots += binding.set->slots.size();
    nulls += binding.set->slots.size() - binding.set->boundSlots();
  }
  io.out << "\nUnbound:\n";
  printTable(io.out, bindings, false, false);
  if (nulls == slots) {
    io.out << "All " << slots << " slots are null again.\n";
  } else {
    io.out << "Only " << nulls << " of the " << slots << " slots are null again.\n";
  }
  return nulls == slots ? status : 1;
}

}  // namespace zep::host
