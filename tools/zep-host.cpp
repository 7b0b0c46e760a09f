// zep-host: a host program built on the module's public interface alone.
// It binds every slot set against the packages it is pointed at, prints what
// each bind filled, and unbinds again.
#include <cstdlib>
#include <exception>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "zep00001/zep00001.hpp"

namespace {

struct Slot {
  const char* name;
  void** slot;
};

struct SlotSet {
  std::string name;
  std::vector<Slot> slots;
};

// Every set with its slots, from the module's own slot list.
std::vector<SlotSet> slotSets() {
  std::vector<SlotSet> sets;
#define ZEP_SET_BEGIN(set) sets.push_back({#set, {}});
#define ZEP_ENTRY_AS(slot, name) sets.back().slots.push_back({#slot, &::slot});
#include "zep00001/entries/slots.def"
  return sets;
}

// The model codes this program binds with: the first code of each table
// whose package the tree bundles.
const char* const kFiscalCode = "1";
const char* const kDisplayCode = "1";
const char* const kScaleCode = "4";
const char* const kReaderCode = "1";

void bindAll() {
  InstanciaFuncoes_ImpFiscal(std::atoi(kFiscalCode));
  InstanciaFuncoes_ImpCheque(1);
  InstanciaFuncoes_Display(kDisplayCode);
  InstanciaFuncoes_Balanca(kScaleCode);
  InstanciaFuncoes_Leitor(kReaderCode);
#define ZEP_SET(set, bindArgument, unbindArgument) ZEP_BIND_##bindArgument(set)
#define ZEP_BIND_None(set) InstanciaFuncoes_##set();
#define ZEP_BIND_ModelCode(set)
#define ZEP_BIND_ModelText(set)
#define ZEP_BIND_UseFlag(set)
#include "zep00001/entries/sets.def"
}

void unbindAll() {
  FinalizaFuncoes_ImpFiscal(std::atoi(kFiscalCode));
  FinalizaFuncoes_ImpCheque();
  FinalizaFuncoes_Display(kDisplayCode);
  FinalizaFuncoes_Balanca(kScaleCode);
  FinalizaFuncoes_Leitor(kReaderCode);
#define ZEP_SET(set, bindArgument, unbindArgument) ZEP_UNBIND_##unbindArgument(set)
#define ZEP_UNBIND_None(set) FinalizaFuncoes_##set();
#define ZEP_UNBIND_ModelCode(set)
#define ZEP_UNBIND_ModelText(set)
#include "zep00001/entries/sets.def"
}

void printSets(const std::vector<SlotSet>& sets) {
  for (const SlotSet& set : sets) {
    int bound = 0;
    std::string missing;
    for (const Slot& slot : set.slots) {
      if (*slot.slot != nullptr) {
        ++bound;
      } else {
        missing += std::string(missing.empty() ? "" : ", ") + slot.name;
      }
    }
    std::cout << std::left << std::setw(10) << set.name << std::right << std::setw(4) << bound
              << " of " << std::setw(3) << set.slots.size() << " bound";
    if (bound != 0 && !missing.empty()) std::cout << "; null: " << missing;
    std::cout << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::cerr << "usage: " << argv[0]
              << "\n  binds every slot set against the packages in ZEP_PACKAGE_PATH,"
                 " prints what was bound, and unbinds\n";
    return std::string(argv[1]) == "--help" ? 0 : 2;
  }
  std::vector<SlotSet> sets = slotSets();
  try {
    bindAll();
    std::cout << "Bound:\n";
    printSets(sets);
    unbindAll();
    std::cout << "After unbinding:\n";
    printSets(sets);
  } catch (const std::exception& failure) {
    std::cerr << "zep-host: " << failure.what() << '\n';
    try {
      std::rethrow_if_nested(failure);
    } catch (const std::exception& cause) {
      std::cerr << "  because: " << cause.what() << '\n';
    }
    return 1;
  }
  return 0;
}
