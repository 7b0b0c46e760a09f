// Binding beside the platform's own work on the same packages:
//   bind+unbind   InstanciaFuncoes_<Set>, then FinalizaFuncoes_<Set>, through
//                 the real shared package and the tree's answering packages,
//                 against dlopen of the same file, one dlsym per entry and
//                 dlclose: for the fiscal set alone and for every set
//   load+unload   the shared package's LoadBPL_FOS and UnLoadBPL alone,
//                 against dlopen and dlclose alone: what of the difference
//                 lies in the shared package rather than in the binding
//   bind+unbind, race-free
//                 the same, against the least a trusted load needs that no
//                 rename can race: the package directory opened, it and the
//                 file (opened in it, no link followed) checked through their
//                 descriptors (mode bits and access list), the file loaded under
//                 /proc/self/fd/<directory>/<name>, the directory closed
//                 after dlclose
//   load+unload, race-free/one dependency beside
//                 LoadBPL_FOS and UnLoadBPL of a package that needs a library
//                 beside it (RUNPATH $ORIGIN), which the shared package finds,
//                 checks and loads first, against the race-free trusted load
//                 of both files through the one held directory
//   selection     each RetNomeBpl_<Set> per call, against the platform's
//                 work for one fiscal bind and unbind
//   hostile image the ELF reader on 8 MB whose symbols all bear one 4 MB
//                 name, and on 8 MB of 65,533 program headers and
//                 relocations, per reading
// The module and the platform take turns within one loop, so that whatever
// else the machine does falls on both alike; each side's figure is the
// median of its rounds. A summary after the run gives the ratios.
//   build-bench/bin/bench_binding [--benchmark_min_time=2]
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "catalog/catalog.hpp"
#include "hostile_images.hpp"
#include "object/image.hpp"
#include "slots.hpp"

