// How well the hidden Markov model idealises raw traces of known truth: for each number of
// states K (2, 3, 4) and signal-to-noise ratio (3, 6, 10), data sets of raw traces from
// varnel-simulate's own code (Gaussian noise, and shot noise at 6; the simulator's true rates
// at 0.1 s a frame),
// read as varnel-idealise reads them and fitted for 1 ... K + 2 states; per case the share of
// data sets in which BIC chooses K, and the share of all frames whose state on the most likely
// path is their true state (each fitted state stands for the true level nearest its mean, so a
// wrong K counts what it gets right). Run by `make validate`.
//
// The truth comes from the simulation, not from the model: the true path is written beside
// each frame.
//
// Usage: varnel-validate-idealise [DATA_SETS [MOLECULES [FRAMES]]]   (defaults 100; 20; 500)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "idealise/hmm.h"
#include "idealise/rawtraces.h"
#include "import/tracefile.h"
#include "tools/simulate/simulation.h"

namespace {

constexpr int kDefaultDataSets = 100;
constexpr long kDefaultMolecules = 20;
constexpr long kDefaultFrames = 500;
// The states' levels: evenly spread, as a FRET study's states often are.
const std::vector<double> kLevels[] = {{0.3, 0.7}, {0.2, 0.5, 0.8}, {0.2, 0.4, 0.6, 0.8}};

struct Case {
  std::size_t levels;  // into kLevels
  double snr;
  bool poisson;
};

// Every number of states at every signal-to-noise ratio with Gaussian noise, then shot noise
// (whose widths differ from state to state) at 6.
constexpr Case kCases[] = {{0, 3, false}, {0, 6, false}, {0, 10, false}, {1, 3, false}, {1, 6, false},
                           {1, 10, false}, {2, 3, false}, {2, 6, false}, {2, 10, false}, {0, 6, true},
                           {1, 6, true},  {2, 6, true}};
// Data set d of case c has seed c * kSeedStride + d + 1.
constexpr std::uint64_t kSeedStride = 1'000'000;

struct Tally {
  int sets = 0;
  int rightCount = 0;
  long frames = 0;
  long rightFrames = 0;
};

// The true state of every frame kept, and the molecules' FRET values, of one data set.
struct DataSet {
  std::vector<FretTrace> traces;
  std::vector<std::vector<int>> truth;  // from 0
};

DataSet Simulate(const simulate::Options& options) {
  const simulate::Model model{options, simulate::trueRates(static_cast<int>(options.states.size()))};
  const std::vector<double> chances = simulate::stepChances(model);
  const simulate::RawTruth truth = simulate::rawTruth(options);
  ImportOptions layout;
  const std::vector<ColumnRef> columns = {{"--donor", 0, "donor"}, {"--acceptor", 0, "acceptor"}, {"--state", 0, "state"}};
  DataSet set;
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
    FretTrace trace = KeptFrames(std::to_string(m), "molecule " + std::to_string(m), molecule.frames, channels, RawOptions{});
    std::vector<int> path;
    for (const double frame : trace.frames) path.push_back(static_cast<int>(states[static_cast<std::size_t>(frame) - 1]) - 1);
    set.traces.push_back(std::move(trace));
    set.truth.push_back(std::move(path));
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

}  // namespace

int main(int argc, char** argv) {
  const int dataSets = argc > 1 ? std::atoi(argv[1]) : kDefaultDataSets;
  const long molecules = argc > 2 ? std::atol(argv[2]) : kDefaultMolecules;
  const long frames = argc > 3 ? std::atol(argv[3]) : kDefaultFrames;
  if (dataSets < 1 || molecules < 1 || frames < 2) {
    std::fprintf(stderr, "usage: varnel-validate-idealise [DATA_SETS [MOLECULES [FRAMES]]]\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  std::printf("Idealisation of simulated raw traces: %d data sets per case, %ld molecules of %ld frames each,\n"
              "1 to K + 2 states fitted, BIC choosing.\n\n",
              dataSets, molecules, frames);
  std::printf("| K | signal-to-noise | noise | BIC picks K | frames in their true state |\n|---|---|---|---|---|\n");
  for (std::size_t c = 0; c < std::size(kCases); ++c) {
    const Case& one = kCases[c];
    const std::vector<double>& levels = kLevels[one.levels];
    const int states = static_cast<int>(levels.size());
    Tally tally;
    for (int d = 0; d < dataSets; ++d) {
      simulate::Options options;
      options.raw = true;
      options.molecules = molecules;
      options.frames = frames;
      options.states = levels;
      options.snr = one.snr;
      options.poisson = one.poisson;
      options.seed = static_cast<std::uint64_t>(c + 1) * kSeedStride + static_cast<std::uint64_t>(d) + 1;
      const DataSet set = Simulate(options);
      std::vector<std::span<const double>> fret;
      for (const FretTrace& trace : set.traces) fret.emplace_back(trace.fret);
      HmmSettings settings;
      settings.mostStates = states + 2;
      const Idealisation result = Idealise(fret, settings);
      ++tally.sets;
      if (!result.error.empty()) continue;
      tally.rightCount += result.Model().states == states;
      const std::vector<int> nearest = NearestLevels(result.Model(), levels);
      for (std::size_t m = 0; m < set.truth.size(); ++m)
        for (std::size_t t = 0; t < set.truth[m].size(); ++t) {
          ++tally.frames;
          tally.rightFrames += nearest[static_cast<std::size_t>(result.paths[m][t])] == set.truth[m][t];
        }
    }
    std::printf("| %d | %g | %s | %.1f %% | %.2f %% |\n", states, one.snr, one.poisson ? "shot" : "Gaussian",
                100.0 * tally.rightCount / tally.sets,
                100.0 * static_cast<double>(tally.rightFrames) / static_cast<double>(tally.frames));
    std::fflush(stdout);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("\n%.0f s\n", seconds);
  return 0;
}
