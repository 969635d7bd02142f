// The hidden Markov model's fit: Baum-Welch expectation-maximisation with the scaled
// forward-backward recursions (Rabiner 1989, "A tutorial on hidden Markov models and selected
// applications in speech recognition", Proc. IEEE 77:257, sections III.A, III.C and V.A; Baum,
// Petrie, Soules and Weiss 1970), the number of states chosen by the Bayesian information
// criterion (Schwarz 1978, "Estimating the dimension of a model", Ann. Stat. 6:461) and the
// most likely paths by the Viterbi algorithm (Viterbi 1967; Rabiner 1989, section III.B),
// in logarithms.
//
// The molecules are one data set: every molecule's frames are an independent chain under the
// same emissions, so the E-step runs molecule by molecule, on all cores, and the sums of the
// M-step are added in molecule order, whatever the thread that made them: every run, on any
// number of threads, gives the very same model.
#include "idealise/hmm.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <limits>
#include <mutex>
#include <numbers>
#include <optional>
#include <random>
#include <utility>

#include "fit/random.h"
#include "reports/parallel.h"

namespace {

// The stopping rule: EM raises the log-likelihood L at every iteration; it stops when one
// iteration raises it by no more than kTolerancePerFrame per frame, L_i - L_(i-1) <=
// kTolerancePerFrame * N, N the frames fitted, or after kMostIterations iterations. A fit that
// reaches the limit is not taken: its parameters are still moving.
constexpr double kTolerancePerFrame = 1e-7;
constexpr int kMostIterations = 1000;

// Starts: two from the quantiles of all frames, the others seeded as k-means++ seeds its means
// among kSeedingFrames of them (see Start). Each runs kTrialIterations iterations on a share of
// the molecules of at most kTrialFrames frames (every s-th molecule); the start of the highest
// likelihood there goes on with all of them.
constexpr int kStarts = 5;
constexpr double kOuterQuantile = 0.01;
constexpr std::size_t kSeedingFrames = 4096;
constexpr int kTrialIterations = 8;
constexpr std::size_t kTrialFrames = 100000;
// A start's states stay in their own frame with this chance; its widths are the spread of all
// frames over the number of states.
constexpr double kStartStay = 0.9;

// No width falls below kWidthFloorShare of the spread of all frames: a state narrowed onto one
// value would have a likelihood without bound. A fit whose state ends at the floor is not taken.
constexpr double kWidthFloorShare = 1e-3;
// A frame's emission density in a state, relative to that in its likeliest state, is at least
// this (a frame some 30 widths away), and every chance of the model at least kLeastChance: no
// frame is impossible, so the scaled recursions never divide by zero.
constexpr double kLeastEmission = 1e-200;
constexpr double kLeastChance = 1e-12;
// A fitted state holds at least this many frames (expected, from the posterior); one with fewer
// is no state of the data.
constexpr double kLeastStateFrames = 2.0;
// A model is fitted only to at least this many frames for each of its free parameters.
constexpr double kFramesPerParameter = 5.0;

// With molecule offsets, each M-step makes this many sweeps of the means, offsets and widths
// (see hmm.h): one sweep is a generalised EM already, more take the coupled means and offsets
// nearer their joint maximum, at a cost of M x K each, next to nothing beside an E-step.
constexpr int kOffsetSweeps = 8;

constexpr double kHalfLogTwoPi = 0.91893853320467274178;  // ln(2 pi) / 2

// What all molecules' frames show together: their count, spread and distinct values, and the
// order statistics the starts take (Quantile), found by selection, not a full sort.
struct Pool {
  std::size_t frames = 0;
  double spread = 0;           // their standard deviation
  std::size_t distinct = 0;    // how many different values, counted up to kMostHmmStates + 1
  std::vector<std::size_t> ranks;  // increasing: the ranks selected, 0 the least frame
  std::vector<double> ranked;      // the value of each

