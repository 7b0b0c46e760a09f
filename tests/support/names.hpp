// The host-visible names as the entry lists give them.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::string> slotNames() {
  std::vector<std::string> names;
#define ZEP_ENTRY(slot) names.push_back(#slot);
#include "zep00001/entries/sets.def"
  return names;
}

inline std::vector<std::string> setNamesListed() {
  std::vector<std::string> names;
#define ZEP_SET(set, bindArgument, unbindArgument) names.push_back(#set);
#include "zep00001/entries/sets.def"
  return names;
}

inline std::vector<std::string> operationNames() {
  std::vector<std::string> names;
#define ZEP_SET(set, bindArgument, unbindArgument) \
  names.push_back("InstanciaFuncoes_" #set);       \
  names.push_back("FinalizaFuncoes_" #set);
#define ZEP_SELECTION(set, argument) names.push_back("RetNomeBpl_" #set);
#include "zep00001/entries/sets.def"
#define ZEP_BUILDER(builder, pairs, parameters) names.push_back(#builder);
#include "zep00001/entries/builders.def"
  return names;
}
