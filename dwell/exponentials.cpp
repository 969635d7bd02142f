#include "dwell/exponentials.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>

namespace dwell {
namespace {

// ---------------------------------------------------------------------------
// Tolerances and limits of the fits.
// ---------------------------------------------------------------------------

// EM stops when a cycle (two EM steps and the squared step beyond them, RunEm) raises ln L by
// less than this per dwell in the fit. ln L of n dwells is a sum of n terms, so the per-dwell
// change is the scale-free one. Even if the remaining gain were a thousand cycles of this (a
// contraction of 0.999 a cycle), it would be 1e-7 per dwell: far below the 1.92 in ln L that
// the 95 % profile interval is drawn at, up to 10^6 dwells.
constexpr double kLogLikelihoodTolerance = 1e-10;

// EM's cap on passes over the counts: a fit that reaches it is shown but not converged (never
// chosen).
constexpr int kMostIterations = 20000;

// The chance per frame is kept within [kLeastChance, kMostChance]: p = 0 (a term never left)
// and p = 1 (a term left after every frame) put ln 0 into the likelihood. 1e-12 per frame is
// a mean dwell of 10^12 frames, longer than any recording; 1 - 1e-9 is a rate of 20.7 per
// frame, where a term's dwells all last one frame and its rate is no longer measured.
constexpr double kLeastChance = 1e-12;
constexpr double kMostChance = 1.0 - 1e-9;

// The starts of an m-term fit besides the split of the (m - 1)-term fit: rates spread evenly
// on the log axis around the one-term rate k1, the fastest at k1 s^((m - 1) / 2) and each next
// one s times slower, for every spread s here; amplitudes equal. Rates of a state's terms
// usually differ by a factor of 3 to 100.
constexpr double kStartSpreads[] = {4.0, 16.0, 64.0};

// The split of the (m - 1)-term fit's heaviest term: two terms of half its amplitude, at its
// rate times and divided by this. Since a split term reproduces that fit when both halves have
// the same rate, EM from here ends at least as high, so ln L never falls with m.
constexpr double kSplitFactor = 2.0;

// chi-square with 1 degree of freedom, its 0.95 quantile: the profile-likelihood interval
// holds the rates where 2 (ln L_max - ln L_profile) stays below it.
constexpr double kChiSquare95 = 3.841458820694124;

// The profile search walks outward from the estimate by this factor per step until ln L has
// fallen far enough (the bracket), then bisects on ln(rate) until the bracket is narrower than
// kProfileTolerance (0.01 % of the rate, finer than any printed digit of an interval).
constexpr double kProfileStep = 2.0;
constexpr double kProfileTolerance = 1e-4;
// Bisection halves a bracket of ln 2 below kProfileTolerance in 13 steps; this cap only guards
// against a likelihood that is no number.
constexpr int kMostBisections = 100;

// A fit whose amplitude is below this, or whose neighbouring rates differ by less than this
// share, has a term too many: it is no better than the simpler fit, and BIC does not choose it
// over a converged simpler one.
constexpr double kNegligibleAmplitude = 1e-3;
constexpr double kCoincidentRates = 1e-3;

// A rate within this share of the rate of the least or the most chance is on the fit's bound.
constexpr double kAtBound = 1e-6;

// A fit with more terms must beat the best BIC by more than this share of its size: BIC is a
// sum of ln L over every dwell, and EM's tolerance leaves its last digits uncertain.
constexpr double kBicRelativeMargin = 1e-9;

double Clamped(double chance) { return std::clamp(chance, kLeastChance, kMostChance); }

double LogOf(double x) { return x > 0 ? std::log(x) : -std::numeric_limits<double>::infinity(); }

// ln sum_c exp(x_c), and the responsibilities exp(x_c) / sum in `share`.
double LogSumExp(const std::vector<double>& x, std::vector<double>& share) {
  const double top = *std::max_element(x.begin(), x.end());
  share.resize(x.size());
  if (!std::isfinite(top)) {
    std::fill(share.begin(), share.end(), 0.0);
    return top;
  }
  double sum = 0;
  for (std::size_t c = 0; c < x.size(); ++c) sum += share[c] = std::exp(x[c] - top);
  for (double& s : share) s /= sum;
  return top + std::log(sum);
}

// The terms' shares of the dwells of one length: w_c = a_c (1 - p_c)^(l - 1) (times p_c for a
// whole dwell), sum_c w_c returned as its logarithm and w_c / sum in `share`. Each w_c is worked
// out relative to the slowest term's (1 - p_max)^(l - 1), which is 1 there: the faster terms'
// factors (1 - p_c)^(l - 1) / (1 - p_max)^(l - 1) are at most 1 and may underflow to 0 at long
// lengths without harm. Only when every weight vanishes (the slowest term has no amplitude) is
// the log-sum-exp form taken.
struct TermFactors {
  std::vector<double> amplitude, chance, logStay, logAmplitude, logChance;
  double slowestLogStay = 0;
};

double LogShares(const TermFactors& f, double before, bool whole, std::vector<double>& relative,
                 std::vector<double>& share) {
  const std::size_t terms = f.amplitude.size();
  double sum = 0;
  for (std::size_t c = 0; c < terms; ++c) {
    share[c] = f.amplitude[c] * relative[c] * (whole ? f.chance[c] : 1.0);
    sum += share[c];
  }
  if (sum > 0 && std::isfinite(sum)) {
    for (double& x : share) x /= sum;
    return before * f.slowestLogStay + std::log(sum);
  }
  std::vector<double> x(terms);
  for (std::size_t c = 0; c < terms; ++c)
    x[c] = f.logAmplitude[c] + before * f.logStay[c] + (whole ? f.logChance[c] : 0.0);
  return LogSumExp(x, share);
}

// One pass over the counts: ln L at `mixture`, and the EM update of it into `next`.
double EmStep(const LengthCounts& counts, const Mixture& mixture, std::optional<int> held, Mixture& next) {
  const std::size_t terms = mixture.chance.size();
  TermFactors f;
  f.amplitude = mixture.amplitude;
  f.chance = mixture.chance;
  for (std::size_t c = 0; c < terms; ++c) {
    f.logAmplitude.push_back(LogOf(mixture.amplitude[c]));
    f.logStay.push_back(std::log1p(-mixture.chance[c]));
    f.logChance.push_back(std::log(mixture.chance[c]));
  }
  f.slowestLogStay = *std::max_element(f.logStay.begin(), f.logStay.end());
  // Per term: the dwells it takes (R), its whole dwells (E) and its frames that were not left,
  // sum r (l - 1) over all its dwells (T). The maximum of E ln p + T ln(1 - p) is p = E / (E + T).
  std::vector<double> taken(terms, 0.0), left(terms, 0.0), stayed(terms, 0.0);
  std::vector<double> relative(terms), share(terms);
  double logLikelihood = 0;
  for (std::size_t k = 0; k < counts.length.size(); ++k) {
    if (!(counts.whole[k] > 0) && !(counts.cut[k] > 0)) continue;
    const double before = static_cast<double>(counts.length[k] - 1);
    for (std::size_t c = 0; c < terms; ++c) relative[c] = std::exp(before * (f.logStay[c] - f.slowestLogStay));
    if (counts.whole[k] > 0) {
      logLikelihood += counts.whole[k] * LogShares(f, before, true, relative, share);
      for (std::size_t c = 0; c < terms; ++c) {
        const double r = counts.whole[k] * share[c];
        taken[c] += r;
        left[c] += r;
        stayed[c] += r * before;
      }
    }
    if (counts.cut[k] > 0) {
      logLikelihood += counts.cut[k] * LogShares(f, before, false, relative, share);
      for (std::size_t c = 0; c < terms; ++c) {
        const double r = counts.cut[k] * share[c];
        taken[c] += r;
        stayed[c] += r * before;
      }
    }
  }
  const double dwells = std::accumulate(taken.begin(), taken.end(), 0.0);
  next = mixture;
  for (std::size_t c = 0; c < terms; ++c) {
    if (dwells > 0) next.amplitude[c] = taken[c] / dwells;
    if (held && static_cast<std::size_t>(*held) == c) continue;
    if (left[c] + stayed[c] > 0) next.chance[c] = Clamped(left[c] / (left[c] + stayed[c]));
  }
  return logLikelihood;
}

// The squared iteration (SQUAREM; Varadhan & Roland 2008, Scand. J. Stat. 35:335) from x0 with
// x1 = EM(x0), x2 = EM(x1): r = x1 - x0, v = x2 - x1 - r, alpha = -|r| / |v| (at most -1), and
// the point x0 - 2 alpha r + alpha^2 v, which steps along EM's path as far as its curvature
// allows. Nothing when it leaves the parameter space (an amplitude below 0, a chance outside
// [kLeastChance, kMostChance]).
std::optional<Mixture> Extrapolated(const Mixture& x0, const Mixture& x1, const Mixture& x2) {
  double rr = 0, vv = 0;
  auto add = [&](const std::vector<double>& a, const std::vector<double>& b, const std::vector<double>& c) {
    for (std::size_t k = 0; k < a.size(); ++k) {
      const double r = b[k] - a[k], v = c[k] - 2 * b[k] + a[k];
      rr += r * r;
      vv += v * v;
    }
  };
  add(x0.amplitude, x1.amplitude, x2.amplitude);
  add(x0.chance, x1.chance, x2.chance);
  if (!(vv > 0)) return std::nullopt;
  const double alpha = std::min(-std::sqrt(rr / vv), -1.0);
  Mixture x = x0;
  auto step = [&](std::vector<double>& out, const std::vector<double>& a, const std::vector<double>& b,
                  const std::vector<double>& c) {
    for (std::size_t k = 0; k < a.size(); ++k) {
      const double r = b[k] - a[k], v = c[k] - 2 * b[k] + a[k];
      out[k] = a[k] - 2 * alpha * r + alpha * alpha * v;
    }
  };
  step(x.amplitude, x0.amplitude, x1.amplitude, x2.amplitude);
  step(x.chance, x0.chance, x1.chance, x2.chance);
  double total = 0;
  for (double a : x.amplitude) {
    if (!(a >= 0)) return std::nullopt;
    total += a;
  }
  for (double p : x.chance)
    if (!(p >= kLeastChance && p <= kMostChance)) return std::nullopt;
  if (!(total > 0)) return std::nullopt;
  for (double& a : x.amplitude) a /= total;
  return x;
}

// Fastest term first.
void SortFastestFirst(Mixture& mixture) {
  std::vector<std::size_t> order(mixture.chance.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return mixture.chance[a] > mixture.chance[b]; });
  Mixture sorted;
  for (std::size_t c : order) {
    sorted.amplitude.push_back(mixture.amplitude[c]);
    sorted.chance.push_back(mixture.chance[c]);
  }
  mixture = std::move(sorted);
}

// The closed-form one-term fit: the chance p maximising D ln p + T ln(1 - p), D the whole
// dwells and T = sum over all dwells of (l - 1), is p = D / (D + T).
MixtureFit OneTerm(const LengthCounts& counts) {
  double stayed = 0;
  for (std::size_t k = 0; k < counts.length.size(); ++k)
    stayed += (counts.whole[k] + counts.cut[k]) * static_cast<double>(counts.length[k] - 1);
  const double whole = counts.Whole();
  MixtureFit fit;
  fit.mixture.amplitude = {1.0};
  fit.mixture.chance = {Clamped(whole + stayed > 0 ? whole / (whole + stayed) : kLeastChance)};
  fit.logLikelihood = LogLikelihood(counts, fit.mixture);
  fit.converged = true;
  return fit;
}

bool Better(const MixtureFit& a, const MixtureFit& b) {
  if (a.converged != b.converged) return a.converged;
  return a.logLikelihood > b.logLikelihood;
}

// Whether BIC may choose `fit`: one term always (but on the fit's bound), several only when
// none is on the bound or slower than `slowest` per frame.
bool Showable(const ExponentialFit& fit, double slowest) {
  for (const ExponentialTerm& term : fit.terms) {
    if (AtFitBound(term)) return false;
    if (fit.terms.size() > 1 && term.rate < slowest) return false;
  }
  return true;
}

bool Degenerate(const ExponentialFit& fit) {
  for (std::size_t c = 0; c < fit.terms.size(); ++c) {
    if (fit.terms.size() > 1 && fit.terms[c].amplitude < kNegligibleAmplitude) return true;
    if (c > 0 && fit.terms[c - 1].rate <= fit.terms[c].rate * (1.0 + kCoincidentRates)) return true;
  }
  return false;
}

}  // namespace