  // The frame of rank `rank` (0 the least) among all frames; `rank` one of OrderRanks.
  double Ranked(std::size_t rank) const {
    return ranked[static_cast<std::size_t>(std::lower_bound(ranks.begin(), ranks.end(), rank) - ranks.begin())];
  }
  double Least() const { return ranked.front(); }
  double Most() const { return ranked.back(); }
};

// The rank of quantile q among `frames` frames, as the starts take it.
std::size_t QuantileRank(double q, std::size_t frames) {
  return std::min(frames - 1, static_cast<std::size_t>(q * static_cast<double>(frames)));
}

// The rank of seeding candidate c of `count` (SpreadSeeds).
std::size_t CandidateRank(std::size_t c, std::size_t count, std::size_t frames) { return c * frames / count; }

std::size_t SeedingCandidates(std::size_t frames) { return std::min(frames, kSeedingFrames); }

// Every rank a start of any number of states takes: the least and most frame, the outer
// quantiles, the quantiles (s + 1/2) / K and the seeding candidates.
std::vector<std::size_t> OrderRanks(std::size_t frames) {
  std::vector<std::size_t> ranks = {0, frames - 1, QuantileRank(kOuterQuantile, frames),
                                    QuantileRank(1.0 - kOuterQuantile, frames)};
  for (std::size_t k = 1; k <= static_cast<std::size_t>(kMostHmmStates); ++k)
    for (std::size_t s = 0; s < k; ++s)
      ranks.push_back(QuantileRank((static_cast<double>(s) + 0.5) / static_cast<double>(k), frames));
  const std::size_t count = SeedingCandidates(frames);
  for (std::size_t c = 0; c < count; ++c) ranks.push_back(CandidateRank(c, count, frames));
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  return ranks;
}

// Puts the values of ranks[first, last) of `values` in place: std::nth_element at the middle
// rank, then the same on either side of it, O(N log R) for R ranks.
void SelectRanks(std::vector<double>& values, std::size_t from, std::size_t to, const std::vector<std::size_t>& ranks,
                 std::size_t first, std::size_t last) {
  while (first < last) {
    const std::size_t middle = first + (last - first) / 2;
    const std::size_t rank = ranks[middle];
    const auto begin = values.begin();
    std::nth_element(begin + static_cast<std::ptrdiff_t>(from), begin + static_cast<std::ptrdiff_t>(rank),
                     begin + static_cast<std::ptrdiff_t>(to));
    SelectRanks(values, from, rank, ranks, first, middle);
    from = rank + 1;
    first = middle + 1;
  }
}

Pool PoolOf(const std::vector<std::span<const double>>& molecules) {
  Pool pool;
  std::vector<double> values;
  for (const auto& molecule : molecules) values.insert(values.end(), molecule.begin(), molecule.end());
  pool.frames = values.size();
  if (pool.frames == 0) return pool;
  double sum = 0;
  for (const double x : values) sum += x;
  const double mean = sum / static_cast<double>(pool.frames);
  double squares = 0;
  std::vector<double> seen;  // the first kMostHmmStates + 1 different values
  for (const double x : values) {
    squares += (x - mean) * (x - mean);
    if (seen.size() <= static_cast<std::size_t>(kMostHmmStates) && std::find(seen.begin(), seen.end(), x) == seen.end())
      seen.push_back(x);
  }
  pool.spread = std::sqrt(squares / static_cast<double>(pool.frames));
  pool.distinct = seen.size();
  pool.ranks = OrderRanks(pool.frames);
  SelectRanks(values, 0, values.size(), pool.ranks, 0, pool.ranks.size());
  for (const std::size_t rank : pool.ranks) pool.ranked.push_back(values[rank]);
  return pool;
}

long ParameterCount(int states, std::size_t molecules, const HmmSettings& settings) {
  const long k = states;
  const long matrices = settings.transitions == TransitionSharing::Shared ? 1 : static_cast<long>(molecules);
  const long offsets = settings.moleculeOffsets ? static_cast<long>(molecules) - 1 : 0;
  return 2 * k + (k - 1) + matrices * k * (k - 1) + offsets;
}

// The sums one molecule gives the M-step, in one row of doubles.
struct StatsLayout {
  std::size_t k;
  std::size_t Size() const { return 1 + 5 * k + k * k; }
  static constexpr std::size_t kLogLikelihood = 0;
  std::size_t Occupancy(std::size_t s) const { return 1 + s; }  // sum of gamma
  // Each frame's term times its weight w; about the state's mean plus the molecule's offset:
  std::size_t Shift(std::size_t s) const { return 1 + k + s; }                            // sum of gamma w (x - mean)
  std::size_t Square(std::size_t s) const { return 1 + 2 * k + s; }                       // sum of gamma w (x - mean)^2
  std::size_t First(std::size_t s) const { return 1 + 3 * k + s; }                        // gamma of the first frame
  std::size_t Weighted(std::size_t s) const { return 1 + 4 * k + s; }                     // sum of gamma w
  std::size_t Step(std::size_t i, std::size_t j) const { return 1 + 5 * k + i * k + j; }  // sum of xi
};

// One thread's room for the recursions of one molecule.
struct Workspace {
  std::vector<double> emission;  // T x K, relative to the frame's likeliest state
  std::vector<double> alpha;     // T x K, scaled forward variables
  std::vector<double> scale;     // T, 1 / s_t
};

// What a model's emissions need per state, worked out once an iteration.
struct Emissions {
  std::vector<double> means, inverseWidths, logWidths;
  explicit Emissions(const HmmModel& model) : means(model.means) {
    for (const double width : model.widths) {
      inverseWidths.push_back(1.0 / width);
      logWidths.push_back(std::log(width));
    }
  }
  // ln of each state's density at x of weight w, less kHalfLogTwoPi and less ln(w) / 2 (the same
  // in every state), into `out`: a width of sigma / sqrt(w), so -w z^2 / 2 - ln sigma, z = (x -
  // mu) / sigma.
  void LogDensities(double x, double weight, double* out) const {
    for (std::size_t s = 0; s < means.size(); ++s) {
      const double z = (x - means[s]) * inverseWidths[s];
      out[s] = -0.5 * weight * z * z - logWidths[s];
    }
  }
};

// A running product of the scale sums s_t, each at least kLeastChance (the frame's likeliest
// state has relative emission 1, and every chance into it is at least kLeastChance): its
// logarithm is taken when it falls below kProductFloor, long before it could underflow.
constexpr double kProductFloor = 1e-200;

// The E-step of one molecule of K states: scaled forward-backward, the sums of its posterior
// into `stats`. K is known to the compiler, so the loops over the states unroll, and so is
// whether the frames have weights (without, every weight is the constant 1 and costs nothing).
// `weightTerm` is the sum of ln(w_t) / 2 over the molecule's frames, which its likelihood holds.
template <std::size_t K, bool kWeighted>
void ExpectStates(std::span<const double> x, std::span<const double> weights, double weightTerm,
                  const HmmModel& model, const Emissions& emissions, std::size_t molecule, Workspace& w,
                  double* stats) {
  const std::size_t frames = x.size();
  const StatsLayout at{K};
  const double offset = model.Offset(molecule);
  std::array<double, K * K> a{};
  std::copy_n(model.Transitions(molecule).begin(), K * K, a.begin());
  w.emission.resize(frames * K);
  w.alpha.resize(frames * K);
  w.scale.resize(frames);

  // ln L = sum over frames of (ln s_t + c_t), c_t the frame's largest log density.
  double logLikelihood = weightTerm;
  for (std::size_t t = 0; t < frames; ++t) {
    double* b = &w.emission[t * K];
    emissions.LogDensities(x[t] - offset, kWeighted ? weights[t] : 1.0, b);
    double largest = b[0];
    for (std::size_t s = 1; s < K; ++s) largest = std::max(largest, b[s]);
    for (std::size_t s = 0; s < K; ++s) b[s] = std::max(std::exp(b[s] - largest), kLeastEmission);
    logLikelihood += largest - kHalfLogTwoPi;
  }
  // Forward: alpha_t(j) = [sum_i alpha_(t-1)(i) a_ij] b_t(j) / s_t, each frame's alpha summing to 1.
  double product = 1;
  for (std::size_t t = 0; t < frames; ++t) {
    const double* b = &w.emission[t * K];
    double* alpha = &w.alpha[t * K];
    for (std::size_t j = 0; j < K; ++j) {
      double into = 0;
      if (t == 0) {
        into = model.initial[j];
      } else {
        const double* before = &w.alpha[(t - 1) * K];
        for (std::size_t i = 0; i < K; ++i) into += before[i] * a[i * K + j];
      }
      alpha[j] = into * b[j];
    }
    double sum = 0;
    for (std::size_t j = 0; j < K; ++j) sum += alpha[j];
    const double inverse = 1.0 / sum;
    for (std::size_t j = 0; j < K; ++j) alpha[j] *= inverse;
    w.scale[t] = inverse;
    product *= sum;
    if (product < kProductFloor) {
      logLikelihood += std::log(product);
      product = 1;
    }
  }
  logLikelihood += std::log(product);
  // Backward, with beta_t(i) = sum_j a_ij b_(t+1)(j) beta_(t+1)(j) / s_(t+1): gamma_t = alpha_t
  // beta_t, xi_t(i, j) = alpha_t(i) a_ij b_(t+1)(j) beta_(t+1)(j) / s_(t+1).
  std::array<double, K> beta, weighted, occupancy{}, weightedOccupancy{}, shift{}, square{}, means{};
  std::array<double, K * K> steps{};
  beta.fill(1.0);
  std::copy_n(model.means.begin(), K, means.begin());
  for (std::size_t t = frames; t-- > 0;) {
    const double* alpha = &w.alpha[t * K];
    const double weight = kWeighted ? weights[t] : 1.0;
    for (std::size_t s = 0; s < K; ++s) {
      const double gamma = alpha[s] * beta[s];
      const double d = x[t] - offset - means[s];
      occupancy[s] += gamma;
      const double gammaWeight = gamma * weight;
      if constexpr (kWeighted) weightedOccupancy[s] += gammaWeight;
      shift[s] += gammaWeight * d;
      square[s] += gammaWeight * d * d;
    }
    if (t == 0) break;
    const double* b = &w.emission[t * K];
    for (std::size_t j = 0; j < K; ++j) weighted[j] = b[j] * beta[j] * w.scale[t];
    const double* before = &w.alpha[(t - 1) * K];
    for (std::size_t i = 0; i < K; ++i) {
      double sum = 0;
      for (std::size_t j = 0; j < K; ++j) {
        const double step = a[i * K + j] * weighted[j];
        sum += step;
        steps[i * K + j] += before[i] * step;
      }
      beta[i] = sum;
    }
  }
  stats[StatsLayout::kLogLikelihood] = logLikelihood;
  for (std::size_t s = 0; s < K; ++s) {
    stats[at.Occupancy(s)] = occupancy[s];
    stats[at.Shift(s)] = shift[s];
    stats[at.Square(s)] = square[s];
    stats[at.First(s)] = w.alpha[s] * beta[s];
    stats[at.Weighted(s)] = kWeighted ? weightedOccupancy[s] : occupancy[s];
  }
  std::copy(steps.begin(), steps.end(), stats + at.Step(0, 0));
}

using ExpectFunction = void (*)(std::span<const double>, std::span<const double>, double, const HmmModel&,
                                const Emissions&, std::size_t, Workspace&, double*);

template <bool kWeighted, std::size_t... K>
constexpr std::array<ExpectFunction, sizeof...(K)> ExpectTable(std::index_sequence<K...>) {
  return {&ExpectStates<K + 1, kWeighted>...};
}

// The E-step of each number of states, 1 ... kMostHmmStates, without weights and with them.
constexpr auto kExpect = ExpectTable<false>(std::make_index_sequence<kMostHmmStates>());
constexpr auto kExpectWeighted = ExpectTable<true>(std::make_index_sequence<kMostHmmStates>());

void Expect(std::span<const double> x, std::span<const double> weights, double weightTerm, const HmmModel& model,
            const Emissions& emissions, std::size_t molecule, Workspace& w, double* stats) {
  const auto& table = weights.empty() ? kExpect : kExpectWeighted;
  table[static_cast<std::size_t>(model.states - 1)](x, weights, weightTerm, model, emissions, molecule, w, stats);
}

// RunOnThreads for work that may run out of memory: the first exception a thread meets is thrown
// again on the calling thread once every thread has ended, where one escaping a thread would end
// the process.
template <class Body>
void RunCarryingFailure(int threads, Body body) {
  std::mutex guard;
  std::exception_ptr failure;
  RunOnThreads(threads, [&](int thread) {
    try {
      body(thread);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(guard);
      if (!failure) failure = std::current_exception();
    }
  });
  if (failure) std::rethrow_exception(failure);
}

// The molecules an iteration runs on, and the room of its threads.
struct Run {
  const std::vector<std::span<const double>>& molecules;
  const FrameWeights& weights;      // empty, or one span per molecule
  std::vector<std::size_t> chosen;  // indices into molecules
  std::vector<double> weightTerms;  // with weights, each chosen molecule's sum of ln(w_t) / 2
  std::size_t frames = 0;
  int threads = 1;
  std::vector<Workspace> workspaces;
  std::vector<double> stats;  // a row per chosen molecule
};

Run MakeRun(const std::vector<std::span<const double>>& molecules, const FrameWeights& weights, std::size_t stride,
            int threads) {
  Run run{molecules, weights, {}, {}, 0, 1, {}, {}};
  for (std::size_t m = 0; m < molecules.size(); m += stride) {
    run.chosen.push_back(m);
    run.frames += molecules[m].size();
    double term = 0;
    if (!weights.empty())
      for (const double w : weights[m]) term += 0.5 * std::log(w);
    run.weightTerms.push_back(term);
  }
  run.threads = std::max(1, std::min(ThreadCount(threads), static_cast<int>(run.chosen.size())));
  run.workspaces.resize(static_cast<std::size_t>(run.threads));
  return run;
}

// The E-step of every molecule of the run; the log-likelihood, added in molecule order.
double ExpectAll(Run& run, const HmmModel& model) {
  const StatsLayout at{static_cast<std::size_t>(model.states)};
  run.stats.resize(run.chosen.size() * at.Size());
  const Emissions emissions(model);
  std::atomic<std::size_t> next{0};
  RunCarryingFailure(run.threads, [&](int thread) {
    Workspace& w = run.workspaces[static_cast<std::size_t>(thread)];
    for (std::size_t c = next++; c < run.chosen.size(); c = next++) {
      const std::size_t m = run.chosen[c];
      Expect(run.molecules[m], run.weights.empty() ? std::span<const double>() : run.weights[m], run.weightTerms[c],
             model, emissions, m, w, &run.stats[c * at.Size()]);
    }
  });
  double logLikelihood = 0;
  for (std::size_t c = 0; c < run.chosen.size(); ++c) logLikelihood += run.stats[c * at.Size()];
  return logLikelihood;
}

// Scales `row` to sum 1 with no entry below kLeastChance; a row of no weight stays as it was.
void SetChances(std::span<double> row, std::span<const double> weights) {
  double sum = 0;
  for (const double w : weights) sum += w;
  if (!(sum > 0)) return;
  double floored = 0;
  for (std::size_t j = 0; j < row.size(); ++j) floored += row[j] = std::max(weights[j] / sum, kLeastChance);
  for (double& chance : row) chance /= floored;
}

// The means, offsets and widths of the M-step with molecule offsets (see hmm.h), from each
// chosen molecule's sums about its old centres c_ms = mu_s + delta_m. With a_s the move of mean
// s and b_m that of offset m, e = a_s + b_m, the molecule's frames in state s give Q the sum
// gamma w (x - c_ms - e)^2 = S2 - 2 e S1 + e^2 W (W = sum gamma w, n = sum gamma). Each sweep sets
//   a_s = sum_m (S1_ms - W_ms b_m) / sum_m W_ms,
//   b_m = sum_s (S1_ms - W_ms a_s) / sigma_s^2 / sum_s W_ms / sigma_s^2,
//   sigma_s^2 = sum_m (S2_ms - 2 e S1_ms + e^2 W_ms) / sum_m n_ms, at least the floor squared,
// each the maximum of Q given the others; the offsets' mean over the molecules' frames then
// goes into the means, which leaves every centre, so Q, as it is. A molecule outside the run
// keeps its offset.
void MaximiseWithOffsets(const Run& run, HmmModel& model, double widthFloor) {
  const auto k = static_cast<std::size_t>(model.states);
  const StatsLayout at{k};
  const std::size_t chosen = run.chosen.size();
  const auto sum = [&](std::size_t c, std::size_t index) { return run.stats[c * at.Size() + index]; };
  std::vector<double> occupancy(k, 0.0), weighted(k, 0.0), a(k, 0.0), b(chosen, 0.0), widths = model.widths;
  for (std::size_t c = 0; c < chosen; ++c)
    for (std::size_t s = 0; s < k; ++s) {
      occupancy[s] += sum(c, at.Occupancy(s));
      weighted[s] += sum(c, at.Weighted(s));
    }
  for (int sweep = 0; sweep < kOffsetSweeps; ++sweep) {
    for (std::size_t s = 0; s < k; ++s) {
      if (!(weighted[s] > 0)) continue;
      double moved = 0;
      for (std::size_t c = 0; c < chosen; ++c) moved += sum(c, at.Shift(s)) - sum(c, at.Weighted(s)) * b[c];
      a[s] = moved / weighted[s];
    }
    for (std::size_t c = 0; c < chosen; ++c) {
      double moved = 0, weight = 0;
      for (std::size_t s = 0; s < k; ++s) {
        const double precision = 1.0 / (widths[s] * widths[s]);
        moved += (sum(c, at.Shift(s)) - sum(c, at.Weighted(s)) * a[s]) * precision;
        weight += sum(c, at.Weighted(s)) * precision;
      }
      if (weight > 0) b[c] = moved / weight;
    }
    for (std::size_t s = 0; s < k; ++s) {
      if (!(occupancy[s] > 0)) continue;
      double squares = 0;
      for (std::size_t c = 0; c < chosen; ++c) {
        const double e = a[s] + b[c];
        squares += sum(c, at.Square(s)) - 2.0 * e * sum(c, at.Shift(s)) + e * e * sum(c, at.Weighted(s));
      }
      widths[s] = std::sqrt(std::max(squares / occupancy[s], widthFloor * widthFloor));
    }
  }
  double offsetSum = 0;
  std::size_t frames = 0;
  for (std::size_t c = 0; c < chosen; ++c) {
    const std::size_t m = run.chosen[c];
    model.offsets[m] += b[c];
    offsetSum += model.offsets[m] * static_cast<double>(run.molecules[m].size());
    frames += run.molecules[m].size();
  }
  const double centre = frames > 0 ? offsetSum / static_cast<double>(frames) : 0.0;
  for (std::size_t c = 0; c < chosen; ++c) model.offsets[run.chosen[c]] -= centre;
  for (std::size_t s = 0; s < k; ++s) model.means[s] += a[s] + centre;
  model.widths = std::move(widths);
}

// The M-step from the sums of the last E-step.
void Maximise(const Run& run, HmmModel& model, TransitionSharing sharing, double widthFloor) {
  const auto k = static_cast<std::size_t>(model.states);
  const StatsLayout at{k};
  const auto row = [&](std::size_t c) { return &run.stats[c * at.Size()]; };
  std::vector<double> occupancy(k, 0.0), weighted(k, 0.0), shift(k, 0.0), square(k, 0.0), first(k, 0.0),
      steps(k * k, 0.0);
  for (std::size_t c = 0; c < run.chosen.size(); ++c) {
    for (std::size_t s = 0; s < k; ++s) {
      occupancy[s] += row(c)[at.Occupancy(s)];
      weighted[s] += row(c)[at.Weighted(s)];
      shift[s] += row(c)[at.Shift(s)];
      square[s] += row(c)[at.Square(s)];
      first[s] += row(c)[at.First(s)];
    }
    for (std::size_t e = 0; e < k * k; ++e) steps[e] += row(c)[at.Step(0, 0) + e];
  }
  if (!model.offsets.empty()) {
    MaximiseWithOffsets(run, model, widthFloor);
  } else {
    // Sums about the old mean: mean' = mean + S1 / W, width'^2 = (S2 - S1^2 / W) / n = S2 / n -
    // (S1 / W)^2 W / n; without weights W = n.
    for (std::size_t s = 0; s < k; ++s) {
      if (!(occupancy[s] > 0 && weighted[s] > 0)) continue;
      const double moved = shift[s] / weighted[s];
      model.means[s] += moved;
      model.widths[s] = std::sqrt(
          std::max(square[s] / occupancy[s] - moved * moved * (weighted[s] / occupancy[s]), widthFloor * widthFloor));
    }
  }
  SetChances(model.initial, first);
  if (sharing == TransitionSharing::Shared) {
    for (std::size_t i = 0; i < k; ++i)
      SetChances(std::span(model.transitions).subspan(i * k, k), std::span<const double>(steps).subspan(i * k, k));
    return;
  }
  for (std::size_t c = 0; c < run.chosen.size(); ++c) {
    const std::size_t m = run.chosen[c];
    for (std::size_t i = 0; i < k; ++i)
      SetChances(std::span(model.transitions).subspan((m * k + i) * k, k),
                 std::span<const double>(row(c) + at.Step(i, 0), k));
  }
}

// A start of `states` states at `means`, with `offsets` molecules' offsets at 0 (none without
// molecule offsets).
HmmModel StartAt(std::vector<double> means, const Pool& pool, std::size_t matrices, std::size_t offsets) {
  const auto k = means.size();
  HmmModel model;
  model.states = static_cast<int>(k);
  std::sort(means.begin(), means.end());
  model.means = std::move(means);
  model.widths.assign(k, std::max(pool.spread / static_cast<double>(k), pool.spread * kWidthFloorShare));
  model.initial.assign(k, 1.0 / static_cast<double>(k));
  model.offsets.assign(offsets, 0.0);
  const double leave = k == 1 ? 0.0 : (1.0 - kStartStay) / static_cast<double>(k - 1);
  for (std::size_t m = 0; m < matrices; ++m)
    for (std::size_t i = 0; i < k; ++i)
      for (std::size_t j = 0; j < k; ++j) model.transitions.push_back(i == j ? (k == 1 ? 1.0 : kStartStay) : leave);
  return model;
}

bool AllDifferent(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return std::adjacent_find(values.begin(), values.end()) == values.end();
}

// The means of the k-means++ seeding (Arthur and Vassilvitskii 2007, "k-means++: the advantages
// of careful seeding"), among kSeedingFrames frames spread evenly over the sorted frames: the
// first drawn at random, each next with a chance in proportion to its squared distance from the
// nearest mean already chosen.
std::vector<double> SpreadSeeds(std::size_t k, const Pool& pool, std::mt19937_64& engine) {
  const std::size_t count = SeedingCandidates(pool.frames);
  std::vector<double> candidates(count), distance(count, std::numeric_limits<double>::infinity());
  for (std::size_t c = 0; c < count; ++c) candidates[c] = pool.Ranked(CandidateRank(c, count, pool.frames));
  std::vector<double> means = {candidates[UniformBelow(engine, count)]};
  while (means.size() < k) {
    double total = 0;
    for (std::size_t c = 0; c < count; ++c) {
      const double d = candidates[c] - means.back();
      distance[c] = std::min(distance[c], d * d);
      total += distance[c];
    }
    if (!(total > 0)) break;
    double u = static_cast<double>(engine() >> 11) * 0x1.0p-53 * total;
    std::size_t c = 0;
    while (c + 1 < count && (u -= distance[c]) >= 0) ++c;
    means.push_back(candidates[c]);
  }
  return means;
}

// Start 0 spreads the means evenly between the quantiles kOuterQuantile and 1 - kOuterQuantile
// of all frames, so that a level seldom visited gets a state as readily as a common one; start 1
// puts them at the quantiles (s + 1/2) / K, where most frames are; the others seed them as
// k-means++ does, each with its own seed. Means that meet are spread evenly between the smallest
// and the largest frame instead.
HmmModel Start(int start, int states, const Pool& pool, std::size_t matrices, std::size_t offsets, std::uint64_t seed) {
  const auto k = static_cast<std::size_t>(states);
  const auto quantile = [&](double q) { return pool.Ranked(QuantileRank(q, pool.frames)); };
  std::vector<double> means(k);
  if (start == 0) {
    const double low = quantile(kOuterQuantile), high = quantile(1.0 - kOuterQuantile);
    for (std::size_t s = 0; s < k; ++s)
      means[s] = low + (high - low) * (static_cast<double>(s) + 0.5) / static_cast<double>(k);
  } else if (start == 1) {
    for (std::size_t s = 0; s < k; ++s) means[s] = quantile((static_cast<double>(s) + 0.5) / static_cast<double>(k));
  } else {
    std::mt19937_64 engine(SplitMix64(seed ^ SplitMix64(static_cast<std::uint64_t>(states * kStarts + start))));
    means = SpreadSeeds(k, pool, engine);
  }
  if (means.size() != k || !AllDifferent(means))
    for (std::size_t s = 0; s < k; ++s)
      means[s] = pool.Least() + (pool.Most() - pool.Least()) * (static_cast<double>(s) + 0.5) / static_cast<double>(k);
  return StartAt(means, pool, matrices, offsets);
}

// Each run of K values (one per state) put in the new order: new state s is old state order[s].
void PermuteStates(std::vector<double>& values, const std::vector<std::size_t>& order) {
  const std::size_t k = order.size();
  const std::vector<double> old = values;
  for (std::size_t run = 0; run < values.size() / k; ++run)
    for (std::size_t s = 0; s < k; ++s) values[run * k + s] = old[run * k + order[s]];
}

// Each K x K block (one value per pair of states) put in the new order, rows and columns.
void PermuteStatePairs(std::vector<double>& values, const std::vector<std::size_t>& order) {
  const std::size_t k = order.size();
  const std::vector<double> old = values;
  for (std::size_t block = 0; block < values.size() / (k * k); ++block)
    for (std::size_t s = 0; s < k; ++s)
      for (std::size_t j = 0; j < k; ++j)
        values[(block * k + s) * k + j] = old[(block * k + order[s]) * k + order[j]];
}

// The states in the order of their means, and with them the molecules' expected counts.
void SortStates(HmmModel& model, std::vector<double>& occupancy, StateCountFit& fit) {
  const auto k = static_cast<std::size_t>(model.states);
  std::vector<std::size_t> order(k);
  for (std::size_t s = 0; s < k; ++s) order[s] = s;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return model.means[a] < model.means[b]; });
  for (std::vector<double>* perState : {&model.means, &model.widths, &model.initial, &occupancy, &fit.expectedFrames})
    PermuteStates(*perState, order);
  for (std::vector<double>* perPair : {&model.transitions, &fit.expectedSteps}) PermuteStatePairs(*perPair, order);
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

