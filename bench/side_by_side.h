// The main() of a benchmark that times one of our jobs against the tools
// an administrator would script instead: starts its setup (simulated
// devices, data), runs the one side-by-side benchmark once and prints the
// ratios after Google Benchmark's own report.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/sim_device.h"

namespace bench {

template <typename Setup>
using SideBySide = void (*)(benchmark::State&, const Setup&, std::vector<RunFigures>*);

template <typename Setup>
int RunSideBySide(int argc, char** argv, const char* program, const char* benchmark_name,
                  const char* summary, SideBySide<Setup> run) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::vector<RunFigures> runs;
  {
    Setup setup;  // stops its devices when it goes
    std::string error;
    if (!setup.Start(&error)) {
      std::fprintf(stderr, "%s: %s\n", program, error.c_str());
      return 1;
    }
    benchmark::RegisterBenchmark(benchmark_name,
                                 [&](benchmark::State& st) { run(st, setup, &runs); })
        ->Unit(benchmark::kSecond)
        ->Iterations(1)
        ->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  PrintSummary(summary, runs);
  return 0;
}

}  // namespace bench