Entry EntryOf(const StateDwell& dwell, CutDwells cut) {
  if (dwell.cutAtStart) return Entry::kLeftOut;
  if (!dwell.cutAtEnd) return Entry::kWhole;
  return cut == CutDwells::kCensor ? Entry::kCensored : Entry::kLeftOut;
}

double LengthCounts::Whole() const { return std::accumulate(whole.begin(), whole.end(), 0.0); }
double LengthCounts::Cut() const { return std::accumulate(cut.begin(), cut.end(), 0.0); }

LengthCounts CountLengths(const std::vector<std::int64_t>& lengths, const std::vector<bool>& isCut) {
  std::vector<std::int64_t> distinct = lengths;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  LengthCounts counts;
  counts.length = distinct;
  counts.whole.assign(distinct.size(), 0.0);
  counts.cut.assign(distinct.size(), 0.0);
  for (std::size_t d = 0; d < lengths.size(); ++d) {
    const auto k = static_cast<std::size_t>(std::lower_bound(distinct.begin(), distinct.end(), lengths[d]) -
                                            distinct.begin());
    (isCut[d] ? counts.cut : counts.whole)[k] += 1.0;
  }
  return counts;
}

double RateOfChance(double chance) { return -std::log1p(-chance); }
double ChanceOfRate(double rate) { return Clamped(-std::expm1(-rate)); }