// Why a model of `states` states cannot be fitted to these frames at all; empty when it can.
std::string Unfittable(int states, const Pool& pool, long parameters) {
  if (pool.distinct < static_cast<std::size_t>(states))
    return "the frames hold only " + std::to_string(pool.distinct) + " different values";
  if (static_cast<double>(pool.frames) < kFramesPerParameter * static_cast<double>(parameters))
    return "too few frames: " + std::to_string(pool.frames) + " for " + std::to_string(parameters) +
           " parameters, which need at least " +
           std::to_string(static_cast<long>(kFramesPerParameter * static_cast<double>(parameters)));
  return {};
}

// Why a fitted model is no model of the data; empty when it is one.
std::string Degenerate(const HmmModel& model, const std::vector<double>& occupancy, double widthFloor) {
  for (std::size_t s = 0; s < occupancy.size(); ++s) {
    if (occupancy[s] < kLeastStateFrames)
      return "state " + std::to_string(s + 1) + " holds almost no frames (" + Number(occupancy[s]) + ")";
    if (model.widths[s] <= widthFloor)
      return "state " + std::to_string(s + 1) + " narrowed onto the single value " + Number(model.means[s]);
  }
  return {};
}

// The model of `fewer` (K - 1 states) with state `split` made two, at its mean less and more
// `shift` times its width w, each of width w sqrt(1 - shift^2) (the pair's spread that of the
// state), half its share of the first frames and half the chance of every step into it. Its
// likelihood is that of K - 1 less what the flatter pair costs, a relative entropy of about
// (2 shift^4)^2 / 48 a frame of the state: a start of K states from which EM, which never
// lowers the likelihood, ends no lower than K - 1 less that. The trials move the halves apart by
// kTrialSplit, far enough for eight iterations to move; the fallback by kFallbackSplit, at a
// cost of some 1e-9 a frame, far below the stopping rule's 1e-7.
constexpr double kTrialSplit = 0.5;
constexpr double kFallbackSplit = 0.1;

