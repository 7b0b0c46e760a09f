// A call through a slot, untraced and traced, side by side in one run: the
// traced package's StartImpFiscal, which takes nothing and answers 0, so
// that the figures are what the trace adds to a call, and what its stub
// alone costs. Each figure is of 200,000 calls in a row, as wall time
// ("Time") beside CPU time: the wall time also holds what the kernel does
// for the file's pages. The trace file goes to a directory of its own under
// /tmp, removed afterwards.
//   build/bin/bench_trace [--benchmark_repetitions=3]
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "trace_switch.hpp"
#include "zep00001/zep00001.hpp"

namespace {

using Entry = std::intptr_t (*)();

void call(benchmark::State& state, Entry entry) {
  for (auto _ : state) benchmark::DoNotOptimize(entry());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("ZEP_PACKAGE_PATH", ZEP_TRACED_PACKAGES, 1);
  char pattern[] = "/tmp/zep-bench-trace-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path directory = pattern;

  InstanciaFuncoes_ImpFiscal(1);
  const auto untraced = reinterpret_cast<Entry>(StartImpFiscal);
  FinalizaFuncoes_ImpFiscal(1);
  zep::test::traceOpen((directory / "trace.json").string());
  InstanciaFuncoes_ImpFiscal(1);
  const auto traced = reinterpret_cast<Entry>(StartImpFiscal);

  constexpr benchmark::IterationCount kCalls = 200000;
  benchmark::RegisterBenchmark("call/untraced", call, untraced)->Iterations(kCalls);
  benchmark::RegisterBenchmark("call/traced", call, traced)->Iterations(kCalls);
  // The stub alone: the trace closed, the slot keeps it and it only passes
  // the call on. Runs last, closing the file first.
  benchmark::RegisterBenchmark("call/traced, file closed", [traced](benchmark::State& state) {
    zep::test::traceClose();
    call(state, traced);
  })->Iterations(kCalls);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  FinalizaFuncoes_ImpFiscal(1);
  zep::test::traceClose();
  std::filesystem::remove_all(directory);
  return 0;
}
