// How well the hidden Markov model idealises raw traces of known truth: for each number of
// states K (2, 3, 4) and signal-to-noise ratio (3, 6, 10), data sets of raw traces from
// varnel-simulate's own code (Gaussian noise, and shot noise at 6; then noise on each channel,
// read noise alone and a lab's shot and read noise with each molecule's FRET offset, blinks and
// a bleached tail; the simulator's true rates at 0.1 s a frame),
// read as varnel-idealise reads them and fitted for 1 ... K + 2 states; per case the share of
// data sets in which BIC chooses K, the share of all living frames (those of a true state) kept
// and given their true state on the most likely path (each fitted state stands for the true
// level nearest its mean, so a wrong K counts what it gets right), and the frames dark in truth
// (blinks, tails) that were given a state. Where BIC chose K, the rates through the dwell estimator
// as well: each state's dwells on the most likely path (one exponential, cut dwells censored),
// k_ij with its bootstrap interval over molecules, against the rate constant of the simulated
// chain. Run by `make validate`.
//
// The truth comes from the simulation, not from the model: the true path is written beside
// each frame, and the chain steps from state i to j with the chance P_ij = k_ij dt a frame, so
// its rate constant is -ln(1 - P_i) P_ij / P_i per frame, P_i = sum_j P_ij (the dwell
// estimator's own arithmetic, stated with the simulator's chances rather than taken from it).
//
// Then the molecules' offsets: three states with Gaussian noise at signal-to-noise 6 and 3, and
// the lab's noise, every molecule's levels moved by its own offset of sd 0.02 or 0.04, each data
// set fitted twice, without and with --molecule-offsets: the same shares, the share in which
// the fit of least BIC of all (its states distinct or not) has 3 states, and the root mean
// square error of the fitted offsets against those the simulator drew (less their mean over the
// frames kept, which the model takes to be 0; a model without offsets has them all 0).
//
// Then molecules that differ in brightness: the lab's noise with each molecule's brightness
// spread log-normally, each data set fitted with even widths (--even-widths) and with widths that
// follow the brightness: the shares of K and of living frames right, and the dwell rates'
// intervals and bias as above.
//
// Usage: varnel-validate-idealise [--cases|--offsets|--brightness] [DATA_SETS [MOLECULES [FRAMES]]]
// (defaults 100; 20; 500); --cases, --offsets, --brightness: that study alone
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
#include "tools/simulate/simulation.h"

