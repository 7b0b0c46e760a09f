// Several threads bind and unbind slot sets at once, each thread its own
// sets (one set is never used from two threads: the host interface forbids
// it), through the real shared package and the tree's answering packages,
// loads that fail included. Bounded in rounds and in time. Afterwards the
// process holds no more mapped packages and open descriptors than before.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "packages.hpp"
#include "slots.hpp"

namespace {

using zep::catalog::Model;
using SetCalls = zep::catalog::SlotSet;

constexpr int kThreads = 5;
constexpr int kRounds = 400;
constexpr auto kTimeBudget = std::chrono::seconds(5);

// The models each set is bound with in turn; the ones whose package the
// answering directory lacks (ZEP00300, ZEP02100, "X", the empty name) fail
// to load. A failed cheque-printer load would only talk to the operator.
const std::map<std::string, std::vector<Model>> kModels{
    {"ImpFiscal", {{1, ""}, {3, ""}, {7, ""}}},
    {"Display", {{0, "1"}, {0, "3"}, {0, "6"}, {0, "9"}}},
    {"Balanca", {{0, "4"}, {0, "6"}, {0, "1"}}},
    {"Leitor", {{0, "1"}, {0, "4"}, {0, "0"}}},
};

const std::vector<Model>& modelsOf(const std::string& set) {
  static const std::vector<Model> unselected{{1, ""}};
  auto found = kModels.find(set);
  return found == kModels.end() ? unselected : found->second;
}

// Package files of the tree that this process has mapped.
std::set<std::string> mappedPackages() {
  std::set<std::string> files;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    auto path = line.find(kPackages);
    if (path != std::string::npos) files.insert(line.substr(path));
  }
  return files;
}

int openDescriptors() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

// One round of a set: bind, call through every slot, unbind. Gives what
// went wrong, or nothing.
std::string round(const SetCalls& calls, const Model& model) {
  const std::string package = calls.package(model);
  const std::string set(calls.name);
  const bool bundled =
      !package.empty() && std::filesystem::is_regular_file(packageFile("answering", package));
  try {
    calls.bind(model);
    if (!bundled) return "bound the absent package \"" + package + "\"";
  } catch (const zep::BindingFailure& failure) {
    if (bundled) return std::string("could not bind: ") + failure.what();
    if (failure.what() != "Erro na carga do pacote: " + package)
      return std::string("wrong failure: ") + failure.what();
  }
  if (bundled) {
    for (const SlotRow& row : slotsOf(set)) {
      if (*row.slot == nullptr) return row.entry + " is null";
      const std::string reached = answer(*row.slot);
      if (reached != "answering/" + package + ":" + row.entry)
        return row.entry + " reached " + reached;
    }
  }
  calls.unbind(model);
  if (nullSlots(set) != static_cast<int>(slotsOf(set).size())) return "a slot survived the unbind";
  return {};
}

class Stress : public PackagePathTest {};

TEST_F(Stress, ThreadsBindingTheirOwnSetsLeaveNothingMappedOrOpen) {
  const std::set<std::string> mappedBefore = mappedPackages();
  const int descriptorsBefore = openDescriptors();
  const auto deadline = std::chrono::steady_clock::now() + kTimeBudget;

  std::vector<std::vector<std::string>> problems(kThreads);
  std::vector<int> roundsDone(kThreads, 0);
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] {
      std::vector<const SetCalls*> mine;
      const auto sets = zep::catalog::sets();
      for (std::size_t set = thread; set < sets.size(); set += kThreads) mine.push_back(&sets[set]);
      for (int r = 0; r < kRounds && std::chrono::steady_clock::now() < deadline; ++r) {
        for (const SetCalls* calls : mine) {
          const auto& models = modelsOf(std::string(calls->name));
          std::string problem = round(*calls, models[r % models.size()]);
          if (!problem.empty())
            problems[thread].push_back(std::string(calls->name) + ": " + problem);
        }
        ++roundsDone[thread];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int thread = 0; thread < kThreads; ++thread) {
    EXPECT_EQ(problems[thread], std::vector<std::string>{}) << "thread " << thread;
    // Every thread went round each of its models at least once.
    EXPECT_GE(roundsDone[thread], 4) << "thread " << thread;
  }
  EXPECT_EQ(mappedPackages(), mappedBefore);
  EXPECT_LE(openDescriptors(), descriptorsBefore);
}

// Unbinds of a set that their thread never bound, while another thread
// binds it: each set's bind and unbind run one at a time, so no unbind
// closes the package that a bind is looking its entries up in.
TEST_F(Stress, AnUnbindInOneThreadNeverClosesAPackageAnotherIsBinding) {
  constexpr int kIterations = 5000;
  std::atomic<bool> binding{true};
  std::vector<std::thread> unbinders;
  for (int t = 0; t < 2; ++t)
    unbinders.emplace_back([&] {
      while (binding) FinalizaFuncoes_ImpFiscal(1);
    });
  for (int i = 0; i < kIterations; ++i) {
    EXPECT_TRUE(InstanciaFuncoes_ImpFiscal(1));
    FinalizaFuncoes_ImpFiscal(1);
  }
  binding = false;
  for (std::thread& unbinder : unbinders) unbinder.join();
  EXPECT_FALSE(isMapped(packageFile("answering", "ZEP00101")));
}

}  // namespace
