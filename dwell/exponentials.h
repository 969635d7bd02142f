// The maximum-likelihood fit of a mixture of discretised exponentials, on dwell lengths gathered
// into counts per distinct length: what AnalyseState and the rate matrix's bootstrap share.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "dwell/dwelltimes.h"

namespace dwell {

// One state's dwells as counts: `length[k]` (increasing, distinct) was seen `whole[k]` times
// uncut and `cut[k]` times cut (censored). Counts are doubles so that a bootstrap replicate's
// sums need no conversion.
struct LengthCounts {
  std::vector<std::int64_t> length;
  std::vector<double> whole;
  std::vector<double> cut;

  double Whole() const;
  double Cut() const;
};

// How a dwell enters the fits. A dwell cut at the trace's end is censored (kCensor) or left
// out (kDrop). A dwell cut at the trace's start is always left out: where it began is unknown,
// and a trace is likelier to begin during a long dwell than a short one, so the part of it that
// was seen follows another law than a dwell's (for a mixture, the terms weighted by a_c / p_c
// rather than a_c). Taken as censored at its seen length it would also throw away the exit that
// ended it, and bias every rate low by about one exit per molecule.
enum class Entry { kWhole, kCensored, kLeftOut };
Entry EntryOf(const StateDwell& dwell, CutDwells cut);

// Counts of `lengths`, each whole or cut as `isCut` says.
LengthCounts CountLengths(const std::vector<std::int64_t>& lengths, const std::vector<bool>& isCut);

// The parameters of a mixture: amplitude a_c and per-frame exit chance p_c of every term.
struct Mixture {
  std::vector<double> amplitude;
  std::vector<double> chance;
};

struct MixtureFit {
  Mixture mixture;
  double logLikelihood = 0;
  bool converged = false;
  int iterations = 0;
};

// ln L of `mixture` on `counts`: whole dwells sum_c a_c (1 - p_c)^(l - 1) p_c, cut ones
// sum_c a_c (1 - p_c)^(l - 1).
double LogLikelihood(const LengthCounts& counts, const Mixture& mixture);

// EM from `start` until ln L per dwell gains less than kLogLikelihoodTolerance in an iteration
// (converged), or kMostIterations iterations (not). The term `held` (when given) keeps its
// chance p throughout: the profile likelihood's inner maximisation.
MixtureFit RunEm(const LengthCounts& counts, Mixture start, std::optional<int> held = std::nullopt);

// The best of the deterministic starts for `terms` terms (see exponentials.cpp), `previous` the
// best fit of one term fewer (it seeds a start that can only improve on it). One term is
// closed-form. Needs at least one whole dwell.
MixtureFit FitMixture(const LengthCounts& counts, int terms, const MixtureFit* previous = nullptr);

// The rate per frame of a chance per frame, -ln(1 - p), and back.
double RateOfChance(double chance);
double ChanceOfRate(double rate);

// The fit as the interface shows it: terms fastest first, BIC; without intervals.
ExponentialFit ToExponentialFit(const MixtureFit& fit, double dwells);

// Why `counts` cannot be fitted with `terms` terms; empty when it can.
std::string FitTrouble(const LengthCounts& counts, int terms);

// The 95 % profile-likelihood intervals of every term's rate of `fit` (converged, built by
// ToExponentialFit from `best`).
void AddProfileIntervals(const LengthCounts& counts, const MixtureFit& best, ExponentialFit& fit);

// The slowest rate per frame the dwells can show: one exit over the longest trace,
// 1 / (its frames), a trace's frames those of all its dwells. A slower term of a fit is held up
// by the cut dwells alone: a fit that gives a term to dwells cut at the trace's end puts it at
// the fit's lower bound (a chance of 1e-12 a frame), where they are likeliest.
double SlowestShowableRate(const StateDwells& dwells);

// Whether a term's rate lies on a bound of the fit (its chance at 1e-12 or at 1 - 1e-9 a
// frame, within 1e-6 of it): such a rate is no estimate, only where the fit stopped.
bool AtFitBound(const ExponentialTerm& term);

// What BIC chooses: the index in `fits` (-1 when none converged), and whether a fit of lower
// BIC was passed over because it had more than one term and a term at the fit's bound or slower
// than `slowest` per frame (a rate the data cannot show): the chosen fit then describes the
// state's dwells less well than that one did, and its rates are to be read with that in mind.
struct BicChoice {
  int chosen = -1;
  bool passedOver = false;
  int best = -1;  // what BIC would choose without the restriction (equal to chosen unless passed over)
};
BicChoice ChooseFit(const std::vector<ExponentialFit>& fits, double slowest);

// The index, in `fits`, that BIC chooses among converged fits; -1 when none converged. A fit
// whose terms coincide or carry no weight is no more than a simpler fit and is not chosen over
// a converged simpler one; nor is a fit of several terms with a term at the fit's bound or
// slower than `slowest` per frame (ChooseFit).
int ChooseByBic(const std::vector<ExponentialFit>& fits, double slowest = 0);

// AnalyseState, with the profile intervals only when `intervals`.
StateDwellTimes AnalyseStateFits(const StateDwells& dwells, int state, CutDwells cut, int mostTerms, bool exactly,
                                 bool intervals);

}  // namespace dwell
