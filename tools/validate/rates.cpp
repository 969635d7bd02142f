// How close the rate matrix comes to the rate constants of a continuous-time chain, and how
// often its 95 % intervals hold them, beside the rates of the dwell times and the frame-corrected
// pooled rate: data sets of simulated molecules at four frame lengths, run by `make validate`.
//
// The chain (s^-1): 1->2 1.0, 1->3 0.1 (the rare path, a tenth of 1->2), 2->1 0.6, 2->3 0.8,
// 3->1 0.3, 3->2 0.5. Each molecule is simulated by varnel-simulate's continuous-time chain
// (tools/simulate/continuous.cpp: exponential waits and the jump chain, every step inside a frame
// made, the state at each frame's start recorded, the first state from the stationary
// distribution), and bleaches at an exponential time of mean 100 s (the trace at most four times
// that). The frame time T is 0.005, 0.05, 0.3 and 0.5 s: k12 T, the regime, from rare steps to
// frames that often hold two. Per data set of 100 molecules, from the true state of every frame:
//   - the rate matrix (kinetics/ratematrix.h): every path free, its bootstrap intervals;
//   - the dwell k_ij (DwellRateMatrix): the molecules' runs of frames as dwells, the first cut at
//     the trace's start, the last at its end (censored), BIC choosing up to three exponentials,
//     its bootstrap intervals;
//   - the pooled rate n_ij / F_i (steps over the frames in i with a next frame) corrected for
//     sampling once per frame (FrameCorrectedRates), without an interval.
// The truth is the chain's k_ij, the very numbers the simulator draws with.
//
// Then the same chain from raw traces, at k12 T = 0.05 and 0.3 and signal-to-noise ratios 6 and 3:
// each molecule's chain as above, seen through a donor and an acceptor channel with Gaussian
// noise on its FRET value (the simulator's raw frames, tools/simulate/raw.cpp: the levels 0.2,
// 0.5 and 0.8, each frame's FRET its state's level plus normal noise of the width 0.3 / SNR, a
// total intensity of 1000 with its own noise), every level of a molecule shifted by the one
// normal amount of sd kLevelSpread, its own. The traces are written and read as text, as a file
// of raw traces is, and idealised (idealise/hmm.h) with 3 states, as `--states 3` asks, and one
// transition matrix for all: how often BIC finds the number is varnel-validate-idealise's study,
// and here, with up to 200,000 frames a data set, it tells the molecules' own levels apart at SNR 6
// and splits a level in two. Per data set:
//   - the rate matrix of the most likely paths: their frames counted as the true states are;
//   - the rate matrix of the model itself (kinetics/hmmrates.h): from the frame-to-frame counts
//     it expects of each molecule, with the same bootstrap over molecules.
// Each fitted state stands for the level nearest its mean; a data set where they do not stand
// for the three levels in order is counted apart.
//
// Usage: varnel-validate-rates [--matrix-only] [DATA_SETS [REPLICATES [MOLECULES [RAW_SETS]]]]
//        (defaults 200, 1000, 100, 10; DATA_SETS 0 runs the raw traces alone; --matrix-only leaves
//        out the dwell and pooled rates (the dwell bootstraps take nearly all the time), for runs of
//        many data sets)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dwell/dwelltimes.h"
#include "idealise/hmm.h"
#include "idealise/idealiseoptions.h"
#include "idealise/rawtraces.h"
#include "import/tracefile.h"
#include "kinetics/hmmrates.h"
#include "kinetics/ratematrix.h"
#include "tools/simulate/arithmetic.h"
#include "tools/simulate/simulation.h"
#include "tools/validate/study.h"

