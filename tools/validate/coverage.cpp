// How often the bootstrap intervals hold the truth, and how far the estimates lie from it:
// simulated data sets of 30, 100 and 300 molecules of varnel-simulate's default model, every
// off-diagonal class locked, fitted and bootstrapped, and per class the share of 95 %
// intervals of each kind (percentile, BCa) that hold the true value, for the Gaussian fit and
// the pooled rate, with each estimate's mean bias against that value. Run by `make validate`.
//
// The truth comes from the model, not from the estimators. A molecule visits 2 or 3 of the 3
// states (each half the molecules; 2 of them a pair chosen evenly). A record of class i->j
// holds a molecule's rate per frame p = k dt e^(s e), e standard normal, with k the model's rate
// constant (trueRates), dt the exposure and s the scatter (0.25); its number of transitions n
// is 1 + Poisson(c), c = min(20, 40 k dt), drawn from k alone, so it is independent of p. The
// record that stands for leaving i holds the sum of the molecule's n_ib, b the other states it
// visits, and the exit rate p_i = E dt e^(s e), E the sum of their k_ib.
//   - The Gaussian fit's rate is e^centre / dt, the centre of the distribution of ln p: its
//     truth is k, the rate of the typical (median) molecule.
//   - The pooled rate is (sum of n_ij) / (sum of F_i) / dt over the molecules that visit i,
//     F_i = n_i / p_i their frames in i. It tends to E[n_ij] / E[F_i] / dt =
//     e^(-s^2 / 2) A / B / dt, A = sum_V P(V) [i, j in V] (1 + c_ij) and
//     B = sum_V P(V) [i in V] sum_b (1 + c_ib) / (E_i(V) dt) over the sets V of states visited:
//     the rate of one population that spends as many frames in i per step to j as these
//     molecules together, those that never visit j counted with their frames. Its coverage and
//     bias are judged against that; how far it lies from k, the model's rate, is reported
//     beside them, and so is how often its intervals hold k.
// Diagonal classes are left out: a diagonal record's rate is its molecule's exit rate to the
// states it happens to visit, a mixture with no one true rate.
//
// Run time on 2 cores: about 20 minutes for 200 data sets of each size, two thirds of it for
// the 300 molecules: per data set the simulator's files, and 6 classes x 1,000 replicates and
// the jackknifes (the pooled rate's apart from the fit's, since molecules that visit i but not
// j count their frames).
//
// Usage: varnel-validate [DATA_SETS [MOLECULES ...]]   (defaults 200; 30 100 300)
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fit/bootstrap.h"
#include "platform/system.h"
#include "reports/reportfile.h"
#include "tools/simulate/simulation.h"
#include "tools/validate/study.h"

namespace {

constexpr int kStates = 3;
constexpr int kPeaks = 10;  // the simulator's reports: 10 x 10 records
constexpr std::size_t kPerMolecule = kPeaks * kPeaks;
constexpr int kDefaultDataSets = 200;
constexpr int kDefaultMolecules[] = {30, 100, 300};
// Data set d of m molecules has seed m * kSeedStride + d + 1: the sizes draw apart, since the
// simulator's molecule k is the same file however many it writes.
constexpr std::uint64_t kSeedStride = 1'000'000;

// The model the simulator runs without options.
struct Truth {
  double exposure;
  double scatter;
  std::vector<double> rates;  // s^-1, row-major
  double Fit(int i, int j) const { return rates[static_cast<std::size_t>(i * kStates + j)]; }
  // E[n_ij] of a molecule that visits i and j.
  double Steps(int i, int j) const { return 1.0 + std::min(20.0, 40.0 * Fit(i, j) * exposure); }
  double Pooled(int i, int j) const;
};

double Truth::Pooled(int i, int j) const {
  constexpr int kMostVisited = std::min(kStates, kPeaks);
  constexpr int kSizes = kMostVisited - 1;  // 2 ... kMostVisited states, evenly
  double steps = 0.0, frames = 0.0;
  for (unsigned visited = 0; visited < (1u << kStates); ++visited) {
    const int size = std::popcount(visited);
    if (size < 2 || size > kMostVisited || !(visited >> i & 1u)) continue;
    double subsets = 1.0;  // kStates choose size
    for (int k = 0; k < size; ++k) subsets = subsets * (kStates - k) / (k + 1);
    const double chance = 1.0 / kSizes / subsets;
    double exits = 0.0, leaving = 0.0;
    for (int b = 0; b < kStates; ++b)
      if (b != i && (visited >> b & 1u)) {
        exits += Fit(i, b);
        leaving += Steps(i, b);
      }
    frames += chance * leaving / (exits * exposure);
    if (visited >> j & 1u) steps += chance * Steps(i, j);
  }
  return std::exp(-scatter * scatter / 2.0) * steps / frames / exposure;
}

Truth ModelTruth() {
  const simulate::Options options;
  return {options.exposure, options.scatter, simulate::trueRates(kStates)};
}

// The reports of `molecules` simulated molecules of the default model.
TransitionRecords Simulate(int molecules, std::uint64_t seed, const std::filesystem::path& scratch) {
  std::filesystem::remove_all(scratch);
  const std::string command = std::string("'") + VARNEL_SIMULATOR + "' --out '" + scratch.string() + "' --molecules " +
                              std::to_string(molecules) + " --seed " + std::to_string(seed) + " >/dev/null";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "varnel-validate: cannot run %s\n", VARNEL_SIMULATOR);
    std::exit(1);
  }
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(scratch)) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  TransitionRecords records(paths.size() * kPerMolecule);
  for (std::size_t f = 0; f < paths.size(); ++f) ReadReport(paths[f].string(), kPerMolecule, records, f * kPerMolecule);
  return records;
}