namespace {

constexpr int kDefaultDataSets = 100;
constexpr long kDefaultMolecules = 20;
constexpr long kDefaultFrames = 500;
// The states' levels: evenly spread, as a FRET study's states often are.
const std::vector<double> kLevels[] = {{0.3, 0.7}, {0.2, 0.5, 0.8}, {0.2, 0.4, 0.6, 0.8}};

enum class Noise {
  Gaussian,  // on the FRET value
  Shot,      // photon counts in each channel
  Channels,  // Gaussian read noise in each channel, independent: a skewed ratio
  Lab,       // shot noise at gain 4 and read noise 30 on a background of 50, each molecule's FRET
             // offset by sd 0.02, blinks (0.5 % of frames begin one, 3 frames long on average)
             // and a bleached tail of 50 to 200 frames
};

struct Case {
  std::size_t levels;  // into kLevels
  double snr;          // Gaussian and shot noise; the others' widths follow from the channels
  Noise noise;
};

const char* NoiseName(Noise noise) {
  switch (noise) {
    case Noise::Gaussian:
      return "Gaussian";
    case Noise::Shot:
      return "shot";
    case Noise::Channels:
      return "channels";
    case Noise::Lab:
      return "lab";
  }
  return "";
}

// Every number of states at every signal-to-noise ratio with Gaussian noise, then shot noise
// (whose widths differ from state to state) at 6, then noise on each channel: read noise of 60
// at brightness 1000 (widths 0.049, 0.042, 0.049 at 0.2, 0.5, 0.8: about 6 for three states),
// and the lab's.
constexpr Case kCases[] = {{0, 3, Noise::Gaussian}, {0, 6, Noise::Gaussian}, {0, 10, Noise::Gaussian},
                           {1, 3, Noise::Gaussian}, {1, 6, Noise::Gaussian}, {1, 10, Noise::Gaussian},
                           {2, 3, Noise::Gaussian}, {2, 6, Noise::Gaussian}, {2, 10, Noise::Gaussian},
                           {0, 6, Noise::Shot},     {1, 6, Noise::Shot},     {2, 6, Noise::Shot},
                           {0, 6, Noise::Channels}, {1, 6, Noise::Channels}, {2, 6, Noise::Channels},
                           {0, 6, Noise::Lab},      {1, 6, Noise::Lab},      {2, 6, Noise::Lab}};

constexpr double kLabBackground = 50;

// The simulation of a case's noise.
void SetNoise(simulate::Options& options, const Case& one) {
  options.snr = one.snr;
  options.poisson = one.noise == Noise::Shot;
  if (one.noise == Noise::Channels) options.readNoise = 60;
  if (one.noise != Noise::Lab) return;
  options.gain = 4;
  options.readNoise = 30;
  options.background = kLabBackground;
  options.fretOffset = 0.02;
  options.blinkChance = 0.005;
  options.blinkFrames = 3;
  options.tailLeast = 50;
  options.tailMost = 200;
}

// The raw traces of `molecules` molecules of `frames` frames at `levels`, with a case's noise.
simulate::Options RawSimulation(const std::vector<double>& levels, long molecules, long frames, const Case& one) {
  simulate::Options options;
  options.raw = true;
  options.molecules = molecules;
  options.frames = frames;
  options.states = levels;
  SetNoise(options, one);
  return options;
}

// Data set d of case c has seed c * kSeedStride + d + 1.
constexpr std::uint64_t kSeedStride = 1'000'000;

// The dwell estimator's intervals: bootstrap replicates over molecules. Each simulated state is
// left at one rate: its dwells are fitted with exactly one exponential.
constexpr int kDwellReplicates = 1000;
constexpr int kExponentials = 1;
constexpr bool kExactly = true;

struct Tally {
  int sets = 0;
  int rightCount = 0;
  long frames = 0;       // the frames of a true state
  long rightFrames = 0;  // those kept and given it
  long darkKept = 0;     // frames at background in truth given a state
  // Over every k_ij (i != j) of the data sets where BIC chose K: how many have an interval, how
  // many of those hold the truth, and the sum of the relative errors of the estimates.
  long rates = 0;
  long intervals = 0;
  long held = 0;
  double relativeError = 0;
  int rightSets = 0;        // the data sets where BIC chose K
  std::vector<int> heldBy;  // of those, the data sets whose interval held each k_ij, row-major
};

// The rate constant per frame of the simulated chain from state i to j (i != j).
double TrueRatePerFrame(const std::vector<double>& chances, std::size_t states, std::size_t i, std::size_t j) {
  double leave = 0;
  for (std::size_t to = 0; to < states; ++to)
    if (to != i) leave += chances[i * states + to];
  return -std::log1p(-leave) * chances[i * states + j] / leave;
}

// The closest levels' distance over the widest state's width of FRET (to first order for noise
// on the channels; a molecule's offset not counted).
double SignalToNoise(const Case& one, const std::vector<double>& levels) {
  simulate::Options options;
  options.raw = true;
  options.states = levels;
  SetNoise(options, one);
  const simulate::RawTruth truth = simulate::rawTruth(options);
  double closest = 1;
  for (std::size_t s = 1; s < levels.size(); ++s) closest = std::min(closest, levels[s] - levels[s - 1]);
  return closest / *std::max_element(truth.widths.begin(), truth.widths.end());
}

// The true state of every frame kept, and the molecules' FRET values, of one data set.
struct DataSet {
  std::vector<FretTrace> traces;
  std::vector<std::vector<int>> truth;  // from 0; -1 for a frame kept while the truth is dark
  std::vector<double> chances;          // P_ij, row-major
  std::vector<double> offsets;          // each molecule's FRET offset as the simulator drew it
  long living = 0;                      // the frames of a true state, kept or not
  long darkKept = 0;                    // frames dark in truth that were kept, given a state
};

DataSet Simulate(const simulate::Options& options) {
  const simulate::Model model{options, simulate::trueRates(static_cast<int>(options.states.size()))};
  const std::vector<double> chances = simulate::stepChances(model);
  const simulate::RawTruth truth = simulate::rawTruth(options);
  ImportOptions layout;
  const std::vector<ColumnRef> columns = {{"--donor", 0, "donor"}, {"--acceptor", 0, "acceptor"}, {"--state", 0, "state"}};
  DataSet set;
  set.chances = chances;
  for (long m = 1; m <= options.molecules; ++m) {
    const std::string text = simulate::simulateRawTrace(model, truth, chances, m);
    const ColumnReading reading = ReadTraceColumnsText(text, "molecule " + std::to_string(m), layout, columns);
    if (!reading.error.empty()) {
      std::fprintf(stderr, "varnel-validate-idealise: %s\n", reading.error.c_str());
      std::exit(1);
    }
    const ColumnMolecule& molecule = reading.molecules.front();
    // The reader's rows hold donor, acceptor, state; the FRET value takes the first two.
    std::vector<double> channels;
    std::vector<double> states;
    for (std::size_t r = 0; r < molecule.frames.size(); ++r) {
      channels.push_back(molecule.values[r * 3]);
      channels.push_back(molecule.values[r * 3 + 1]);
      states.push_back(molecule.values[r * 3 + 2]);
    }
    RawOptions raw;
    raw.donorBackground = raw.acceptorBackground = options.background;
    FretTrace trace = KeptFrames(std::to_string(m), "molecule " + std::to_string(m), molecule.frames, channels, raw);
    for (const double state : states) set.living += state > 0;
    std::vector<int> path;
    for (const double frame : trace.frames) {
      path.push_back(static_cast<int>(states[static_cast<std::size_t>(frame) - 1]) - 1);
      set.darkKept += path.back() < 0;
    }
    set.traces.push_back(std::move(trace));
    set.truth.push_back(std::move(path));
    set.offsets.push_back(simulate::rawFretOffset(model, m));
  }
  return set;
}

// The true state each fitted state stands for: the one of the nearest level.
std::vector<int> NearestLevels(const HmmModel& model, const std::vector<double>& levels) {
  std::vector<int> nearest;
  for (const double mean : model.means) {
    std::size_t best = 0;
    for (std::size_t s = 1; s < levels.size(); ++s)
      if (std::fabs(levels[s] - mean) < std::fabs(levels[best] - mean)) best = s;
    nearest.push_back(static_cast<int>(best));
  }
  return nearest;
}

// Every molecule's dwells on its path, each fitted state standing for the true one `nearest`
// gives; the first dwell cut by the trace's start, the last by its end.
StateDwells PathDwells(const std::vector<std::vector<int>>& paths, const std::vector<int>& nearest) {
  StateDwells dwells(paths.size());
  for (std::size_t m = 0; m < paths.size(); ++m) {
    std::vector<StateDwell>& own = dwells[m];
    for (std::size_t t = 0; t < paths[m].size(); ++t) {
      const int state = nearest[static_cast<std::size_t>(paths[m][t])];
      if (!own.empty() && own.back().state == state) {
        ++own.back().frames;
        continue;
      }
      if (!own.empty()) own.back().next = state;
      own.push_back({state, 1, own.empty(), false, -1});
    }
    if (!own.empty()) own.back().cutAtEnd = true;
  }
  return dwells;
}

// Adds the dwell estimator's k_ij of one data set to `tally`.
void TallyDwellRates(const DataSet& set, const Idealisation& result, const std::vector<int>& nearest, int states,
                     Tally& tally) {
  const auto matrix = DwellRateMatrix(PathDwells(result.paths, nearest), states, CutDwells::kCensor, kDwellReplicates,
                                      /*progress=*/nullptr, /*threads=*/0, kExponentials, kExactly);
  if (!matrix) return;
  for (const DwellRate& rate : *matrix) {
    if (rate.from == rate.to) continue;
    const auto i = static_cast<std::size_t>(rate.from), j = static_cast<std::size_t>(rate.to);
    const double truth = TrueRatePerFrame(set.chances, static_cast<std::size_t>(states), i, j);
    ++tally.rates;
    tally.relativeError += rate.rate / truth - 1.0;
    if (!rate.interval) continue;
    ++tally.intervals;
    const bool held = rate.interval->low <= truth && truth <= rate.interval->high;
    tally.held += held;
    tally.heldBy[i * static_cast<std::size_t>(states) + j] += held;
  }
}

// The cases of molecules' offsets: three states, Gaussian noise at 6 and 3 or the lab's, offsets
// of sd 0.02 and 0.04.
struct OffsetCase {
  double snr;
  Noise noise;
  double offset;
};
constexpr OffsetCase kOffsetCases[] = {{6, Noise::Gaussian, 0.02}, {6, Noise::Gaussian, 0.04},
                                       {3, Noise::Gaussian, 0.02}, {3, Noise::Gaussian, 0.04},
                                       {6, Noise::Lab, 0.02},      {6, Noise::Lab, 0.04}};
constexpr std::size_t kOffsetLevels = 1;  // into kLevels: 0.2, 0.5, 0.8
// Data set d of offset case c has seed (c + kOffsetSeedCase) * kSeedStride + d + 1, apart from
// the cases above.
constexpr std::uint64_t kOffsetSeedCase = 100;

struct OffsetTally {
  int sets = 0;
  int rightCount = 0;
  int bicAloneRight = 0;  // data sets whose fit of least BIC of all, distinct states or not, has 3
  long frames = 0;
  long rightFrames = 0;
  double squaredError = 0;  // of the offsets, over every molecule of every data set
  long offsets = 0;
};

// The root mean square of the fitted offsets' errors, against the simulated ones less their mean
// over the frames kept, added to `tally`.
void TallyOffsets(const DataSet& set, const HmmModel& model, OffsetTally& tally) {
  double weighted = 0, frames = 0;
  for (std::size_t m = 0; m < set.traces.size(); ++m) {
    weighted += set.offsets[m] * static_cast<double>(set.traces[m].fret.size());
    frames += static_cast<double>(set.traces[m].fret.size());
  }
  const double centre = weighted / frames;
  for (std::size_t m = 0; m < set.traces.size(); ++m) {
    const double error = model.Offset(m) - (set.offsets[m] - centre);
    tally.squaredError += error * error;
    ++tally.offsets;
  }
}

void OffsetStudy(int dataSets, long molecules, long frames) {
  std::printf("\nMolecules' offsets: 3 states (0.2, 0.5, 0.8), every molecule's levels moved by its own offset,\n"
              "each data set fitted without and with --molecule-offsets, 1 to 5 states, BIC choosing.\n\n");
  std::printf("| signal-to-noise | noise | offset sd | --molecule-offsets | BIC picks 3 | BIC alone, distinct states "
              "or not, picks 3 | living frames in their true state | offsets' rms error |\n"
              "|---|---|---|---|---|---|---|---|\n");
  const std::vector<double>& levels = kLevels[kOffsetLevels];
  const int states = static_cast<int>(levels.size());
  for (std::size_t c = 0; c < std::size(kOffsetCases); ++c) {
    const OffsetCase& one = kOffsetCases[c];
    const Case noise{kOffsetLevels, one.snr, one.noise};
    OffsetTally tallies[2];
    for (int d = 0; d < dataSets; ++d) {
      simulate::Options options = RawSimulation(levels, molecules, frames, noise);
      options.fretOffset = one.offset;
      options.seed = (static_cast<std::uint64_t>(c) + kOffsetSeedCase) * kSeedStride + static_cast<std::uint64_t>(d) + 1;
      const DataSet set = Simulate(options);
      for (int with = 0; with < 2; ++with) {
        IdealiseArguments arguments;
        arguments.hmm.mostStates = states + 2;
        arguments.hmm.moleculeOffsets = with == 1;
        const Idealisation result = IdealiseTraces(set.traces, arguments);
        OffsetTally& tally = tallies[with];
        ++tally.sets;
        tally.frames += set.living;
        if (!result.error.empty()) continue;
        tally.rightCount += result.Model().states == states;
        const StateCountFit* least = nullptr;
        for (const StateCountFit& fit : result.fits)
          if (fit.fitted && (!least || fit.bic < least->bic)) least = &fit;
        tally.bicAloneRight += least && least->states == states;
        const std::vector<int> nearest = NearestLevels(result.Model(), levels);
        for (std::size_t m = 0; m < set.truth.size(); ++m)
          for (std::size_t t = 0; t < set.truth[m].size(); ++t)
            tally.rightFrames += nearest[static_cast<std::size_t>(result.paths[m][t])] == set.truth[m][t];
        TallyOffsets(set, result.Model(), tally);
      }
    }
    for (int with = 0; with < 2; ++with) {
      const OffsetTally& tally = tallies[with];
      std::printf("| %.3g | %s | %.2f | %s | %.1f %% | %.1f %% | %.2f %% | %.4f |\n", SignalToNoise(noise, levels),
                  NoiseName(one.noise), one.offset, with ? "on" : "off", 100.0 * tally.rightCount / tally.sets,
                  100.0 * tally.bicAloneRight / tally.sets, 100.0 * static_cast<double>(tally.rightFrames) / static_cast<double>(tally.frames),
                  tally.offsets ? std::sqrt(tally.squaredError / static_cast<double>(tally.offsets)) : 0.0);
    }
    std::fflush(stdout);
  }
}

// The cases of molecules that differ in brightness: three states with the lab's noise, the
// molecules' brightness of median `brightness`, spread by `spread` (sd of its logarithm).
struct BrightnessCase {
  double brightness;
  double spread;
};
constexpr BrightnessCase kBrightnessCases[] = {{1000, 0.3}, {1000, 0.6}, {500, 0.3}, {500, 0.6}};
constexpr std::uint64_t kBrightnessSeedCase = 200;

// The living frames right, the states chosen and the dwell rates of one data set's fit.
void TallyFit(const DataSet& set, const Idealisation& result, const std::vector<double>& levels, Tally& tally) {
  const int states = static_cast<int>(levels.size());
  tally.heldBy.resize(static_cast<std::size_t>(states * states), 0);
  ++tally.sets;
  tally.frames += set.living;
  tally.darkKept += set.darkKept;
  if (!result.error.empty()) return;
  tally.rightCount += result.Model().states == states;
  const std::vector<int> nearest = NearestLevels(result.Model(), levels);
  if (result.Model().states == states) {
    ++tally.rightSets;
    TallyDwellRates(set, result, nearest, states, tally);
  }
  for (std::size_t m = 0; m < set.truth.size(); ++m)
    for (std::size_t t = 0; t < set.truth[m].size(); ++t)
      tally.rightFrames += nearest[static_cast<std::size_t>(result.paths[m][t])] == set.truth[m][t];
}

// The table row's last four cells: living frames right, dark frames given a state, the intervals
// that hold the truth (all; the worst k_ij) and the mean bias.
void PrintFitCells(const Tally& tally, int states) {
  double worst = 1;
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j)
      if (i != j && tally.rightSets > 0)
        worst = std::min(worst,
                         tally.heldBy[static_cast<std::size_t>(i * states + j)] / static_cast<double>(tally.rightSets));
  std::printf("%.1f %% | %.2f %% | %ld | %.1f %% (%.0f %%) | %+.1f %% |\n", 100.0 * tally.rightCount / tally.sets,
              100.0 * static_cast<double>(tally.rightFrames) / static_cast<double>(tally.frames), tally.darkKept,
              tally.intervals ? 100.0 * static_cast<double>(tally.held) / static_cast<double>(tally.intervals) : 0.0,
              100.0 * worst, tally.rates ? 100.0 * tally.relativeError / static_cast<double>(tally.rates) : 0.0);
}

