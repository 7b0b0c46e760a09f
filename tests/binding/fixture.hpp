// What the binding tests share: the recording shared package, the test
// packages, and the slots of each set as the slot list gives them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recording.hpp"
#include "zep00001/zep00001.hpp"

// Every entry of a test package answers "<directory>/<package>:<entry>".
inline std::string answer(void* slot) { return reinterpret_cast<const char* (*)()>(slot)(); }

inline std::string packageFile(const std::string& directory, const std::string& package) {
  return std::string(ZEP_TEST_PACKAGES) + "/" + directory + "/lib" + package + ".so";
}

struct SlotRow {
  std::string entry;
  void** slot;
};

inline const std::vector<SlotRow>& slotsOf(const std::string& set) {
  static const auto table = [] {
    std::map<std::string, std::vector<SlotRow>> rows;
    std::string current;
#define ZEP_SET_BEGIN(set) current = #set;
#define ZEP_ENTRY_AS(slot, name) rows[current].push_back({name, &::slot});
#include "zep00001/entries/slots.def"
    return rows;
  }();
  return table.at(set);
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

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    recording::reset();
    for (const char* set : {"ImpFiscal", "ImpCheque", "Display", "Balanca", "Leitor", "Zep00000",
                            "Zep00400", "Zep00500", "Tef00000", "Sat"}) {
      setSlots(set, nullptr);
    }
  }
  void TearDown() override { SetUp(); }

  recording::Script& script() { return recording::script(); }
  const std::vector<recording::Call>& calls() { return recording::script().calls; }
  void provide(const std::string& directory, const std::string& package) {
    script().files[package] = packageFile(directory, package);
  }

  // Every slot of the set answers with its own entry from `label`.
  void expectBoundTo(const std::string& set, const std::string& label) {
    for (const SlotRow& row : slotsOf(set)) {
      ASSERT_NE(*row.slot, nullptr) << row.entry;
      EXPECT_EQ(answer(*row.slot), label + ":" + row.entry);
    }
  }
};

// The binding failure's message and the message of its nested cause.
struct Failure {
  std::string message;
  std::string cause;
  bool nested = false;
};

template <class Bind>
Failure bindingFailure(Bind&& bind) {
  try {
    bind();
  } catch (const zep::BindingFailure& failure) {
    Failure result;
    result.message = failure.what();
    try {
      std::rethrow_if_nested(failure);
    } catch (const std::exception& cause) {
      result.cause = cause.what();
      result.nested = true;
    }
    return result;
  }
  ADD_FAILURE() << "no binding failure";
  return {};
}
