// Idealising raw traces: 1,000 simulated molecules of 2,000 frames (three states, signal-to-noise
// 6), read, fitted for 1 to 4 states, the number chosen and every molecule's path found, each
// frame's width following its brightness or (second argument 1) one width a state; and the peak
// memory of the process over the frames.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <string>

#include "bench/simulated_files.h"
#include "idealise/hmm.h"
#include "idealise/idealiseoptions.h"
#include "idealise/rawtraces.h"

namespace {

constexpr int kFrames = 2000;

void BM_IdealiseRawTraces(benchmark::State& state) {
  const SimulatedFiles& traces = Simulated("--raw --molecules " + std::to_string(state.range(0)) + " --frames " +
                                           std::to_string(kFrames) + " --snr 6 --seed 11");
  if (!traces.error.empty()) return state.SkipWithError(traces.error.c_str());
  int chosen = 0;
  std::size_t frames = 0;
  for (auto _ : state) {
    const RawReading reading = ReadRawTraces(traces.paths, RawOptions{});
    if (!reading.error.empty()) return state.SkipWithError(reading.error.c_str());
    frames = 0;
    for (const FretTrace& trace : reading.traces) frames += trace.fret.size();
    IdealiseArguments arguments;
    arguments.evenWidths = state.range(1) == 1;
    const Idealisation result = IdealiseTraces(reading.traces, arguments);
    if (!result.error.empty()) return state.SkipWithError(result.error.c_str());
    chosen = result.Model().states;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["chosen_states"] = chosen;
  state.counters["process_peak_bytes_per_frame"] = static_cast<double>(usage.ru_maxrss) * 1024.0 / static_cast<double>(frames);
}

BENCHMARK(BM_IdealiseRawTraces)->Args({1000, 0})->Args({1000, 1})->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
