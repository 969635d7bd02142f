// How close the dwell-time rates come to the truth, and how often their 95 % intervals hold it:
// data sets of 30, 100 and 300 simulated molecules of a known discrete Markov chain, each
// molecule's dwell table built as an import builds it, and per class i->j the share of data sets
// whose dwell rate-matrix interval holds the true k_ij, the share whose profile interval of each
// exit rate holds the true rate, and the mean bias, against the true k_ij, of every estimate
// Varnel prints: the Gaussian fit of the class, its pooled rate, the pooled rates corrected for
// sampling once per frame (FrameCorrectedRates), and the dwell k_ij. Run by `make validate`.
//
// The model (per frame; a transition happens, if at all, between one frame and the next):
//   state 1 (level 0.2): left with chance 0.10, 70 % for state 2, 30 % for state 3;
//   state 2 (level 0.5): two hidden sub-states at the same level, entered half and half: one left
//     with chance 0.40 (rate 0.51 a frame), the other with 0.04 (0.041); both 70 % for state 1,
//     30 % for state 3: its dwells follow two exponentials;
//   state 3 (level 0.8): left with chance 0.02 (rate 0.020), 25 % for state 1, 75 % for state 2.
// A trace starts in the chain's stationary distribution and bleaches after each frame with the
// chance 1 / 500 (at most 5,000 frames): its first dwell is cut at the start, its last at the end.
//
// The truth, from the model alone: a state left with chance P per frame has the exit rate
// k = -ln(1 - P) and k_ij = k x (share of its exits that go to j); state 2's exit rate is the
// inverse of its mean dwell, 1 / (0.5 / k_fast + 0.5 / k_slow), as MeanRate gives it.
//
// Usage: varnel-validate-dwell [DATA_SETS [MOLECULES ...]]   (defaults 200; 30 100 300)
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dwell/dwelltimes.h"
#include "fit/bootstrap.h"
#include "fit/random.h"
#include "import/counting.h"
#include "selection/classlists.h"
#include "tools/validate/study.h"

