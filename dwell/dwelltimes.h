// Dwell times: how long a molecule stays in a state, the second way to its rates beside the
// class histograms. The dwells of the import's levels are put into the states of the lock (the
// user's cutoffs decide which levels belong together), and each state's dwell lengths are
// fitted by maximum likelihood with one, two or three exponentials.
//
// A trace is sampled once per frame, so a dwell's length is a whole number of frames. A state
// left at rate k (s^-1) with frame time dt is left after each frame with the probability
// p = 1 - exp(-k dt), and a dwell lasts l frames with the probability (1 - p)^(l - 1) p: the
// discretised exponential (geometric) law. A mixture of exponentials mixes these laws. A dwell
// cut by the trace's end lasted at least its l frames: it enters the likelihood as the share
// of dwells that last l frames or more, sum_c a_c (1 - p_c)^(l - 1) (a censored observation),
// or is left out when asked. A dwell cut by the trace's start is left out of the fits: its
// beginning is unknown, and a trace is likelier to begin during a long dwell than a short one,
// so what was seen of it follows another law (counted as censored it would also lose the exit
// that ended it and bias the rates low).
//
// Rates are per frame here, k dt = -ln(1 - p); callers divide by the exposure.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "domain/analysis_types.h"
#include "fit/bootstrap.h"
#include "import/dwelltable.h"
#include "reports/parallel.h"

// A molecule's dwell in one state of the lock.
struct StateDwell {
  int state = 0;             // 0-based
  std::int64_t frames = 0;   // at least 1
  bool cutAtStart = false;
  bool cutAtEnd = false;
  int next = -1;             // the state it was left for, 0-based; -1 when it was not left
};

// Every molecule's dwells in states, in table order, each molecule's in frame order.
using StateDwells = std::vector<std::vector<StateDwell>>;

// The dwells of `table` in the `states` states of `cutoffs` (StateOf): back-to-back dwells at
// levels of one state are one dwell, since a step between two levels of one state is no
// transition. A level of no state (above every cutoff) ends the dwells beside it as the trace's
// end does: they are cut there, and it is no dwell of any state. A molecule whose dwells could
// be no trace (one of negative length, or more than kMostTraceFrames frames in all, which no
// table read from a file holds) has none.
StateDwells DwellsInStates(const DwellTable& table, int states, const Cutoffs& cutoffs);

// F_i of the molecule for the pooled rate of the class `rule`: the frames of its dwells whose
// level lies in the class's initial state, but the trace's very last frame, which has no next.
double FramesInState(const MoleculeDwells& molecule, const ClassRule& rule);

// How the cut first and last dwells of a trace enter the fits.
enum class CutDwells {
  kCensor,  // cut at the end: as lasting at least their length (the default); at the start: not
  kDrop,    // not at all
};

// The most exponentials a fit takes.
inline constexpr int kMostExponentials = 3;

struct ExponentialTerm {
  double rate = 0;       // per frame, -ln(1 - p)
  double amplitude = 0;  // its share of the dwells, the amplitudes summing to 1
  std::optional<Interval> rateInterval;  // 95 %, by profile likelihood; none when it has no end
};

// A maximum-likelihood fit of `terms.size()` exponentials to one state's dwells.
struct ExponentialFit {
  std::vector<ExponentialTerm> terms;  // fastest first
  double logLikelihood = 0;
  double bic = 0;         // -2 ln L + (2m - 1) ln(dwells), m the exponentials
  bool converged = false;
  std::string trouble;    // why it could not be fitted, e.g. too few dwells; empty when it was
  // The inverse of the fitted law's mean dwell, 1 / sum_c (a_c / rate_c): the state's exit
  // rate per frame, whatever the number of exponentials.
  double MeanRate() const;
};

// The histogram of one state's dwell lengths: bins of `binFrames` whole frames (the fewest that
// keep it to 60 bins), bin b holding lengths 1 + b binFrames ... (b + 1) binFrames; every dwell
// of the state, whether the fits take it or not, those cut at either end counted apart.
struct DwellHistogram {
  std::int64_t binFrames = 1;
  std::vector<std::int64_t> whole;
  std::vector<std::int64_t> cut;
};

// The survival curve: the share of dwells that last longer than t frames, by the product-limit
// (Kaplan-Meier) estimate of the dwells in the fits, censored ones censored: a step at t = 0
// (share 1), then one at every length at which a whole dwell ended.
struct SurvivalCurve {
  std::vector<std::int64_t> frames;  // the t of each step
  std::vector<double> surviving;     // the share left after it
};

// Everything one state's dwells give.
struct StateDwellTimes {
  int state = 0;  // 0-based
  std::int64_t dwells = 0;     // in the fits
  std::int64_t cut = 0;        // cut dwells among them (censored)
  std::int64_t leftOut = 0;    // dwells of the state not in the fits: cut at the start, or dropped
  std::int64_t molecules = 0;  // with at least one dwell in the state
  std::vector<ExponentialFit> fits;  // one, two, three exponentials, as far as `mostTerms`
  int chosen = -1;             // the fit BIC chooses among those that converged; -1 for none
  DwellHistogram histogram;
  SurvivalCurve survival;
};

// The dwell times of state `state` (0-based) of `dwells`, fitted with 1 ... `mostTerms`
// exponentials (or exactly `mostTerms` when `exactly`).
StateDwellTimes AnalyseState(const StateDwells& dwells, int state, CutDwells cut, int mostTerms = kMostExponentials,
                             bool exactly = false);

// One rate of the rate matrix: k_ij = k_i n_ij / n_i, the exit rate k_i of state i (the mean
// rate of its chosen fit) split by where its n_i exits go.
struct DwellRate {
  int from = 0, to = 0;          // 0-based
  double rate = 0;               // per frame
  std::int64_t transitions = 0;  // n_ij
  std::int64_t exits = 0;        // n_i
  std::optional<Interval> interval;  // 95 % percentile, from the bootstrap over molecules
  int replicates = 0;
};

// The rate matrix of the `states` states, every pair i != j with n_ij > 0, and its intervals
// from `replicates` bootstrap replicates over the molecules (seeded by the pair and the replicate
// alone: the same on every run and thread count). `progress` counts replicates; nothing when it
// is asked to stop. A state without a chosen fit, or whose dwells were never left, has no rates.
// Each replicate draws, with replacement, as many molecules as have a dwell in state i, and
// re-fits state i's chosen number of exponentials to their dwells; no interval for fewer than
// kLeastMoleculesForInterval of them. The replicates run on `threads` threads (0: as many as
// the machine runs at once). Each state's fits are made as AnalyseState makes them with
// `mostTerms` and `exactly`.
std::optional<std::vector<DwellRate>> DwellRateMatrix(const StateDwells& dwells, int states, CutDwells cut,
                                                      int replicates = kDefaultReplicates,
                                                      WorkProgress* progress = nullptr, int threads = 0,
                                                      int mostTerms = kMostExponentials, bool exactly = false);

// The rate constants, per frame, of a state left after each frame for state j with the
// probability p_j (a rate per frame n_ij / F_i; 0 for the state itself): k_j = -ln(1 - P) p_j / P,
// P = sum_j p_j, exact for a Markov process sampled once per frame, and p_j itself as P goes
// to 0. Nothing when P is 1 or more, or a p_j is negative or no number.
std::optional<std::vector<double>> FrameCorrectedRates(std::span<const double> perFrame);