HmmModel SplitStart(const HmmModel& fewer, std::size_t split, double shift) {
  const auto k = static_cast<std::size_t>(fewer.states);
  // New state n is old state old[n]; the two halves of `split` are split and split + 1.
  std::vector<std::size_t> old;
  for (std::size_t s = 0; s < k; ++s) {
    old.push_back(s);
    if (s == split) old.push_back(s);
  }
  const std::size_t n = k + 1;
  const double narrower = std::sqrt(1.0 - shift * shift);
  HmmModel model;
  model.states = static_cast<int>(n);
  for (std::size_t s = 0; s < n; ++s) {
    const double side = s == split ? -1.0 : s == split + 1 ? 1.0 : 0.0;
    const double width = fewer.widths[old[s]];
    model.means.push_back(fewer.means[old[s]] + side * shift * width);
    model.widths.push_back(old[s] == split ? narrower * width : width);
    model.initial.push_back(fewer.initial[old[s]] * (old[s] == split ? 0.5 : 1.0));
  }
  const std::size_t matrices = fewer.transitions.size() / (k * k);
  for (std::size_t m = 0; m < matrices; ++m)
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        model.transitions.push_back(fewer.transitions[(m * k + old[i]) * k + old[j]] * (old[j] == split ? 0.5 : 1.0));
  model.offsets = fewer.offsets;
  return model;
}

