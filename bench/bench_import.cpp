// Importing idealised traces: 10,000 simulated traces of 2,000 frames each (20 million frames,
// three columns a frame) read, counted and written as reports of K = 10; and one large trace
// file read piece by piece.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/simulated_files.h"
#include "import/importtraces.h"
#include "import/tracefile.h"

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

// One molecule in a file of `frames` rows of frame, signal and state, dwells of 50 frames: the
// time to read a large file, whose memory stays that of its dwells.
void BM_ReadLargeTraceFile(benchmark::State& state) {
  const auto frames = static_cast<long>(state.range(0));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("varnel-bench-large-" + std::to_string(ProcessNumber()));
  std::filesystem::create_directories(folder);
  RemoveAtExit(folder);
  const std::string path = (folder / "trace.csv").string();
  {
    std::ofstream out(path, std::ios::binary);
    out << "frame,signal,state\n";
    const char* const levels[] = {"0.25", "0.5", "0.75"};
    for (long f = 0; f < frames; ++f)
      out << f << ',' << 0.1 + static_cast<double>(f % 97) / 200 << ',' << levels[f / 50 % 3] << '\n';
  }
  std::size_t dwells = 0;
  for (auto _ : state) {
    const TraceReading reading = ReadTraceFile(path, ImportOptions{});
    if (!reading.error.empty()) return state.SkipWithError(reading.error.c_str());
    dwells = reading.molecules.front().dwells.size();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
  state.counters["dwells"] = static_cast<double>(dwells);
}

BENCHMARK(BM_ReadLargeTraceFile)->Arg(20000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
