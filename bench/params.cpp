// The six builders against the same blocks built by hand in the most direct
// way: time and heap allocations per block, and at the end one line a
// builder with the ratio of its time to the hand-built block's.
//
// The arguments are short texts, as most of a till's are, so a block needs
// one allocation for itself, one for each pair and one for each key too long
// for the short-string buffer; anything beyond that is overhead.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "allocations.hpp"
#include "zep00001/zep00001.hpp"

namespace {

using zep::Value;

const std::string text = "0012345";
const std::int32_t number = 3;
const double amount = 12.5;
const bool flag = true;

// What a host would write without the builders: reserve the block, and make
// each pair in place.
class HandBlock {
 public:
  explicit HandBlock(std::size_t pairs) { block_.reserve(pairs); }

  template <class Argument>
  HandBlock& add(const char* key, const Argument& argument) {
    Value::Array pair;
    pair.reserve(2);
    pair.emplace_back(key);
    pair.emplace_back(argument);
    block_.emplace_back(std::move(pair));
    return *this;
  }

  Value done() { return Value(std::move(block_)); }

 private:
  Value::Array block_;
};

struct Contender {
  const char* builder;
  Value (*built)();
  Value (*byHand)();
};

const Contender contenders[] = {
    {"Params_AbreCupom_Zep00000",
     [] {
       return Params_AbreCupom_Zep00000(text, number, text, text, text, text, text, text, text,
                                        text, text, text, text, text, flag);
     },
     [] {
       return HandBlock(15)
           .add("ESQUEMACOR", text)
           .add("INTTEFERRO", number)
           .add("INCLUICPF", text)
           .add("INCLUINOME", text)
           .add("INCLUIENDERECO", text)
           .add("CUPNR", text)
           .add("CONTCUPOM", text)
           .add("TIPOTICKET", text)
           .add("IVACOMP", text)
           .add("IVAPROP", text)
           .add("TIPODOC", text)
           .add("NRDOC", text)
           .add("MESA", text)
           .add("IDUTILTEF", text)
           .add("UTILTEF", flag)
           .done();
     }},
    {"Params_VendaItem_Zep00000",
     [] {
       return Params_VendaItem_Zep00000(text, text, text, text, text, text, text, text, text, text,
                                        text, number, amount, amount, amount, amount, flag);
     },
     [] {
       return HandBlock(17)
           .add("ESQUEMACOR", text)
           .add("INTEFERRO", number)
           .add("MESA", text)
           .add("FLAG", text)
           .add("CDARVPROD", text)
           .add("NMPROD", text)
           .add("CDALIQ", text)
           .add("IDALIQ", text)
           .add("QTDE", amount)
           .add("VALOR", amount)
           .add("DESCONT", amount)
           .add("UNIDADE", text)
           .add("TIPOTICKET", text)
           .add("VRPERCALIQ", text)
           .add("IDUTILTEF", text)
           .add("UTILTEF", flag)
           .add("ACRESCIMO", amount)
           .done();
     }},
    {"Params_ImpressaoVenda_Zep00000",
     [] {
       return Params_ImpressaoVenda_Zep00000(text, text, text, text, text, text, text, text, text,
                                             text, number, amount, amount);
     },
     [] {
       return HandBlock(13)
           .add("TOTPARCCV", text)
           .add("CDFILIAL", text)
           .add("CDCAIXA", text)
           .add("NRLAUDO", text)
           .add("ESQUEMACOR", text)
           .add("IDTIPOIMPFIS", number)
           .add("SENHACUPOM", text)
           .add("TIPOVENDA", text)
           .add("NMCONSUMIDOR", text)
           .add("DSOBSCUPFIS", text)
           .add("CDPORTAIMPFIS", text)
           .add("SALDODEBITO", amount)
           .add("PRECOSUBSIDIO", amount)
           .done();
     }},
    {"Params_Atu_TotGeral_Zep00000",
     [] {
       return Params_Atu_TotGeral_Zep00000(text, text, text, text, text, flag, text, text, text,
                                           text, amount, amount);
     },
     [] {
       return HandBlock(12)
           .add("CDFILIAL", text)
           .add("CDCAIXA", text)
           .add("NRSERIEIMP", text)
           .add("ESQUEMACOR", text)
           .add("IDVALIDA", text)
           .add("BOPODERECOMPORGT", flag)
           .add("CRZTAB", text)
           .add("CRZECF", text)
           .add("CROTAB", text)
           .add("CROECF", text)
           .add("VBRUTATAB", amount)
           .add("VRBRUTAECF", amount)
           .done();
     }},
    {"Params_Carrega_Dados_Impressora_Zep00000",
     [] {
       return Params_Carrega_Dados_Impressora_Zep00000(text, text, text, text, text, text, text);
     },
     [] {
       return HandBlock(7)
           .add("ESQUEMA", text)
           .add("DATAATUIMP", text)
           .add("ECFIMP", text)
           .add("NRSERIEIMP", text)
           .add("REDIMP", text)
           .add("DATAIMP", text)
           .add("CDPORTAIMPFIS", text)
           .done();
     }},
    {"Params_VerificaSerialImp_Zep00000",
     [] { return Params_VerificaSerialImp_Zep00000(flag, text, text, text); },
     [] {
       return HandBlock(4)
           .add("UTILIZAIMPFIS", flag)
           .add("DSDIRCAD", text)
           .add("ESQUEMACOR", text)
           .add("REV_NRSERIE_IMP", text)
           .done();
     }},
};

void measure(benchmark::State& state, Value (*build)()) {
  allocations::ledger.armed = true;  // counting; failAt 0 fails none
  const long before = allocations::ledger.made;
  for (auto _ : state) {
    Value block = build();
    benchmark::DoNotOptimize(block);
  }
  state.counters["allocs/block"] = benchmark::Counter(
      static_cast<double>(allocations::ledger.made - before), benchmark::Counter::kAvgIterations);
}

// Keeps each run's time and allocations, the median of the repetitions where
// there are several, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  struct Figures {
    double nanoseconds = 0;
    double allocations = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !median)) continue;
      Figures& figures = figures_[run.run_name.function_name];
      if (median || figures.nanoseconds == 0) {
        figures = {run.GetAdjustedCPUTime() * timeUnitInNanoseconds(run.time_unit),
                   run.counters.at("allocs/block").value};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  const std::map<std::string, Figures>& figures() const { return figures_; }

 private:
  static double timeUnitInNanoseconds(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond:
        return 1;
      case benchmark::kMicrosecond:
        return 1e3;
      case benchmark::kMillisecond:
        return 1e6;
      case benchmark::kSecond:
        return 1e9;
    }
    return 1;
  }

  std::map<std::string, Figures> figures_;
};

}  // namespace