namespace {

constexpr int kStates = 3;
constexpr double kRates[kStates * kStates] = {0, 1.0, 0.1,  //
                                              0.6, 0, 0.8,  //
                                              0.3, 0.5, 0};
constexpr double kFrameTimes[] = {0.005, 0.05, 0.3, 0.5};
constexpr int kRegimes = 4;
constexpr double kBleachSeconds = 100;
constexpr double kLongestTraceInBleaches = 4;
// Data set d of regime r has seed (r + 1) * kSeedStride + d + 1.
constexpr std::uint64_t kSeedStride = 1'000'000;

const char* const kEstimators[] = {"rate matrix", "dwell k_ij", "pooled, frame-corrected"};
constexpr int kEstimatorCount = 3;

struct Tally {
  Mean bias[kEstimatorCount][kStates][kStates];
  Share held[2][kStates][kStates];  // rate matrix, dwell
  int unconverged = 0, failedReplicates = 0;
};

// The raw traces' cases: frame times and signal-to-noise ratios, the spread of a molecule's
// levels, and the number of data sets of each case unless the command line says.
constexpr double kRawFrameTimes[] = {0.05, 0.3};
constexpr double kRawSnrs[] = {6, 3};
constexpr double kLevelSpread = 0.01;
constexpr int kDefaultRawSets = 10;
// Raw case c has the seeds (kRawSeedBase + c) * kSeedStride + d + 1, apart from the chain's.
constexpr std::uint64_t kRawSeedBase = 100;
const char* const kRawEstimators[] = {"most likely path, counted", "the model's own"};

struct RawTally {
  Mean bias[2][kStates][kStates];
  Share held[2][kStates][kStates];
  int sets = 0, otherStates = 0, unconverged = 0;
};

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The molecules' true states per frame, as the simulator's continuous-time chain gives them.
std::vector<std::vector<int>> Simulate(const simulate::Model& model, std::uint64_t seed, int molecules) {
  std::vector<std::vector<int>> traces;
  for (int m = 1; m <= molecules; ++m) {
    simulate::Random random(seed, static_cast<std::uint64_t>(m));
    traces.push_back(simulate::simulateContinuous(model, random).frames);
  }
  return traces;
}

// A trace's runs of frames as dwells, the first cut at the start and the last at the end.
std::vector<StateDwell> DwellsOf(const std::vector<int>& frames) {
  std::vector<StateDwell> dwells;
  for (std::size_t f = 0; f < frames.size();) {
    std::size_t end = f;
    while (end < frames.size() && frames[end] == frames[f]) ++end;
    if (!dwells.empty()) dwells.back().next = frames[f];
    dwells.push_back({frames[f], static_cast<std::int64_t>(end - f), f == 0, end == frames.size(), -1});
    f = end;
  }
  return dwells;
}

// The raw traces of one data set, as read back from their text: each molecule's FRET values.
std::vector<FretTrace> SimulateRaw(const simulate::Model& model, std::uint64_t seed, int molecules) {
  const simulate::RawTruth truth = simulate::rawTruth(model.options);
  const std::vector<ColumnRef> columns = {{"--donor", 0, "donor"}, {"--acceptor", 0, "acceptor"}};
  std::vector<FretTrace> traces;
  for (int m = 1; m <= molecules; ++m) {
    simulate::Random random(seed, static_cast<std::uint64_t>(m));
    const simulate::ContinuousPath path = simulate::simulateContinuous(model, random);
    simulate::Options own = model.options;
    const double shift = kLevelSpread * random.normal();
    for (double& level : own.states) level += shift;
    std::string text = simulate::rawTraceHeader(own, m);
    for (std::size_t f = 0; f < path.frames.size(); ++f)
      simulate::appendRawFrame(text, own, truth, random, static_cast<long>(f + 1), path.frames[f]);
    const std::string name = "molecule " + std::to_string(m);
    const ColumnReading reading = ReadTraceColumnsText(text, name, ImportOptions{}, columns);
    if (!reading.error.empty()) {
      std::fprintf(stderr, "varnel-validate-rates: %s\n", reading.error.c_str());
      std::exit(1);
    }
    const ColumnMolecule& molecule = reading.molecules.front();
    traces.push_back(KeptFrames(std::to_string(m), name, molecule.frames, molecule.values, RawOptions{}));
  }
  return traces;
}

// Whether the fitted states stand for the three levels, in order: each mean nearest its own.
bool StandsForTheLevels(const HmmModel& model, const std::vector<double>& levels) {
  if (model.states != static_cast<int>(levels.size())) return false;
  for (std::size_t s = 0; s < levels.size(); ++s)
    for (std::size_t other = 0; other < levels.size(); ++other)
      if (std::fabs(levels[other] - model.means[s]) < std::fabs(levels[s] - model.means[s])) return false;
  return true;
}

void TallyRates(const kinetics::RateMatrix& matrix, int estimator, RawTally& t) {
  if (!matrix.converged) ++t.unconverged;
  for (const kinetics::PathRate& rate : matrix.rates) {
    const double k = kRates[rate.from * kStates + rate.to];
    t.bias[estimator][rate.from][rate.to].Add(rate.rate / k - 1.0);
    t.held[estimator][rate.from][rate.to].Add(Holds(rate.interval, k));
  }
}

// The raw traces' cases: `sets` data sets of each, their rates' bias and coverage printed.
int RunRawTraces(int sets, int replicates, int molecules) {
  const auto rawBegan = Clock::now();
  double idealising = 0, counting = 0, modelling = 0;
  constexpr int kRawCases = static_cast<int>(std::size(kRawFrameTimes) * std::size(kRawSnrs));
  std::vector<RawTally> raw(kRawCases);
  for (int c = 0; c < kRawCases; ++c) {
    simulate::Options options;
    options.states = {0.2, 0.5, 0.8};
    options.exposure = kRawFrameTimes[c / std::size(kRawSnrs)];
    options.snr = kRawSnrs[c % std::size(kRawSnrs)];
    options.raw = true;
    options.continuous = true;
    options.scatter = 0;
    options.bleach = kBleachSeconds / options.exposure;
    options.frames = static_cast<long>(kLongestTraceInBleaches * options.bleach);
    const simulate::Model model{options, std::vector<double>(std::begin(kRates), std::end(kRates))};
    RawTally& t = raw[static_cast<std::size_t>(c)];
    for (int d = 0; d < sets; ++d) {
      const std::vector<FretTrace> traces =
          SimulateRaw(model, (kRawSeedBase + static_cast<std::uint64_t>(c)) * kSeedStride + d + 1, molecules);
      IdealiseArguments arguments;
      arguments.hmm.leastStates = arguments.hmm.mostStates = kStates;
      auto start = Clock::now();
      const Idealisation result = IdealiseTraces(traces, arguments);
      idealising += Since(start);
      ++t.sets;
      if (!result.error.empty() || !StandsForTheLevels(result.Model(), options.states)) {
        ++t.otherStates;
        continue;
      }
      const kinetics::RateOptions rateOptions{options.exposure, {}, replicates, 0};
      start = Clock::now();
      std::vector<kinetics::FrameCounts> counts;
      for (const std::vector<int>& path : result.paths) counts.push_back(kinetics::CountFrames(path, kStates));
      TallyRates(*kinetics::FitRateMatrix(counts, rateOptions), 0, t);
      counting += Since(start);
      start = Clock::now();
      TallyRates(*kinetics::FitHmmRateMatrix(result.fits[result.chosen], rateOptions), 1, t);
      modelling += Since(start);
    }
  }
  std::printf(
      "\nRaw traces: %d data sets of %d molecules in each case, %d bootstrap replicates, levels 0.2, 0.5, 0.8 "
      "shifted by a molecule's own N(0, %g); %.0f s (idealising %.0f s, the paths' rate matrix %.0f s, the "
      "model's %.0f s).\n\n",
      sets, molecules, replicates, kLevelSpread, Since(rawBegan), idealising, counting, modelling);
  const auto header = [](const char* title) {
    std::printf("%s\n\n| k12 T | SNR | estimate |", title);
    for (int i = 0; i < kStates; ++i)
      for (int j = 0; j < kStates; ++j)
        if (i != j) std::printf(" %d->%d |", i + 1, j + 1);
    std::printf("\n|---|---|---|---|---|---|---|---|---|\n");
  };
  const auto rows = [&](auto cell) {
    for (int c = 0; c < kRawCases; ++c)
      for (int e = 0; e < 2; ++e) {
        std::printf("| %g | %g | %s |", kRawFrameTimes[c / std::size(kRawSnrs)] * kRates[1],
                    kRawSnrs[c % std::size(kRawSnrs)], kRawEstimators[e]);
        for (int i = 0; i < kStates; ++i)
          for (int j = 0; j < kStates; ++j)
            if (i != j) std::printf(" %s |", cell(raw[static_cast<std::size_t>(c)], e, i, j).c_str());
        std::printf("\n");
      }
  };
  header("Mean bias (% of the true k_ij, ± its standard error).");
  rows([](const RawTally& t, int e, int i, int j) { return Percent(t.bias[e][i][j]); });
  std::printf("\n");
  header("Share (%) of 95 % bootstrap intervals that hold the true k_ij.");
  rows([](const RawTally& t, int e, int i, int j) { return t.held[e][i][j].Text(); });
  std::printf("\n");
  for (int c = 0; c < kRawCases; ++c)
    std::printf(
        "k12 T = %g, SNR %g: %d of %d data sets whose states do not stand for the three levels; %d fits of a "
        "rate matrix did not converge\n",
        kRawFrameTimes[c / std::size(kRawSnrs)] * kRates[1], kRawSnrs[c % std::size(kRawSnrs)],
        raw[static_cast<std::size_t>(c)].otherStates, raw[static_cast<std::size_t>(c)].sets,
        raw[static_cast<std::size_t>(c)].unconverged);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool matrixOnly = argc > 1 && std::string(argv[1]) == "--matrix-only";
  if (matrixOnly) {
    --argc;
    ++argv;
  }
  const int dataSets = argc > 1 ? std::atoi(argv[1]) : 200;
  const int replicates = argc > 2 ? std::atoi(argv[2]) : kDefaultReplicates;
  const int molecules = argc > 3 ? std::atoi(argv[3]) : 100;
  const int rawSets = argc > 4 ? std::atoi(argv[4]) : kDefaultRawSets;
  if (dataSets < 0 || replicates <= 0 || molecules <= 0 || rawSets < 0 || dataSets + rawSets == 0) {
    std::fprintf(stderr, "Usage: varnel-validate-rates [--matrix-only] [DATA_SETS [REPLICATES [MOLECULES [RAW_SETS]]]]\n");
    return 2;
  }
  if (dataSets == 0) return RunRawTraces(rawSets, replicates, molecules);
  const auto began = Clock::now();
  double simulating = 0, fitting = 0, dwelling = 0;
  std::vector<Tally> tallies(kRegimes);
  for (int r = 0; r < kRegimes; ++r) {
    simulate::Options options;
    options.states = {0.2, 0.5, 0.8};
    options.exposure = kFrameTimes[r];
    options.continuous = true;
    options.scatter = 0;
    options.bleach = kBleachSeconds / kFrameTimes[r];
    options.frames = static_cast<long>(kLongestTraceInBleaches * options.bleach);
    const simulate::Model model{options, std::vector<double>(std::begin(kRates), std::end(kRates))};
    Tally& t = tallies[static_cast<std::size_t>(r)];
    for (int d = 0; d < dataSets; ++d) {
      auto start = Clock::now();
      const auto traces = Simulate(model, static_cast<std::uint64_t>(r + 1) * kSeedStride + d + 1, molecules);
      std::vector<kinetics::FrameCounts> counts;
      StateDwells dwells;
      std::vector<double> steps(kStates * kStates, 0.0);
      for (const std::vector<int>& trace : traces) {
        counts.push_back(kinetics::CountFrames(trace, kStates));
        dwells.push_back(DwellsOf(trace));
        for (std::size_t c = 0; c < steps.size(); ++c) steps[c] += counts.back().steps[c];
      }
      simulating += Since(start);
      start = Clock::now();
      const auto matrix = kinetics::FitRateMatrix(counts, {options.exposure, {}, replicates, 0});
      fitting += Since(start);
      if (!matrix->converged) ++t.unconverged;
      t.failedReplicates += matrix->failedReplicates;
      for (const kinetics::PathRate& rate : matrix->rates) {
        const double k = kRates[rate.from * kStates + rate.to];
        t.bias[0][rate.from][rate.to].Add(rate.rate / k - 1.0);
        t.held[0][rate.from][rate.to].Add(Holds(rate.interval, k));
      }
      if (matrixOnly) continue;
      start = Clock::now();
      const auto dwell = DwellRateMatrix(dwells, kStates, CutDwells::kCensor, replicates);
      dwelling += Since(start);
      for (const DwellRate& rate : *dwell) {
        const double k = kRates[rate.from * kStates + rate.to] * options.exposure;
        t.bias[1][rate.from][rate.to].Add(rate.rate / k - 1.0);
        t.held[1][rate.from][rate.to].Add(Holds(rate.interval, k));
      }
      for (int i = 0; i < kStates; ++i) {
        double frames = 0;
        for (int j = 0; j < kStates; ++j) frames += steps[static_cast<std::size_t>(i * kStates + j)];
        std::vector<double> perFrame(kStates, 0.0);
        for (int j = 0; j < kStates; ++j)
          if (j != i) perFrame[static_cast<std::size_t>(j)] = steps[static_cast<std::size_t>(i * kStates + j)] / frames;
        if (const auto corrected = FrameCorrectedRates(perFrame))
          for (int j = 0; j < kStates; ++j)
            if (j != i)
              t.bias[2][i][j].Add((*corrected)[static_cast<std::size_t>(j)] /
                                      (kRates[i * kStates + j] * options.exposure) -
                                  1.0);
      }
    }
  }
  const double seconds = Since(began);

  std::printf("%d data sets of %d molecules in each regime, %d bootstrap replicates; %.0f s (simulating %.0f s, the "
              "rate matrix %.0f s, the dwell rates %.0f s).\n\n",
              dataSets, molecules, replicates, seconds, simulating, fitting, dwelling);
  std::printf("Mean bias (%% of the true k_ij, ± its standard error).\n\n| k12 T | estimate |");
  for (int i = 0; i < kStates; ++i)
    for (int j = 0; j < kStates; ++j)
      if (i != j) std::printf(" %d->%d |", i + 1, j + 1);
  std::printf("\n|---|---|---|---|---|---|---|---|\n");
  for (int r = 0; r < kRegimes; ++r)
    for (int e = 0; e < kEstimatorCount; ++e) {
      std::printf("| %g | %s |", kFrameTimes[r] * kRates[1], kEstimators[e]);
      for (int i = 0; i < kStates; ++i)
        for (int j = 0; j < kStates; ++j)
          if (i != j) std::printf(" %s |", Percent(tallies[static_cast<std::size_t>(r)].bias[e][i][j]).c_str());
      std::printf("\n");
    }
  std::printf("\nShare (%%) of 95 %% bootstrap intervals that hold the true k_ij.\n\n| k12 T | estimate |");
  for (int i = 0; i < kStates; ++i)
    for (int j = 0; j < kStates; ++j)
      if (i != j) std::printf(" %d->%d |", i + 1, j + 1);
  std::printf("\n|---|---|---|---|---|---|---|---|\n");
  for (int r = 0; r < kRegimes; ++r)
    for (int e = 0; e < 2; ++e) {
      std::printf("| %g | %s |", kFrameTimes[r] * kRates[1], kEstimators[e]);
      for (int i = 0; i < kStates; ++i)
        for (int j = 0; j < kStates; ++j)
          if (i != j) std::printf(" %s |", tallies[static_cast<std::size_t>(r)].held[e][i][j].Text().c_str());
      std::printf("\n");
    }
  std::printf("\n");
  for (int r = 0; r < kRegimes; ++r)
    std::printf("k12 T = %g: %d fits of the rate matrix did not converge; %d replicates failed\n",
                kFrameTimes[r] * kRates[1], tallies[static_cast<std::size_t>(r)].unconverged,
                tallies[static_cast<std::size_t>(r)].failedReplicates);
  return rawSets > 0 ? RunRawTraces(rawSets, replicates, molecules) : 0;
}
