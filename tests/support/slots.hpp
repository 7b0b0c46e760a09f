// What the tests share about slots and test packages: the slots of each set
// as the catalogue gives them, and what the test packages answer.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "catalog/catalog.hpp"
#include "zep00001/zep00001.hpp"

// Every entry of a test package answers "<directory>/<package>:<entry>".
inline std::string answer(void* slot) { return reinterpret_cast<const char* (*)()>(slot)(); }

// lib<package>.so, or <package>.bpl on Windows.
inline std::string packageFileName(const std::string& package) {
  return ZEP_PACKAGE_PREFIX + package + ZEP_PACKAGE_SUFFIX;
}

inline std::string packageFile(const std::string& directory, const std::string& package) {
  return std::string(ZEP_TEST_PACKAGES) + "/" + directory + "/" + packageFileName(package);
}

struct SlotRow {
  std::string entry;
  void** slot;
};

// The set's slots in lookup order, as the catalogue has them.
inline const std::vector<SlotRow>& slotsOf(const std::string& set) {
  static const auto table = [] {
    std::map<std::string, std::vector<SlotRow>> rows;
    for (const zep::catalog::SlotSet& each : zep::catalog::sets()) {
      for (const zep::catalog::Slot& slot : each.slots)
        rows[std::string(each.name)].push_back({std::string(slot.entry), slot.address});
    }
    return rows;
  }();
  return table.at(set);
}

// Every set in the host's order.
inline const std::vector<std::string>& setNames() {
  static const auto names = [] {
    std::vector<std::string> sets;
    for (const zep::catalog::SlotSet& set : zep::catalog::sets()) sets.emplace_back(set.name);
    return sets;
  }();
  return names;
}

inline void setSlots(const std::string& set, void* value) {
  for (const SlotRow& row : slotsOf(set)) *row.slot = value;
}

inline int nullSlots(const std::string& set) {
  int count = 0;
  for (const SlotRow& row : slotsOf(set)) count += *row.slot == nullptr;
  return count;
}

inline bool allSlotsAre(const std::string& set, void* value) {
  for (const SlotRow& row : slotsOf(set)) {
    if (*row.slot != value) return false;
  }
  return true;
}

// A value no bind writes, to see which slots a bind left alone.
inline void* const kUntouched = reinterpret_cast<void*>(0x5a5a);
