// The rate matrix of a large data set: 10,000 molecules of 2,000 frames among three states, their
// frame-to-frame counts taken from the state of every frame, the maximum-likelihood generator and
// its intervals from 1,000 bootstrap replicates over the molecules, on two threads.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "kinetics/ratematrix.h"

namespace {

constexpr int kMolecules = 10'000;
constexpr int kFrames = 2000;

// The frames of a chain that steps with these chances a frame (rows 1 - their sum stay).
const std::vector<std::vector<int>>& Traces() {
  static const std::vector<std::vector<int>> traces = [] {
    const double step[3][3] = {{0, 0.09, 0.01}, {0.06, 0, 0.07}, {0.03, 0.05, 0}};
    std::mt19937_64 random(23);
    std::vector<std::vector<int>> all(kMolecules);
    for (std::vector<int>& trace : all) {
      int state = static_cast<int>(random() % 3);
      trace.reserve(kFrames);
      for (int f = 0; f < kFrames; ++f) {
        trace.push_back(state);
        double u = static_cast<double>(random() >> 11) * 0x1.0p-53;
        for (int j = 0; j < 3; ++j) {
          if (j == state) continue;
          u -= step[state][j];
          if (u < 0) {
            state = j;
            break;
          }
        }
      }
    }
    return all;
  }();
  return traces;
}

void BM_RateMatrixWithIntervals(benchmark::State& state) {
  const std::vector<std::vector<int>>& traces = Traces();
  double low = 0;
  for (auto _ : state) {
    std::vector<kinetics::FrameCounts> counts;
    counts.reserve(traces.size());
    for (const std::vector<int>& trace : traces) counts.push_back(kinetics::CountFrames(trace, 3));
    const auto matrix = kinetics::FitRateMatrix(counts, {0.1, {}, 1000, 2});
    low = matrix->Rate(0, 2).interval->low;
    benchmark::DoNotOptimize(matrix);
  }
  state.counters["k13_low"] = low;
}
BENCHMARK(BM_RateMatrixWithIntervals)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