// The starts after the trials, on every s-th molecule: that of the highest likelihood, and
// the state of the fit of K - 1 states whose split came highest, where there is one.
struct Starts {
  HmmModel best;
  std::optional<std::size_t> bestSplit;
};

// One state needs no trials: its fit is the mean and spread.
Starts BestStarts(const std::vector<std::span<const double>>& molecules, const FrameWeights& weights, const Pool& pool,
                  int states, std::size_t matrices, const HmmSettings& settings, double widthFloor,
                  const HmmModel* fewer) {
  const std::size_t offsets = settings.moleculeOffsets ? molecules.size() : 0;
  Starts starts{Start(0, states, pool, matrices, offsets, settings.seed), std::nullopt};
  if (states == 1) return starts;
  const std::size_t stride = std::max<std::size_t>(1, (pool.frames + kTrialFrames - 1) / kTrialFrames);
  Run trial = MakeRun(molecules, weights, stride, settings.threads);
  double bestLikelihood = -std::numeric_limits<double>::infinity();
  double bestSplitLikelihood = bestLikelihood;
  const std::size_t splits = fewer ? static_cast<std::size_t>(fewer->states) : 0;
  for (std::size_t start = 0; start < static_cast<std::size_t>(kStarts) + splits; ++start) {
    const bool split = start >= static_cast<std::size_t>(kStarts);
    HmmModel model = split ? SplitStart(*fewer, start - static_cast<std::size_t>(kStarts), kTrialSplit)
                           : Start(static_cast<int>(start), states, pool, matrices, offsets, settings.seed);
    double likelihood = 0;
    for (int iteration = 0; iteration < kTrialIterations; ++iteration) {
      likelihood = ExpectAll(trial, model);
      Maximise(trial, model, settings.transitions, widthFloor);
    }
    if (split && likelihood > bestSplitLikelihood) {
      bestSplitLikelihood = likelihood;
      starts.bestSplit = start - static_cast<std::size_t>(kStarts);
    }
    if (likelihood > bestLikelihood) {
      bestLikelihood = likelihood;
      starts.best = std::move(model);
    }
  }
  return starts;
}