double LogLikelihood(const LengthCounts& counts, const Mixture& mixture) {
  Mixture unused;
  return EmStep(counts, mixture, std::nullopt, unused);
}

MixtureFit RunEm(const LengthCounts& counts, Mixture start, std::optional<int> held) {
  const double dwells = counts.Whole() + counts.Cut();
  for (double& p : start.chance) p = Clamped(p);
  // Each cycle takes two EM steps from x0 and tries the squared step beyond them; it keeps that
  // point when its ln L is at least that of x1 (so ln L never falls, as with plain EM), and
  // otherwise x2. It stops when a cycle gains less than kLogLikelihoodTolerance per dwell.
  MixtureFit fit;
  Mixture x0 = start, x1, x2, after;
  double l0 = EmStep(counts, x0, held, x1);
  fit.iterations = 1;
  for (int cycle = 0; fit.iterations < kMostIterations; ++cycle) {
    const double l1 = EmStep(counts, x1, held, x2);
    double next = -std::numeric_limits<double>::infinity();
    bool taken = false;
    fit.iterations += 2;
    if (const std::optional<Mixture> jump = Extrapolated(x0, x1, x2)) {
      next = EmStep(counts, *jump, held, after);
      if (next >= l1) {
        x0 = *jump;
        taken = true;
      }
    }
    if (!taken) {
      x0 = x2;
      next = EmStep(counts, x0, held, after);
      ++fit.iterations;
    }
    x1 = after;
    const bool done = next - l0 < kLogLikelihoodTolerance * dwells;
    l0 = next;
    if (done) {
      fit.mixture = x0;
      fit.logLikelihood = l0;
      fit.converged = std::isfinite(l0);
      return fit;
    }
  }
  fit.mixture = x0;
  fit.logLikelihood = l0;
  fit.converged = false;
  return fit;
}