void BrightnessStudy(int dataSets, long molecules, long frames) {
  std::printf(
      "\nMolecules that differ in brightness: 3 states (0.2, 0.5, 0.8) with the lab's noise, each molecule's\n"
      "brightness times exp(S e), each data set fitted with --even-widths and without, 1 to 5 states.\n\n");
  std::printf(
      "| median brightness | S | widths | BIC picks 3 | living frames in their true state | dark "
      "frames given a state | dwell k_ij: intervals that hold the truth (all; the worst k_ij) | dwell k_ij: "
      "mean bias |\n|---|---|---|---|---|---|---|---|\n");
  const std::vector<double>& levels = kLevels[kOffsetLevels];
  const int states = static_cast<int>(levels.size());
  for (std::size_t c = 0; c < std::size(kBrightnessCases); ++c) {
    const BrightnessCase& one = kBrightnessCases[c];
    Tally tallies[2];
    for (int d = 0; d < dataSets; ++d) {
      simulate::Options options = RawSimulation(levels, molecules, frames, {kOffsetLevels, 6, Noise::Lab});
      options.brightness = one.brightness;
      options.brightnessSpread = one.spread;
      options.seed =
          (static_cast<std::uint64_t>(c) + kBrightnessSeedCase) * kSeedStride + static_cast<std::uint64_t>(d) + 1;
      const DataSet set = Simulate(options);
      for (int with = 0; with < 2; ++with) {
        IdealiseArguments arguments;
        arguments.hmm.mostStates = states + 2;
        arguments.evenWidths = with == 0;
        TallyFit(set, IdealiseTraces(set.traces, arguments), levels, tallies[with]);
      }
    }
    for (int with = 0; with < 2; ++with) {
      std::printf("| %.0f | %.1f | %s | ", one.brightness, one.spread, with ? "follow the brightness" : "even");
      PrintFitCells(tallies[with], states);
    }
    std::fflush(stdout);
  }
}