// Class i->j of three evenly spaced states, as "Lock cutoffs" builds it.
ClassRule Class(int i, int j) {
  Cutoffs cutoffs{};
  for (int k = 0; k < kStates - 1; ++k) cutoffs[static_cast<std::size_t>(k)] = (1.0 / kStates) * (k + 1);
  cutoffs[kStates - 1] = 1.0;
  return {i, j, kStates, cutoffs, true, {}};
}

// What one estimator's intervals and values add up to over the data sets, for one class.
struct Tally {
  int percentileHeld = 0;
  int bcaHeld = 0;
  int modelHeld = 0;     // the default kind holding the model's rate k (asked of the pooled rate)
  double sum = 0.0;      // of the estimates ...
  double squares = 0.0;  // ... and of their squares
  void Add(const IntervalKinds& kinds, double estimate, double truth, double modelRate) {
    percentileHeld += Holds(kinds.percentile, truth);
    bcaHeld += Holds(kinds.bca, truth);
    modelHeld += Holds(kinds.Of(kDefaultIntervalKind), modelRate);
    sum += estimate;
    squares += estimate * estimate;
  }
};

struct ClassTally {
  int sets = 0;  // data sets whose class had both intervals
  Tally fit;
  Tally pooled;
};

double Percent(int part, int whole) { return 100.0 * part / std::max(whole, 1); }

// The mean estimate's bias against `truth`, and its standard error, in % of the truth.
std::string Bias(const Tally& tally, int sets, double truth) {
  const double n = std::max(sets, 1);
  const double mean = tally.sum / n;
  const double variance = std::max(tally.squares / n - mean * mean, 0.0);
  char text[64];
  std::snprintf(text, sizeof text, "%+.1f ± %.1f", 100.0 * (mean - truth) / truth,
                100.0 * std::sqrt(variance / n) / truth);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<StudySize> size = StudySizeOf(argc, argv, kDefaultDataSets, kDefaultMolecules);
  if (!size) {
    std::fprintf(stderr, "Usage: varnel-validate [DATA_SETS [MOLECULES ...]]\n");
    return 2;
  }
  const int dataSets = size->dataSets;
  const std::vector<int>& sizes = size->molecules;
  const Truth truth = ModelTruth();
  const auto scratch = std::filesystem::temp_directory_path() / ("varnel-validate-" + std::to_string(ProcessNumber()));

  std::printf(
      "Share of 95 %% intervals that hold the truth, and mean bias of the estimate (%% of the truth,\n"
      "± its standard error); the default interval is %s. Truth: the fit k, the pooled rate the model's\n"
      "steps over its frames in the initial state, e^(-s^2/2) A / B / dt (see the source).\n",
      std::string(IntervalKindName(kDefaultIntervalKind)).c_str());
  for (const int molecules : sizes) {
    ClassTally tally[kStates][kStates];
    for (int set = 0; set < dataSets; ++set) {
      const auto seed = static_cast<std::uint64_t>(molecules) * kSeedStride + static_cast<std::uint64_t>(set) + 1;
      const TransitionRecords records = Simulate(molecules, seed, scratch);
      for (int i = 0; i < kStates; ++i)
        for (int j = 0; j < kStates; ++j) {
          if (i == j) continue;
          const ClassRule rule = Class(i, j);
          const ClassUncertainty u = EstimateUncertainty(records, kPerMolecule, rule, truth.exposure);
          const std::optional<double> fitted = FittedRate(records, rule, truth.exposure);
          if (!u.rateKinds.percentile || !u.rateKinds.bca || !u.pooledKinds.bca || !fitted || !u.pooledRate) continue;
          ClassTally& t = tally[i][j];
          ++t.sets;
          t.fit.Add(u.rateKinds, *fitted, truth.Fit(i, j), truth.Fit(i, j));
          t.pooled.Add(u.pooledKinds, *u.pooledRate, truth.Pooled(i, j), truth.Fit(i, j));
        }
      std::fprintf(stderr, "\r%d molecules: data set %d of %d", molecules, set + 1, dataSets);
    }
    std::fprintf(stderr, "\n");

    std::printf("\n%d data sets of %d molecules\n\n", dataSets, molecules);
    std::printf(
        "| class | k (s^-1) | fit: percentile | fit: BCa | fit bias %% | pooled's truth (s^-1) | pooled: percentile "
        "| pooled: BCa | pooled bias %% | pooled bias vs k %% | pooled %s holds k | sets |\n",
        std::string(IntervalKindName(kDefaultIntervalKind)).c_str());
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (int i = 0; i < kStates; ++i)
      for (int j = 0; j < kStates; ++j) {
        if (i == j) continue;
        const ClassTally& t = tally[i][j];
        std::printf("| %d->%d | %g | %.1f %% | %.1f %% | %s | %.4g | %.1f %% | %.1f %% | %s | %s | %.1f %% | %d |\n",
                    i + 1, j + 1, truth.Fit(i, j), Percent(t.fit.percentileHeld, t.sets), Percent(t.fit.bcaHeld, t.sets),
                    Bias(t.fit, t.sets, truth.Fit(i, j)).c_str(), truth.Pooled(i, j),
                    Percent(t.pooled.percentileHeld, t.sets),
                    Percent(t.pooled.bcaHeld, t.sets), Bias(t.pooled, t.sets, truth.Pooled(i, j)).c_str(),
                    Bias(t.pooled, t.sets, truth.Fit(i, j)).c_str(), Percent(t.pooled.modelHeld, t.sets), t.sets);
      }
    std::fflush(stdout);
  }
  std::filesystem::remove_all(scratch);
  return 0;
}