namespace {

constexpr int kDefaultDataSets = 200;
constexpr int kDefaultMolecules[] = {30, 100, 300};
constexpr int kStates = 3;
// Data set d of molecule count m has seed m * kSeedStride + d + 1.
constexpr std::uint64_t kSeedStride = 1'000'000;
// Bootstrap replicates of the rate matrix: the program's default.
constexpr int kReplicates = kDefaultReplicates;

constexpr double kBleachChance = 1.0 / 500;
constexpr std::int64_t kLongestTrace = 5000;

// The hidden states: observed state, level, chance per frame of leaving.
struct Hidden {
  int state;
  double level;
  double leave;
};
constexpr Hidden kHidden[] = {{0, 0.2, 0.10}, {1, 0.5, 0.40}, {1, 0.5, 0.04}, {2, 0.8, 0.02}};
constexpr int kHiddenCount = 4;
// Where the exits of each observed state go, and how an entry into each is split among its
// hidden states.
constexpr double kExitShare[kStates][kStates] = {{0, 0.7, 0.3}, {0.7, 0, 0.3}, {0.25, 0.75, 0}};
constexpr double kEntryShare[kHiddenCount] = {1.0, 0.5, 0.5, 1.0};
const Cutoffs kCutoffs = {0.35, 0.65, 1.0};

double RateOf(double chance) { return -std::log1p(-chance); }

// The true exit rate of each state (the mean rate) and its terms' rates, fastest first.
struct Truth {
  std::array<double, kStates> exit{};
  std::array<std::vector<double>, kStates> terms;
  double Rate(int i, int j) const { return exit[static_cast<std::size_t>(i)] * kExitShare[i][j]; }
};

Truth ModelTruth() {
  Truth truth;
  for (int i = 0; i < kStates; ++i) {
    double meanDwell = 0;
    for (int h = 0; h < kHiddenCount; ++h)
      if (kHidden[h].state == i) {
        meanDwell += kEntryShare[h] / RateOf(kHidden[h].leave);
        truth.terms[static_cast<std::size_t>(i)].push_back(RateOf(kHidden[h].leave));
      }
    truth.exit[static_cast<std::size_t>(i)] = 1.0 / meanDwell;
    std::sort(truth.terms[static_cast<std::size_t>(i)].rbegin(), truth.terms[static_cast<std::size_t>(i)].rend());
  }
  return truth;
}

// The chance of going from hidden state a to hidden state b between two frames.
double Step(int a, int b) {
  if (a == b) return 1.0 - kHidden[a].leave;
  const int from = kHidden[a].state, to = kHidden[b].state;
  if (from == to) return 0.0;
  return kHidden[a].leave * kExitShare[from][to] * kEntryShare[b];
}

// The chain's stationary distribution, by iterating it from the uniform one: the slowest mode
// decays by about 1 - 0.02 a frame, so 20,000 steps leave nothing of the start.
std::array<double, kHiddenCount> Stationary() {
  std::array<double, kHiddenCount> share{};
  share.fill(1.0 / kHiddenCount);
  for (int step = 0; step < 20000; ++step) {
    std::array<double, kHiddenCount> next{};
    for (int a = 0; a < kHiddenCount; ++a)
      for (int b = 0; b < kHiddenCount; ++b) next[static_cast<std::size_t>(b)] += share[static_cast<std::size_t>(a)] * Step(a, b);
    share = next;
  }
  return share;
}

// A number in [0, 1) from the engine's top 53 bits.
double Uniform(std::mt19937_64& random) { return static_cast<double>(random() >> 11) * 0x1.0p-53; }

int Pick(std::mt19937_64& random, const double* chances, int count) {
  double u = Uniform(random);
  for (int k = 0; k < count - 1; ++k) {
    if (u < chances[k]) return k;
    u -= chances[k];
  }
  return count - 1;
}

// One data set: the dwell table and the reports' records (kStates x kStates per molecule).
struct DataSet {
  DwellTable table;
  TransitionRecords records;
};

DataSet Simulate(int molecules, std::uint64_t seed, const std::array<double, kHiddenCount>& stationary) {
  std::mt19937_64 random(SplitMix64(seed));
  double steps[kHiddenCount][kHiddenCount];
  for (int a = 0; a < kHiddenCount; ++a)
    for (int b = 0; b < kHiddenCount; ++b) steps[a][b] = Step(a, b);
  DataSet set;
  for (int m = 0; m < molecules; ++m) {
    int hidden = Pick(random, stationary.data(), kHiddenCount);
    std::vector<Dwell> frames;
    std::int64_t length = 0;
    while (true) {
      AppendFrames(frames, kHidden[hidden].level);
      ++length;
      if (length >= kLongestTrace || Uniform(random) < kBleachChance) break;
      hidden = Pick(random, steps[hidden], kHiddenCount);
    }
    MoleculeDwells molecule{"molecule " + std::to_string(m + 1), {}};
    std::int64_t start = 1;
    for (std::size_t k = 0; k < frames.size(); ++k) {
      molecule.dwells.push_back({frames[k].value, start, frames[k].frames, k == 0, k + 1 == frames.size()});
      start += frames[k].frames;
    }
    set.table.push_back(std::move(molecule));
    const TransitionRecords records = ReportRecords(CountTransitions(frames, kStates), kStates);
    for (std::size_t r = 0; r < records.size(); ++r) set.records.push_back(records[r]);
  }
  return set;
}

const char* kEstimators[] = {"Gaussian fit", "pooled", "pooled, frame-corrected", "dwell k_ij"};
constexpr int kEstimatorCount = 4;

struct Tally {
  Share pair[kStates][kStates];
  Share exitTerm[kStates][2];  // the profile interval of each true term, when BIC chose the true count
  Share rightTerms[kStates];   // BIC chose the true number of exponentials
  Mean bias[kEstimatorCount][kStates][kStates];
  Mean exitBias[kStates][2];
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<StudySize> size = StudySizeOf(argc, argv, kDefaultDataSets, kDefaultMolecules);
  if (!size) {
    std::fprintf(stderr, "Usage: varnel-validate-dwell [DATA_SETS [MOLECULES ...]]\n");
    return 2;
  }
  const int dataSets = size->dataSets;
  const std::vector<int>& sizes = size->molecules;
  const Truth truth = ModelTruth();
  const auto stationary = Stationary();
  const auto began = std::chrono::steady_clock::now();
  std::vector<Tally> tallies(sizes.size());
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    Tally& t = tallies[s];
    for (int d = 0; d < dataSets; ++d) {
      const DataSet set = Simulate(sizes[s], static_cast<std::uint64_t>(sizes[s]) * kSeedStride + d + 1, stationary);
      const StateDwells dwells = DwellsInStates(set.table, kStates, kCutoffs);
      const auto matrix = DwellRateMatrix(dwells, kStates, CutDwells::kCensor, kReplicates);
      for (const DwellRate& rate : *matrix) {
        const double k = truth.Rate(rate.from, rate.to);
        if (rate.interval) t.pair[rate.from][rate.to].Add(Holds(rate.interval, k));
        t.bias[3][rate.from][rate.to].Add(rate.rate / k - 1.0);
      }
      for (int i = 0; i < kStates; ++i) {
        const StateDwellTimes times = AnalyseState(dwells, i, CutDwells::kCensor);
        const std::vector<double>& terms = truth.terms[static_cast<std::size_t>(i)];
        t.rightTerms[i].Add(times.chosen >= 0 && times.fits[static_cast<std::size_t>(times.chosen)].terms.size() == terms.size());
        const std::size_t m = terms.size();
        if (times.fits.size() >= m && times.fits[m - 1].converged)
          for (std::size_t c = 0; c < m; ++c) {
            const ExponentialTerm& term = times.fits[m - 1].terms[c];
            t.exitTerm[i][c].Add(Holds(term.rateInterval, terms[c]));
            t.exitBias[i][c].Add(term.rate / terms[c] - 1.0);
          }
        // The reports' estimates of row i, the pooled rate over the frames the dwells count.
        StateFrames frames;
        for (const MoleculeDwells& molecule : set.table)
          frames.push_back(FramesInState(molecule, {i, i, kStates, kCutoffs, true, {}}));
        std::vector<double> pooled(kStates, 0.0);
        bool whole = true;
        for (int j = 0; j < kStates; ++j) {
          if (j == i) continue;
          const ClassRule rule{i, j, kStates, kCutoffs, true, {}};
          const double k = truth.Rate(i, j);
          if (const auto fitted = FittedRate(set.records, rule, 1.0)) t.bias[0][i][j].Add(*fitted / k - 1.0);
          if (const auto p = PooledRate(set.records, kStates * kStates, rule, 1.0, &frames)) {
            pooled[static_cast<std::size_t>(j)] = *p;
            t.bias[1][i][j].Add(*p / k - 1.0);
          } else {
            whole = false;
          }
        }
        if (const auto corrected = whole ? FrameCorrectedRates(pooled) : std::nullopt)
          for (int j = 0; j < kStates; ++j)
            if (j != i) t.bias[2][i][j].Add((*corrected)[static_cast<std::size_t>(j)] / truth.Rate(i, j) - 1.0);
      }
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  std::printf("%d data sets of each size, %d bootstrap replicates; %.0f s.\n\n", dataSets, kReplicates, seconds);
  std::printf("Share (%%) of 95 %% intervals that hold the true rate; the exit rates' by profile likelihood\n"
              "(terms of the fit with the true number of exponentials), k_ij's by the bootstrap over molecules.\n\n");
  std::printf("| molecules |");
  for (int i = 0; i < kStates; ++i)
    for (int j = 0; j < kStates; ++j)
      if (i != j) std::printf(" k %d->%d |", i + 1, j + 1);
  std::printf(" exit 1 | exit 2 fast | exit 2 slow | exit 3 | BIC right (1 / 2 / 3) |\n|---|");
  for (int k = 0; k < 10; ++k) std::printf("---|");
  std::printf("\n");
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    const Tally& t = tallies[s];
    std::printf("| %d |", sizes[s]);
    for (int i = 0; i < kStates; ++i)
      for (int j = 0; j < kStates; ++j)
        if (i != j) std::printf(" %s |", t.pair[i][j].Text().c_str());
    std::printf(" %s | %s | %s | %s | %s / %s / %s |\n", t.exitTerm[0][0].Text().c_str(), t.exitTerm[1][0].Text().c_str(),
                t.exitTerm[1][1].Text().c_str(), t.exitTerm[2][0].Text().c_str(), t.rightTerms[0].Text().c_str(),
                t.rightTerms[1].Text().c_str(), t.rightTerms[2].Text().c_str());
  }
  std::printf("\nMean bias (%% of the true k_ij, ± its standard error) of each estimate.\n\n| molecules | estimate |");
  for (int i = 0; i < kStates; ++i)
    for (int j = 0; j < kStates; ++j)
      if (i != j) std::printf(" %d->%d |", i + 1, j + 1);
  std::printf("\n|---|---|");
  for (int k = 0; k < 6; ++k) std::printf("---|");
  std::printf("\n");
  for (std::size_t s = 0; s < sizes.size(); ++s)
    for (int e = 0; e < kEstimatorCount; ++e) {
      std::printf("| %d | %s |", sizes[s], kEstimators[e]);
      for (int i = 0; i < kStates; ++i)
        for (int j = 0; j < kStates; ++j)
          if (i != j) std::printf(" %s |", Percent(tallies[s].bias[e][i][j]).c_str());
      std::printf("\n");
    }
  std::printf("\nMean bias (%% of the true rate) of the exit rates' terms.\n\n| molecules | exit 1 | exit 2 fast | exit 2 slow | exit 3 |\n|---|---|---|---|---|\n");
  for (std::size_t s = 0; s < sizes.size(); ++s) {
    const Tally& t = tallies[s];
    std::printf("| %d | %s | %s | %s | %s |\n", sizes[s], Percent(t.exitBias[0][0]).c_str(), Percent(t.exitBias[1][0]).c_str(),
                Percent(t.exitBias[1][1]).c_str(), Percent(t.exitBias[2][0]).c_str());
  }
  return 0;
}