// The cases of kCases: a row each.
void CaseStudy(int dataSets, long molecules, long frames) {
  std::printf("Idealisation of simulated raw traces: %d data sets per case, %ld molecules of %ld frames each,\n"
              "1 to K + 2 states fitted, BIC choosing.\n\n",
              dataSets, molecules, frames);
  std::printf(
      "| K | signal-to-noise | noise | BIC picks K | living frames in their true state | dark frames given a "
      "state | dwell k_ij: intervals that hold the truth (all; the worst k_ij) | dwell k_ij: mean bias "
      "|\n|---|---|---|---|---|---|---|---|\n");
  for (std::size_t c = 0; c < std::size(kCases); ++c) {
    const Case& one = kCases[c];
    const std::vector<double>& levels = kLevels[one.levels];
    const int states = static_cast<int>(levels.size());
    Tally tally;
    for (int d = 0; d < dataSets; ++d) {
      simulate::Options options = RawSimulation(levels, molecules, frames, one);
      options.seed = static_cast<std::uint64_t>(c + 1) * kSeedStride + static_cast<std::uint64_t>(d) + 1;
      const DataSet set = Simulate(options);
      IdealiseArguments arguments;
      arguments.hmm.mostStates = states + 2;
      TallyFit(set, IdealiseTraces(set.traces, arguments), levels, tally);
    }
    std::printf("| %d | %.3g | %s | ", states, SignalToNoise(one, levels), NoiseName(one.noise));
    PrintFitCells(tally, states);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string alone = argc > 1 && std::string(argv[1]).starts_with("--") ? argv[1] : "";
  if (!alone.empty()) {
    --argc;
    ++argv;
  }
  const bool every = alone.empty();
  const int dataSets = argc > 1 ? std::atoi(argv[1]) : kDefaultDataSets;
  const long molecules = argc > 2 ? std::atol(argv[2]) : kDefaultMolecules;
  const long frames = argc > 3 ? std::atol(argv[3]) : kDefaultFrames;
  if (dataSets < 1 || molecules < 1 || frames < 2 ||
      !(every || alone == "--cases" || alone == "--offsets" || alone == "--brightness")) {
    std::fprintf(stderr,
                 "usage: varnel-validate-idealise [--cases|--offsets|--brightness] [DATA_SETS [MOLECULES [FRAMES]]]\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  if (every || alone == "--cases") CaseStudy(dataSets, molecules, frames);
  if (every || alone == "--offsets") OffsetStudy(dataSets, molecules, frames);
  if (every || alone == "--brightness") BrightnessStudy(dataSets, molecules, frames);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("\n%.0f s\n", seconds);
  return 0;
}