// Whether the caller asked the work to stop.
bool Stopping(const WorkProgress* progress) { return progress && progress->StopRequested(); }

// EM from `model` on all molecules of `all` until the stopping rule holds; `all.stats` then holds
// the E-step of the model as it stands.
struct EmEnd {
  bool settled = false;
  bool stopped = false;
  double logLikelihood = 0;
  int iterations = 0;
  std::vector<double> climb;  // the log-likelihood of every E-step
};

EmEnd RunEm(Run& all, HmmModel& model, TransitionSharing sharing, double widthFloor, const WorkProgress* progress) {
  EmEnd end;
  const double tolerance = kTolerancePerFrame * static_cast<double>(all.frames);
  double previous = -std::numeric_limits<double>::infinity();
  for (end.iterations = 1; end.iterations <= kMostIterations; ++end.iterations) {
    if (Stopping(progress)) {
      end.stopped = true;
      return end;
    }
    const double likelihood = ExpectAll(all, model);
    end.climb.push_back(likelihood);
    if (likelihood - previous <= tolerance) {
      end.logLikelihood = likelihood;
      end.settled = true;
      return end;
    }
    previous = likelihood;
    Maximise(all, model, sharing, widthFloor);
  }
  return end;
}

// Why the fitted `model` is no model of distinct states: two neighbouring states whose means
// lie closer than kLeastSeparation times the wider one's width; empty when none do.
std::string Unseparated(const HmmModel& model) {
  for (std::size_t s = 1; s < model.means.size(); ++s) {
    const double width = std::max(model.widths[s - 1], model.widths[s]);
    if (model.means[s] - model.means[s - 1] < kLeastSeparation * width)
      return "states " + std::to_string(s) + " and " + std::to_string(s + 1) +
             " lie within the noise of each other (means " + Number(model.means[s - 1]) + " and " +
             Number(model.means[s]) + ", closer than " + Number(kLeastSeparation) + " x the width " + Number(width) +
             ")";
  }
  return {};
}