int main(int argc, char** argv) {
  for (const Contender& contender : contenders) {
    if (contender.built() != contender.byHand()) {
      std::fprintf(stderr, "%s: the hand-built block differs from the builder's\n",
                   contender.builder);
      return 1;
    }
    const std::string name = contender.builder;
    benchmark::RegisterBenchmark((name + "/builder").c_str(), measure, contender.built);
    benchmark::RegisterBenchmark((name + "/hand").c_str(), measure, contender.byHand);
  }

  // Medians of five runs unless the command line says otherwise: the
  // machine is shared, and a single run's ratio wanders.
  std::vector<char*> arguments{argv[0]};
  std::string repetitions = "--benchmark_repetitions=5";
  std::string aggregatesOnly = "--benchmark_report_aggregates_only=true";
  arguments.push_back(repetitions.data());
  arguments.push_back(aggregatesOnly.data());
  arguments.insert(arguments.end(), argv + 1, argv + argc);
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n%-42s %10s %10s %7s %13s %13s\n", "builder", "ns/block", "hand ns", "ratio",
              "allocs/block", "hand allocs");
  for (const Contender& contender : contenders) {
    const std::string name = contender.builder;
    const auto built = reporter.figures().find(name + "/builder");
    const auto byHand = reporter.figures().find(name + "/hand");
    if (built == reporter.figures().end() || byHand == reporter.figures().end()) continue;
    std::printf("%-42s %10.1f %10.1f %7.3f %13.2f %13.2f\n", contender.builder,
                built->second.nanoseconds, byHand->second.nanoseconds,
                built->second.nanoseconds / byHand->second.nanoseconds, built->second.allocations,
                byHand->second.allocations);
  }
  return 0;
}
