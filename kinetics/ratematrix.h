// The rate matrix: the rate constants k_ij (s^-1) of a continuous-time Markov chain, fitted by
// maximum likelihood to how often a frame in state i is followed by a frame in state j.
//
// A molecule's state is seen once per frame of length T (the exposure), at the frame's start.
// Between two frames the chain may step several times (i -> m -> j, or away and back), so the
// share of frames in i followed by a frame in j is P_ij = [expm(Q T)]_ij, not k_ij T: estimates
// of k_ij from steps over frames or from dwell lengths are biased once k T is not small (to first
// order by -k_j T / 2 plus the two-step paths sum_m k_im k_mj T / (2 k_ij)). This fit takes the
// whole matrix exponential: see kinetics/generatorfit.cpp for the model, its start, the
// maximisation and its stopping rules.
//
// Intervals come from a percentile bootstrap over the molecules: replicate b draws as many
// molecules as there are, with replacement, from a generator seeded by b alone, sums their count
// matrices and refits from the fit of all molecules; the 2.5 % and 97.5 % points of the
// replicates' rates are the 95 % interval, the same on every run and any number of threads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dwell/dwelltimes.h"
#include "fit/bootstrap.h"
#include "reports/parallel.h"

namespace kinetics {

// The most states a rate matrix has.
inline constexpr int kMostStates = 10;
// A rate with fewer molecules than this that made the step i -> j is flagged: its interval
// rests on a handful of molecules.
inline constexpr int kFewMolecules = 5;
// A molecule made the step i -> j when its count C_ij is at least this: for whole counts one step
// or more, for a model's expected counts at least half a step (every molecule is expected to
// make every step some tiny number of times).
inline constexpr double kMadeStep = 0.5;
// The fit's upper bound of a rate, per frame: a path left 20 times a frame is e^-20 = 2e-9 of
// the way from the chain's equilibrium after one frame, and its rate is no longer measured.
inline constexpr double kMostRatePerFrame = 20.0;

// A run of frames in one state: `state` 0-based, or -1 (or any number outside the states) for
// frames in no state (a gap, frames after bleaching): no step is counted into or out of them.
struct StateRun {
  int state = 0;
  std::int64_t frames = 0;  // runs of 0 frames are passed over
};

// One molecule's frame-to-frame counts: steps[i * states + j] = C_ij, the frames in state i
// followed by a frame in state j (i == j: stays); frames[i] every frame in state i, its last too.
// Counts are doubles so that expected counts (of a hidden Markov model) fit in as well.
struct FrameCounts {
  int states = 0;
  std::vector<double> steps;
  std::vector<double> frames;
};

// The counts of one molecule from its state in every frame (0-based; others are no state) ...
FrameCounts CountFrames(std::span<const int> statePerFrame, int states);
// ... or from its runs of frames ...
FrameCounts CountRuns(std::span<const StateRun> runs, int states);
// ... or from its dwells in the states of a lock (DwellsInStates): a dwell of l frames stays
// l - 1 times, and steps into the next dwell's state where it has one (`next`; none across a
// gap or at the trace's end).
FrameCounts CountDwells(std::span<const StateDwell> dwells, int states);

// What the fit is asked.
struct RateOptions {
  double exposure = 0.1;                   // T, seconds per frame
  std::vector<std::pair<int, int>> paths;  // the free paths i -> j, 0-based; empty: every i != j
  int replicates = kDefaultReplicates;     // bootstrap replicates; 0: no intervals
  int threads = 0;                         // for the replicates; 0: as many as the machine runs
};

// The free paths of "1-2,2-1,2-3,3-2" (1-based states, as the user writes them) among `states`;
// nothing, and why in `error`, for a malformed list, a state outside 1 ... states or i-i.
std::optional<std::vector<std::pair<int, int>>> ParsePaths(const std::string& text, int states, std::string& error);

// What a reader of a rate must know of it.
struct RateFlags {
  bool fixed = false;          // not a free path: held at 0 as asked
  bool noTransition = false;   // no frame in i was followed by one in j: `upperLimit` holds
  bool atZero = false;         // the fit holds it at 0, its lower bound
  bool atBound = false;        // at kMostRatePerFrame / T, where P no longer tells rates apart
  bool fewMolecules = false;   // fewer than kFewMolecules molecules made the step
};

// One rate of the matrix, i -> j with i != j.
struct PathRate {
  int from = 0, to = 0;               // 0-based
  double rate = 0;                    // k_ij, s^-1
  std::optional<Interval> interval;   // 95 % percentile bootstrap, s^-1; none for a fixed path,
                                      // one with no counted step, or too few molecules in all
  std::optional<double> upperLimit;   // a path with no counted step: the one-sided 95 % limit by
                                      // profile likelihood, s^-1
  double transitions = 0;             // C_ij
  int molecules = 0;                  // molecules that made the step: C_ij of at least
                                      // kMadeStep (whole counts: at least one)
  int replicates = 0;                 // replicates that gave the rate
  RateFlags flags;
};

// Everything the fit gives.
struct RateMatrix {
  int states = 0;
  double exposure = 0;             // s per frame
  std::vector<double> generator;   // Q, s^-1, row-major; Q_ii = -(exit rate of state i)
  std::vector<PathRate> rates;     // every i != j, row-major
  std::vector<double> counts;      // C, row-major, all molecules
  std::vector<double> frames;      // every frame in each state
  std::vector<double> occupancy;   // frames[i] over all frames in a state
  double logLikelihood = 0;        // sum_ij C_ij ln P_ij at the fit
  bool converged = false;
  int iterations = 0;
  bool fromLogarithm = false;      // the counted matrix's own logarithm was a valid generator
  int molecules = 0;
  int replicates = 0;              // drawn (none below kLeastMoleculesForInterval molecules)
  int failedReplicates = 0;        // whose fit did not converge, left out of every interval
  std::string trouble;             // why nothing was fitted; empty when it was

  const PathRate& Rate(int from, int to) const;  // i != j, both below `states`
};

// The rate matrix of `molecules` (all of one number of states, 1 ... kMostStates). `progress`
// counts the replicates; nothing when it is asked to stop.
std::optional<RateMatrix> FitRateMatrix(const std::vector<FrameCounts>& molecules, const RateOptions& options,
                                        WorkProgress* progress = nullptr);

// The generator of a hidden Markov model's own per-frame transition matrix A (row-stochastic,
// row-major) with the expected frames in each state that have a next frame, n_i: fitted the same
// way to the expected counts C_ij = n_i A_ij, with no intervals (the counts of molecules are not
// known here, and its rates rest on no number of them; FitRateMatrix takes expected counts per
// molecule for intervals).
RateMatrix GeneratorOfStepMatrix(std::span<const double> stepMatrix, std::span<const double> framesWithNext,
                                 const RateOptions& options);

// The flags of `rate` as phrases without comma, for a table's flags column.
std::vector<std::string> RateFlagPhrases(const RateMatrix& matrix, const PathRate& rate);

}  // namespace kinetics