// The fit of `states` states; `fewer`, the fit of one state less where there is one, seeds starts
// of its own, and the fit ends no lower than it.
StateCountFit FitPooled(const std::vector<std::span<const double>>& molecules, const FrameWeights& weights,
                        const Pool& pool, int states, const HmmSettings& settings,
                        const WorkProgress* progress = nullptr, const StateCountFit* fewer = nullptr) {
  StateCountFit fit;
  fit.states = states;
  const std::size_t matrices = settings.transitions == TransitionSharing::Shared ? 1 : molecules.size();
  fit.parameters = ParameterCount(states, molecules.size(), settings);
  if (pool.frames == 0) {
    fit.why = "there are no frames";
    return fit;
  }
  if (pool.spread == 0) {
    fit.why = "every frame holds the one value " + Number(pool.Least());
    return fit;
  }
  if (fit.why = Unfittable(states, pool, fit.parameters); !fit.why.empty()) return fit;
  const double widthFloor = pool.spread * kWidthFloorShare;
  if (fewer && !(fewer->fitted && fewer->states + 1 == states)) fewer = nullptr;

  Starts starts =
      BestStarts(molecules, weights, pool, states, matrices, settings, widthFloor, fewer ? &fewer->model : nullptr);
  HmmModel best = std::move(starts.best);
  Run all = MakeRun(molecules, weights, 1, settings.threads);
  EmEnd end = RunEm(all, best, settings.transitions, widthFloor, progress);
  if (end.stopped) {
    fit.why = "stopped";
    return fit;
  }
  // A local optimum below the fit of fewer states: EM from the best split of that fit instead,
  // set apart by kFallbackSplit, whose likelihood on all frames is that of the fit but for ~1e-9 a
  // frame.
  if (fewer && starts.bestSplit && (!end.settled || end.logLikelihood < fewer->logLikelihood)) {
    HmmModel split = SplitStart(fewer->model, *starts.bestSplit, kFallbackSplit);
    const EmEnd splitEnd = RunEm(all, split, settings.transitions, widthFloor, progress);
    if (splitEnd.stopped) {
      fit.why = "stopped";
      return fit;
    }
    if (splitEnd.settled && (!end.settled || splitEnd.logLikelihood > end.logLikelihood)) {
      best = std::move(split);
      end = splitEnd;
    } else if (end.settled) {
      ExpectAll(all, best);  // `all.stats` back to the model kept
    }
  }
  fit.iterations = end.iterations;
  fit.climb = std::move(end.climb);
  if (!end.settled) {
    fit.why = "the fit did not settle in " + std::to_string(kMostIterations) + " iterations";
    return fit;
  }
  fit.logLikelihood = end.logLikelihood;
  // The last E-step was that of `best` as it stands; `all` holds every molecule, in order.
  const auto k = static_cast<std::size_t>(states);
  const StatsLayout at{k};
  std::vector<double> occupancy(k, 0.0);
  fit.expectedSteps.reserve(all.chosen.size() * k * k);
  fit.expectedFrames.reserve(all.chosen.size() * k);
  for (std::size_t c = 0; c < all.chosen.size(); ++c) {
    const double* row = &all.stats[c * at.Size()];
    for (std::size_t s = 0; s < k; ++s) {
      occupancy[s] += row[at.Occupancy(s)];
      fit.expectedFrames.push_back(row[at.Occupancy(s)]);
    }
    fit.expectedSteps.insert(fit.expectedSteps.end(), row + at.Step(0, 0), row + at.Step(0, 0) + k * k);
  }
  SortStates(best, occupancy, fit);
  if (fit.why = Degenerate(best, occupancy, widthFloor); !fit.why.empty()) {
    fit.expectedSteps.clear();
    fit.expectedFrames.clear();
    return fit;
  }
  fit.model = std::move(best);
  fit.fitted = true;
  fit.bic = -2.0 * fit.logLikelihood + static_cast<double>(fit.parameters) * std::log(static_cast<double>(pool.frames));
  fit.unseparated = Unseparated(fit.model);
  return fit;
}

