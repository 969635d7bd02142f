// The dwell-time analysis of a large import: 10,000 molecules of 2,000 frames among three
// states (state 2's dwells two exponentials), their "dwells.csv" read, their level dwells put
// into the states and every state fitted with one, two and three exponentials, with the
// profile intervals of every rate.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "dwell/dwelltimes.h"
#include "import/dwelltable.h"

namespace {

constexpr int kMolecules = 10'000;
constexpr std::int64_t kFrames = 2000;

double Uniform(std::mt19937_64& random) { return (static_cast<double>(random() >> 11) + 1.0) * 0x1.0p-53; }

std::int64_t Geometric(std::mt19937_64& random, double p) {
  return 1 + static_cast<std::int64_t>(std::floor(std::log(Uniform(random)) / std::log1p(-p)));
}

// Levels 0.2, 0.5, 0.8 visited in turn; state 2 half fast (0.4 a frame) and half slow (0.04).
const DwellTable& Table() {
  static const DwellTable table = [] {
    std::mt19937_64 random(17);
    const double levels[] = {0.2, 0.5, 0.8};
    DwellTable all;
    for (int m = 0; m < kMolecules; ++m) {
      MoleculeDwells molecule{"m" + std::to_string(m), {}};
      std::int64_t start = 1;
      for (int state = 0; start <= kFrames; state = (state + 1) % 3) {
        const double p = state == 0 ? 0.1 : state == 2 ? 0.02 : Uniform(random) < 0.5 ? 0.4 : 0.04;
        std::int64_t length = Geometric(random, p);
        const bool last = start + length > kFrames;
        if (last) length = kFrames - start + 1;
        molecule.dwells.push_back({levels[state], start, length, start == 1, last});
        start += length;
      }
      all.push_back(std::move(molecule));
    }
    return all;
  }();
  return table;
}

void BM_DwellTimesOfAnImport(benchmark::State& state) {
  const std::string csv = DwellsCsv(Table());
  const Cutoffs cutoffs = {0.35, 0.65, 1.0};
  std::int64_t dwells = 0;
  int chosen = 0;
  for (auto _ : state) {
    const DwellsReading read = ReadDwellsCsvText(csv, "dwells.csv");
    const StateDwells inStates = DwellsInStates(read.table, 3, cutoffs);
    dwells = 0;
    for (int s = 0; s < 3; ++s) {
      const StateDwellTimes times = AnalyseState(inStates, s, CutDwells::kCensor);
      dwells += times.dwells;
      if (s == 1) chosen = times.chosen + 1;
      benchmark::DoNotOptimize(times);
    }
  }
  state.counters["dwells"] = static_cast<double>(dwells);
  state.counters["state_2_terms"] = chosen;
}
BENCHMARK(BM_DwellTimesOfAnImport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
