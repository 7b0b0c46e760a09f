// The binding tests' fixture: the recording shared package, and every slot
// null before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording.hpp"
#include "slots.hpp"

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    recording::reset();
    for (const std::string& set : setNames()) setSlots(set, nullptr);
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