// Why `weights` cannot weigh the frames of `molecules`: not one span a molecule of its length,
// or a weight that is not a positive number; empty when they can, or when there are none.
std::string WeightsError(const std::vector<std::span<const double>>& molecules, const FrameWeights& weights) {
  if (weights.empty()) return {};
  if (weights.size() != molecules.size()) return "the frames' weights are not one list a molecule";
  for (std::size_t m = 0; m < molecules.size(); ++m) {
    if (weights[m].size() != molecules[m].size())
      return "molecule " + std::to_string(m + 1) + " has " + std::to_string(molecules[m].size()) + " frames and " +
             std::to_string(weights[m].size()) + " weights";
    for (const double w : weights[m])
      if (!(w > 0) || !std::isfinite(w))
        return "molecule " + std::to_string(m + 1) + " has a frame's weight that is no positive number";
  }
  return {};
}

std::string SettingsError(const HmmSettings& settings) {
  if (settings.leastStates < 1 || settings.mostStates > kMostHmmStates || settings.leastStates > settings.mostStates)
    return "the numbers of states run from 1 to " + std::to_string(kMostHmmStates) + ", the least first";
  return {};
}

}  // namespace

double HmmModel::OffsetsRms() const {
  if (offsets.empty()) return 0;
  double squares = 0;
  for (const double offset : offsets) squares += offset * offset;
  return std::sqrt(squares / static_cast<double>(offsets.size()));
}

std::span<const double> HmmModel::Transitions(std::size_t molecule) const {
  const auto k = static_cast<std::size_t>(states);
  const std::size_t matrix = transitions.size() == k * k ? 0 : molecule;
  return std::span(transitions).subspan(matrix * k * k, k * k);
}

StateCountFit FitHmm(const std::vector<std::span<const double>>& molecules, int states, const HmmSettings& settings,
                     const FrameWeights& weights) {
  if (states < 1 || states > kMostHmmStates) {
    StateCountFit fit;
    fit.states = states;
    fit.why = "a model has 1 to " + std::to_string(kMostHmmStates) + " states";
    return fit;
  }
  if (const std::string why = WeightsError(molecules, weights); !why.empty()) {
    StateCountFit fit;
    fit.states = states;
    fit.why = why;
    return fit;
  }
  return FitPooled(molecules, weights, PoolOf(molecules), states, settings);
}

Idealisation Idealise(const std::vector<std::span<const double>>& molecules, const HmmSettings& settings,
                      WorkProgress* progress, const FrameWeights& weights) {
  Idealisation result;
  if (result.error = SettingsError(settings); !result.error.empty()) return result;
  if (result.error = WeightsError(molecules, weights); !result.error.empty()) return result;
  if (progress) progress->total = static_cast<std::size_t>(settings.mostStates - settings.leastStates + 2);
  const Pool pool = PoolOf(molecules);
  bool any = false;
  for (int states = settings.leastStates; states <= settings.mostStates; ++states) {
    const StateCountFit* fewer = result.fits.empty() ? nullptr : &result.fits.back();
    StateCountFit fitted = FitPooled(molecules, weights, pool, states, settings, progress, fewer);
    result.fits.push_back(std::move(fitted));
    if (Stopping(progress)) {
      Idealisation stopped;
      stopped.stopped = true;
      return stopped;
    }
    if (progress) progress->Step();
    const StateCountFit& fit = result.fits.back();
    if (fit.fitted && (!any || fit.bic < result.fits[result.chosen].bic)) result.chosen = result.fits.size() - 1;
    any = any || fit.fitted;
  }
  // The least BIC among the models of distinct states, where there is one.
  bool separated = false;
  for (std::size_t f = 0; f < result.fits.size(); ++f) {
    const StateCountFit& fit = result.fits[f];
    if (!fit.fitted || !fit.unseparated.empty()) continue;
    if (!separated || fit.bic < result.fits[result.chosen].bic) result.chosen = f;
    separated = true;
  }
  if (!any) {
    result.error = "no model could be fitted";
    for (const StateCountFit& fit : result.fits)
      result.error += "; " + std::to_string(fit.states) + (fit.states == 1 ? " state: " : " states: ") + fit.why;
    return result;
  }
  result.paths.resize(molecules.size());
  std::atomic<std::size_t> next{0};
  const int threads = std::max(1, std::min(ThreadCount(settings.threads), static_cast<int>(molecules.size())));
  RunCarryingFailure(threads, [&](int) {
    for (std::size_t m = next++; m < molecules.size(); m = next++)
      result.paths[m] =
          ViterbiPath(molecules[m], result.Model(), m, weights.empty() ? std::span<const double>() : weights[m]);
  });
  if (progress) progress->Step();
  return result;
}

std::vector<int> ViterbiPath(std::span<const double> frames, const HmmModel& model, std::size_t molecule,
                             std::span<const double> weights) {
  const auto k = static_cast<std::size_t>(model.states);
  const std::size_t count = frames.size();
  std::vector<int> path(count, 0);
  if (count == 0 || k == 0) return path;
  const Emissions emissions(model);
  std::vector<double> logA(k * k), delta(k), next(k), density(k);
  const std::span<const double> a = model.Transitions(molecule);
  for (std::size_t e = 0; e < k * k; ++e) logA[e] = std::log(a[e]);
  // back[t * K + j]: the likeliest state before state j at frame t.
  std::vector<std::uint8_t> back(count * k, 0);
  const double offset = model.Offset(molecule);
  const auto densities = [&](std::size_t t) {
    emissions.LogDensities(frames[t] - offset, weights.empty() ? 1.0 : weights[t], density.data());
  };
  densities(0);
  for (std::size_t s = 0; s < k; ++s) delta[s] = std::log(model.initial[s]) + density[s];
  for (std::size_t t = 1; t < count; ++t) {
    densities(t);
    for (std::size_t j = 0; j < k; ++j) {
      std::size_t from = 0;
      double best = delta[0] + logA[j];
      for (std::size_t i = 1; i < k; ++i)
        if (const double score = delta[i] + logA[i * k + j]; score > best) {
          best = score;
          from = i;
        }
      next[j] = best + density[j];
      back[t * k + j] = static_cast<std::uint8_t>(from);
    }
    std::swap(delta, next);
  }
  std::size_t state = static_cast<std::size_t>(std::max_element(delta.begin(), delta.end()) - delta.begin());
  for (std::size_t t = count; t-- > 0;) {
    path[t] = static_cast<int>(state);
    state = back[t * k + state];
  }
  return path;
}