namespace {

using zep::catalog::Model;
using SetCalls = zep::catalog::SlotSet;

// A model per selected set whose package the answering directory holds; the
// others take a use flag of 1 or nothing.
const std::map<std::string, Model> kBundledModels{
    {"ImpFiscal", {1, ""}}, {"Display", {0, "1"}}, {"Balanca", {0, "4"}}, {"Leitor", {0, "1"}}};
const Model kUnselected{1, ""};

struct Bound {
  const SetCalls* calls;
  Model model;
  std::string package;
  std::string file;
  std::vector<std::string> entries;
};
using Sets = std::vector<Bound>;

// The named sets, or every set for no name.
Sets setsNamed(const std::vector<std::string>& names) {
  Sets sets;
  for (const SetCalls& calls : zep::catalog::sets()) {
    const std::string name(calls.name);
    if (!names.empty() && std::find(names.begin(), names.end(), name) == names.end()) continue;
    auto bundled = kBundledModels.find(name);
    Bound set{&calls, bundled == kBundledModels.end() ? kUnselected : bundled->second, {}, {}, {}};
    set.package = calls.package(set.model);
    set.file = packageFile("answering", set.package);
    for (const SlotRow& row : slotsOf(name)) set.entries.push_back(row.entry);
    sets.push_back(std::move(set));
  }
  return sets;
}

void bindAndUnbind(const Sets& sets) {
  for (const Bound& set : sets) set.calls->bind(set.model);
  for (const Bound& set : sets) set.calls->unbind(set.model);
}

void openLookUpAndClose(const Sets& sets) {
  std::vector<void*> libraries;
  for (const Bound& set : sets) {
    void* library = dlopen(set.file.c_str(), RTLD_NOW | RTLD_LOCAL);
    for (const std::string& entry : set.entries) {
      benchmark::DoNotOptimize(dlsym(library, entry.c_str()));
    }
    libraries.push_back(library);
  }
  for (void* library : libraries) dlclose(library);
}

// The least a trusted load needs when no rename may come between the check
// and the load: what is checked is held open, and the loader is given the
// file under the directory's descriptor.
struct HeldLoad {
  void* library;
  int directory;
};

// Who may write the open file: its mode bits and its access list.
void judge(int descriptor) {
  struct stat status {};
  fstat(descriptor, &status);
  benchmark::DoNotOptimize(status.st_mode & 0022);
  char list[132];
  benchmark::DoNotOptimize(fgetxattr(descriptor, "system.posix_acl_access", list, sizeof list));
}

HeldLoad raceFreeOpen(const Bound& set) {
  const std::string::size_type slash = set.file.rfind('/');
  const int directory = open(set.file.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  judge(directory);
  const int file = openat(directory, set.file.c_str() + slash + 1,
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  judge(file);
  close(file);
  const std::string name = "/proc/self/fd/" + std::to_string(directory) + set.file.substr(slash);
  return {dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL), directory};
}

// The race-free round, with one dlsym per entry or without.
template <bool kLookUp>
void raceFreeRound(const Sets& sets) {
  std::vector<HeldLoad> loads;
  for (const Bound& set : sets) {
    HeldLoad load = raceFreeOpen(set);
    if constexpr (kLookUp) {
      for (const std::string& entry : set.entries) {
        benchmark::DoNotOptimize(dlsym(load.library, entry.c_str()));
      }
    }
    loads.push_back(load);
  }
  for (const HeldLoad& load : loads) {
    dlclose(load.library);
    close(load.directory);
  }
}

std::vector<std::uint8_t> oneLongName() { return elfImage(180'000, 4u << 20); }

template <std::vector<std::uint8_t> (*kImage)()>
void hostileImage(benchmark::State& state) {
  const std::vector<std::uint8_t> hostile = kImage();
  for (auto _ : state) benchmark::DoNotOptimize(zep::object::readImage(hostile));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(hostile.size()));
}

// A package with one library of its own beside it (RUNPATH $ORIGIN).
const std::string kBeside = std::string(ZEP_TEST_PACKAGES) + "/beside";
constexpr const char* kBesideFiles[] = {"libzep_beside_dependency.so", "libZEP01000.so"};

void loadBeside(const Sets&) {
  LoadBPL_FOS("ZEP01000");
  UnLoadBPL("ZEP01000");
}

// The trusted load of both: the directory held and checked, each file
// opened in it and checked, the library loaded before the package.
void raceFreeBeside(const Sets&) {
  const int directory = open(kBeside.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  judge(directory);
  void* loaded[2];
  for (int i = 0; i < 2; ++i) {
    const int file =
        openat(directory, kBesideFiles[i], O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    judge(file);
    close(file);
    const std::string name = "/proc/self/fd/" + std::to_string(directory) + "/" + kBesideFiles[i];
    loaded[i] = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  dlclose(loaded[1]);
  dlclose(loaded[0]);
  close(directory);
}

void loadAndUnload(const Sets& sets) {
  for (const Bound& set : sets) LoadBPL_FOS(set.package);
  for (const Bound& set : sets) UnLoadBPL(set.package);
}

void openAndClose(const Sets& sets) {
  std::vector<void*> libraries;
  for (const Bound& set : sets)
    libraries.push_back(dlopen(set.file.c_str(), RTLD_NOW | RTLD_LOCAL));
  for (void* library : libraries) dlclose(library);
}

using Round = void (*)(const Sets& sets);

double timed(Round round, const Sets& sets) {
  const auto start = std::chrono::steady_clock::now();
  round(sets);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// The module's round and the platform's take turns at going first. The
// iteration time is the module's; the counters carry both medians and their
// ratio.
void compare(benchmark::State& state, const std::vector<std::string>& names, Round module,
             Round platform) {
  const Sets sets = setsNamed(names);
  std::vector<double> moduleTimes;
  std::vector<double> platformTimes;
  bool moduleFirst = true;
  for (auto _ : state) {
    if (moduleFirst) {
      moduleTimes.push_back(timed(module, sets));
      platformTimes.push_back(timed(platform, sets));
    } else {
      platformTimes.push_back(timed(platform, sets));
      moduleTimes.push_back(timed(module, sets));
    }
    state.SetIterationTime(moduleTimes.back());
    moduleFirst = !moduleFirst;
  }
  state.counters["module_us"] = median(moduleTimes) * 1e6;
  state.counters["platform_us"] = median(platformTimes) * 1e6;
  state.counters["ratio"] = median(moduleTimes) / median(platformTimes);
}

template <class Code>
void select(benchmark::State& state, std::string (*selection)(Code),
            std::vector<std::remove_cvref_t<Code>> codes) {
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(selection(codes[next]));
    next = next + 1 == codes.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}

// Codes in and around each table: the hits, the misses and the far ones.
std::vector<std::int32_t> fiscalCodes() {
  std::vector<std::int32_t> codes;
  for (std::int32_t code = -2; code <= 37; ++code) codes.push_back(code);
  return codes;
}
std::vector<std::string> textCodes() {
  std::vector<std::string> codes;
  for (int code = 0; code <= 13; ++code) codes.push_back(std::to_string(code));
  codes.push_back("01");
  return codes;
}

// Every set must bind from the answering packages, or the figures mean nothing.
bool everySetBinds() {
  for (const Bound& set : setsNamed({})) {
    set.calls->bind(set.model);
    const bool bound = set.calls->boundSlots() != 0;
    set.calls->unbind(set.model);
    if (!bound) {
      std::fprintf(stderr, "%s did not bind from %s\n", std::string(set.calls->name).c_str(),
                   set.file.c_str());
      return false;
    }
  }
  return true;
}

// Keeps every run for the summary.
class Summary : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (!run.error_occurred) runs_.insert_or_assign(run.run_name.function_name, run);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void print() const {
    std::printf("\n%-34s %12s %12s %9s\n", "", "module", "platform", "ratio");
    double fiscalPlatform = 0;
    for (const auto& [name, run] : runs_) {
      if (!run.counters.count("ratio")) continue;
      if (name == "bind+unbind/ImpFiscal") fiscalPlatform = run.counters.at("platform_us");
      std::printf("%-34s %9.1f us %9.1f us %9.3f\n", name.c_str(),
                  run.counters.at("module_us").value, run.counters.at("platform_us").value,
                  run.counters.at("ratio").value);
    }
    for (const auto& [name, run] : runs_) {
      if (run.counters.count("ratio") || fiscalPlatform == 0) continue;
      if (name.starts_with("hostile image")) {
        std::printf("%-34s %9.1f ms\n", name.c_str(), run.GetAdjustedRealTime());
        continue;
      }
      const double nanoseconds = run.GetAdjustedRealTime();
      std::printf("%-34s %9.1f ns %9.1f us %9.5f\n", name.c_str(), nanoseconds, fiscalPlatform,
                  nanoseconds / (fiscalPlatform * 1e3));
    }
  }

 private:
  std::map<std::string, Run> runs_;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("ZEP_PACKAGE_PATH", (std::string(ZEP_TEST_PACKAGES) + "/answering:" + kBeside).c_str(), 1);
  if (!everySetBinds()) return 1;

  const std::vector<std::string> fiscal{"ImpFiscal"};
  const std::vector<std::string> allSets{};
  benchmark::RegisterBenchmark("bind+unbind/ImpFiscal", compare, fiscal, bindAndUnbind,
                               openLookUpAndClose)
      ->UseManualTime();
  benchmark::RegisterBenchmark("bind+unbind/every set", compare, allSets, bindAndUnbind,
                               openLookUpAndClose)
      ->UseManualTime();
  benchmark::RegisterBenchmark("load+unload/ImpFiscal", compare, fiscal, loadAndUnload,
                               openAndClose)
      ->UseManualTime();
  benchmark::RegisterBenchmark("bind+unbind, race-free/ImpFiscal", compare, fiscal, bindAndUnbind,
                               raceFreeRound<true>)
      ->UseManualTime();
  benchmark::RegisterBenchmark("bind+unbind, race-free/every set", compare, allSets, bindAndUnbind,
                               raceFreeRound<true>)
      ->UseManualTime();
  benchmark::RegisterBenchmark("load+unload, race-free/ImpFiscal", compare, fiscal, loadAndUnload,
                               raceFreeRound<false>)
      ->UseManualTime();
  benchmark::RegisterBenchmark("load+unload, race-free/one dependency beside", compare, fiscal,
                               loadBeside, raceFreeBeside)
      ->UseManualTime();
  benchmark::RegisterBenchmark("hostile image/8 MB", hostileImage<oneLongName>)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("hostile image/65,533 headers", hostileImage<manyHeaders>)
      ->Unit(benchmark::kMillisecond);
#define ZEP_SELECTION(set, argument) ZEP_SELECTION_##argument(set)
#define ZEP_SELECTION_ModelCode(set)                                                      \
  benchmark::RegisterBenchmark("selection/" #set, select<std::int32_t>, RetNomeBpl_##set, \
                               fiscalCodes());
#define ZEP_SELECTION_ModelText(set)                                                            \
  benchmark::RegisterBenchmark("selection/" #set, select<const std::string&>, RetNomeBpl_##set, \
                               textCodes());
#include "zep00001/entries/sets.def"
#undef ZEP_SELECTION_ModelCode
#undef ZEP_SELECTION_ModelText

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Summary summary;
  benchmark::RunSpecifiedBenchmarks(&summary);
  benchmark::Shutdown();
  summary.print();
  return 0;
}