MixtureFit FitMixture(const LengthCounts& counts, int terms, const MixtureFit* previous) {
  const MixtureFit one = OneTerm(counts);
  if (terms <= 1) return one;
  const double oneRate = RateOfChance(one.mixture.chance[0]);
  std::vector<Mixture> starts;
  for (double spread : kStartSpreads) {
    Mixture start;
    for (int c = 0; c < terms; ++c) {
      start.amplitude.push_back(1.0 / terms);
      start.chance.push_back(ChanceOfRate(oneRate * std::pow(spread, 0.5 * (terms - 1) - c)));
    }
    starts.push_back(start);
  }
  if (previous && static_cast<int>(previous->mixture.chance.size()) == terms - 1) {
    Mixture split = previous->mixture;
    const auto heaviest = static_cast<std::size_t>(
        std::max_element(split.amplitude.begin(), split.amplitude.end()) - split.amplitude.begin());
    const double rate = RateOfChance(split.chance[heaviest]);
    split.amplitude[heaviest] *= 0.5;
    split.chance[heaviest] = ChanceOfRate(rate * kSplitFactor);
    split.amplitude.push_back(split.amplitude[heaviest]);
    split.chance.push_back(ChanceOfRate(rate / kSplitFactor));
    starts.push_back(split);
  }
  MixtureFit best;
  bool any = false;
  for (const Mixture& start : starts) {
    MixtureFit fit = RunEm(counts, start);
    if (!any || Better(fit, best)) best = std::move(fit);
    any = true;
  }
  SortFastestFirst(best.mixture);
  return best;
}

ExponentialFit ToExponentialFit(const MixtureFit& fit, double dwells) {
  ExponentialFit shown;
  for (std::size_t c = 0; c < fit.mixture.chance.size(); ++c)
    shown.terms.push_back({RateOfChance(fit.mixture.chance[c]), fit.mixture.amplitude[c], std::nullopt});
  shown.logLikelihood = fit.logLikelihood;
  const double parameters = 2.0 * static_cast<double>(fit.mixture.chance.size()) - 1.0;
  shown.bic = -2.0 * fit.logLikelihood + parameters * std::log(dwells);
  shown.converged = fit.converged;
  return shown;
}

