// Importing idealised traces: 10,000 simulated traces of 2,000 frames each (20 million frames,
// three columns a frame) read, counted and written as reports of K = 10.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/simulated_files.h"
#include "import/importtraces.h"

namespace {

constexpr int kTraces = 10000;
constexpr int kFrames = 2000;
constexpr int kPeaks = 10;

void BM_ImportTraces(benchmark::State& state) {
  const SimulatedFiles& traces = Simulated("--traces --molecules " + std::to_string(state.range(0)) + " --frames " +
                                           std::to_string(kFrames) + " --seed 11");
  if (!traces.error.empty()) return state.SkipWithError(traces.error.c_str());
  std::size_t reports = 0;
  int run = 0;
  for (auto _ : state) {
    // Each run writes a folder of its own: files made where as many were just removed would
    // measure how the file system finds free inodes, not the import.
    const std::string folder = traces.folder.string() + "-reports-" + std::to_string(++run);
    const ImportResult result = ImportTraces(traces.paths, ImportOptions{}, kPeaks, folder);
    state.PauseTiming();
    RemoveAtExit(folder);
    reports = result.reports.size();
    if (!result.error.empty()) return state.SkipWithError(result.error.c_str());
    state.ResumeTiming();
  }
  state.counters["frames"] = static_cast<double>(state.range(0)) * kFrames;
  state.counters["reports"] = static_cast<double>(reports);
}

BENCHMARK(BM_ImportTraces)->Arg(kTraces)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