std::string FitTrouble(const LengthCounts& counts, int terms) {
  const double whole = counts.Whole();
  if (!(whole > 0)) return "no whole dwell";
  if (whole < 2.0 * terms)
    return "too few whole dwells for " + std::to_string(terms) + " exponential" + (terms == 1 ? "" : "s") + ": " +
           std::to_string(static_cast<long long>(whole)) + " of at least " + std::to_string(2 * terms);
  return {};
}

void AddProfileIntervals(const LengthCounts& counts, const MixtureFit& best, ExponentialFit& fit) {
  const double mostRate = RateOfChance(kMostChance);
  const double leastRate = RateOfChance(kLeastChance);
  const double threshold = 0.5 * kChiSquare95;  // in ln L
  for (std::size_t c = 0; c < best.mixture.chance.size(); ++c) {
    const int held = static_cast<int>(c);
    Mixture warm = best.mixture;
    // How far ln L falls below its maximum with term c's rate held at `rate`, the others
    // re-maximised from the last point's answer (the profile moves smoothly along the walk).
    auto drop = [&](double rate) {
      Mixture start = warm;
      start.chance[c] = ChanceOfRate(rate);
      const MixtureFit profile = RunEm(counts, start, held);
      warm = profile.mixture;
      return best.logLikelihood - profile.logLikelihood;
    };
    const double estimate = RateOfChance(best.mixture.chance[c]);
    // One end: walk from the estimate by `factor` until ln L has fallen by the threshold or
    // the rate leaves [leastRate, mostRate], then bisect on ln(rate).
    auto end = [&](double factor, double limit) -> std::optional<double> {
      warm = best.mixture;
      double inside = estimate;
      double outside = estimate;
      bool bracketed = false;
      while (!bracketed) {
        if (inside == limit) return std::nullopt;
        outside = factor > 1 ? std::min(inside * factor, limit) : std::max(inside * factor, limit);
        const double fallen = drop(outside);
        if (std::isnan(fallen)) return std::nullopt;
        if (fallen >= threshold)
          bracketed = true;
        else
          inside = outside;
      }
      for (int step = 0; step < kMostBisections && std::fabs(std::log(outside / inside)) > kProfileTolerance; ++step) {
        const double middle = std::sqrt(inside * outside);
        (drop(middle) >= threshold ? outside : inside) = middle;
      }
      return std::sqrt(inside * outside);
    };
    const std::optional<double> high = end(kProfileStep, mostRate);
    const std::optional<double> low = end(1.0 / kProfileStep, leastRate);
    if (low && high) fit.terms[c].rateInterval = Interval{*low, *high};
  }
}

double SlowestShowableRate(const StateDwells& dwells) {
  std::int64_t longest = 0;
  for (const std::vector<StateDwell>& molecule : dwells) {
    std::int64_t frames = 0;
    for (const StateDwell& dwell : molecule) frames += std::max<std::int64_t>(dwell.frames, 1);
    longest = std::max(longest, frames);
  }
  return longest > 0 ? 1.0 / static_cast<double>(longest) : 0.0;
}

bool AtFitBound(const ExponentialTerm& term) {
  return term.rate <= RateOfChance(kLeastChance) * (1.0 + kAtBound) ||
         term.rate >= RateOfChance(kMostChance) * (1.0 - kAtBound);
}

BicChoice ChooseFit(const std::vector<ExponentialFit>& fits, double slowest) {
  // BIC's choice among the fits it may take, and among all of them: where the two differ, a fit
  // with a term beyond the data was the better one.
  auto choose = [&](bool onlyShowable) {
    int best = -1;
    for (std::size_t i = 0; i < fits.size(); ++i) {
      const ExponentialFit& fit = fits[i];
      if (!fit.converged || !std::isfinite(fit.bic)) continue;
      if (onlyShowable && !Showable(fit, slowest)) continue;
      if (best < 0) {
        best = static_cast<int>(i);
        continue;
      }
      const ExponentialFit& chosen = fits[static_cast<std::size_t>(best)];
      const bool moreTerms = fit.terms.size() > chosen.terms.size();
      if (moreTerms && Degenerate(fit)) continue;
      const double margin = moreTerms ? kBicRelativeMargin * std::fabs(chosen.bic) : 0.0;
      if (fit.bic < chosen.bic - margin) best = static_cast<int>(i);
    }
    return best;
  };
  BicChoice choice;
  choice.chosen = choose(true);
  choice.best = choose(false);
  choice.passedOver = choice.best >= 0 && choice.best != choice.chosen;
  return choice;
}

int ChooseByBic(const std::vector<ExponentialFit>& fits, double slowest) { return ChooseFit(fits, slowest).chosen; }

}  // namespace dwell
