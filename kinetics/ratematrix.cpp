#include "kinetics/ratematrix.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>

#include "fit/random.h"
#include "kinetics/generatorfit.h"

namespace kinetics {
namespace {

// The seed of the rate matrix's replicates: replicate b draws from
// mt19937_64(SplitMix64(SplitMix64(kSeed) + b)), so its molecules depend on b alone.
constexpr std::uint64_t kSeed = 0x7261'7465'6d61'7478;  // "ratematx"

// A row of the step matrix of a hidden Markov model sums to 1 within this, its entries at least
// -this.
constexpr double kStochasticSlack = 1e-6;

bool InStates(int state, int states) { return state >= 0 && state < states; }

FrameCounts Empty(int states) {
  states = std::clamp(states, 0, kMostStates);
  FrameCounts counts;
  counts.states = states;
  counts.steps.assign(static_cast<std::size_t>(states * states), 0.0);
  counts.frames.assign(static_cast<std::size_t>(states), 0.0);
  return counts;
}

RateMatrix Refused(std::string why) {
  RateMatrix matrix;
  matrix.trouble = std::move(why);
  return matrix;
}

std::optional<int> StateNumber(std::string_view text, int states) {
  int value = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (fault != std::errc() || end != text.data() + text.size() || value < 1 || value > states) return std::nullopt;
  return value - 1;
}

}  // namespace

FrameCounts CountFrames(std::span<const int> statePerFrame, int states) {
  FrameCounts counts = Empty(states);
  const int n = counts.states;
  for (std::size_t f = 0; f < statePerFrame.size(); ++f) {
    const int s = statePerFrame[f];
    if (!InStates(s, n)) continue;
    counts.frames[static_cast<std::size_t>(s)] += 1;
    if (f + 1 < statePerFrame.size() && InStates(statePerFrame[f + 1], n))
      counts.steps[static_cast<std::size_t>(s * n + statePerFrame[f + 1])] += 1;
  }
  return counts;
}

FrameCounts CountRuns(std::span<const StateRun> runs, int states) {
  FrameCounts counts = Empty(states);
  const int n = counts.states;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const StateRun& run = runs[r];
    if (!InStates(run.state, n) || run.frames <= 0) continue;
    const auto frames = static_cast<double>(run.frames);
    counts.frames[static_cast<std::size_t>(run.state)] += frames;
    counts.steps[static_cast<std::size_t>(run.state * n + run.state)] += frames - 1;
    std::size_t next = r + 1;
    while (next < runs.size() && runs[next].frames <= 0) ++next;
    if (next < runs.size() && InStates(runs[next].state, n))
      counts.steps[static_cast<std::size_t>(run.state * n + runs[next].state)] += 1;
  }
  return counts;
}

FrameCounts CountDwells(std::span<const StateDwell> dwells, int states) {
  FrameCounts counts = Empty(states);
  const int n = counts.states;
  for (const StateDwell& dwell : dwells) {
    if (!InStates(dwell.state, n) || dwell.frames <= 0) continue;
    const auto frames = static_cast<double>(dwell.frames);
    counts.frames[static_cast<std::size_t>(dwell.state)] += frames;
    counts.steps[static_cast<std::size_t>(dwell.state * n + dwell.state)] += frames - 1;
    if (InStates(dwell.next, n)) counts.steps[static_cast<std::size_t>(dwell.state * n + dwell.next)] += 1;
  }
  return counts;
}

std::optional<std::vector<std::pair<int, int>>> ParsePaths(const std::string& text, int states, std::string& error) {
  std::vector<std::pair<int, int>> paths;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = std::string_view(text).substr(start, comma - start);
    const std::size_t dash = item.find('-');
    const std::optional<int> from = dash == std::string_view::npos ? std::nullopt : StateNumber(item.substr(0, dash), states);
    const std::optional<int> to = dash == std::string_view::npos ? std::nullopt : StateNumber(item.substr(dash + 1), states);
    if (!from || !to || *from == *to) {
      error = std::string("'").append(item).append(!from || !to ? "' is no path I-J of states 1 ... " + std::to_string(states)
                                                                 : std::string("' goes nowhere: a path joins two states"));
      return std::nullopt;
    }
    if (std::find(paths.begin(), paths.end(), std::pair{*from, *to}) == paths.end()) paths.emplace_back(*from, *to);
    start = comma + 1;
  }
  return paths;
}

const PathRate& RateMatrix::Rate(int from, int to) const {
  const int k = from * (states - 1) + (to < from ? to : to - 1);
  return rates[static_cast<std::size_t>(k)];
}

std::optional<RateMatrix> FitRateMatrix(const std::vector<FrameCounts>& molecules, const RateOptions& options,
                                        WorkProgress* progress) {
  if (molecules.empty()) return Refused("no molecules");
  const int n = molecules.front().states;
  if (n < 1 || n > kMostStates) return Refused("a rate matrix takes 1 ... " + std::to_string(kMostStates) + " states");
  const auto cells = static_cast<std::size_t>(n * n);
  for (const FrameCounts& m : molecules)
    if (m.states != n || m.steps.size() != cells || m.frames.size() != static_cast<std::size_t>(n))
      return Refused("the molecules' counts are not all of " + std::to_string(n) + " states");
  if (!(options.exposure > 0) || !std::isfinite(options.exposure)) return Refused("the exposure must be above 0");

  StepCounts all{n, std::vector<double>(cells, 0.0), std::vector<bool>(cells, options.paths.empty())};
  for (const auto& [from, to] : options.paths) {
    if (!InStates(from, n) || !InStates(to, n) || from == to)
      return Refused("the path " + std::to_string(from + 1) + "->" + std::to_string(to + 1) + " is not between two states");
    all.free[static_cast<std::size_t>(from * n + to)] = true;
  }
  RateMatrix matrix;
  matrix.states = n;
  matrix.exposure = options.exposure;
  matrix.molecules = static_cast<int>(molecules.size());
  matrix.frames.assign(static_cast<std::size_t>(n), 0.0);
  std::vector<int> stepping(cells, 0);
  for (const FrameCounts& m : molecules) {
    for (std::size_t c = 0; c < cells; ++c) {
      all.counts[c] += m.steps[c];
      if (m.steps[c] >= kMadeStep) ++stepping[c];
    }
    for (int i = 0; i < n; ++i) matrix.frames[static_cast<std::size_t>(i)] += m.frames[static_cast<std::size_t>(i)];
  }
  matrix.counts = all.counts;
  double framesInStates = 0;
  for (double f : matrix.frames) framesInStates += f;
  for (double f : matrix.frames) matrix.occupancy.push_back(framesInStates > 0 ? f / framesInStates : 0.0);
  double steps = 0;
  for (double c : all.counts) steps += c;
  if (!(steps > 0)) {
    matrix.trouble = "no frame in a state has a next frame in a state";
    return matrix;
  }
  if (std::string why = Unreachable(all); !why.empty()) {
    matrix.trouble = std::move(why);
    return matrix;
  }

  const GeneratorFit best = MaximiseLikelihood(all, StartOf(all, matrix.fromLogarithm));
  matrix.logLikelihood = best.logLikelihood;
  matrix.converged = best.converged;
  matrix.iterations = best.iterations;
  if (progress && progress->StopRequested()) return std::nullopt;

  // The replicates: each sums the count matrices of the molecules it draws and refits from the
  // fit of all of them, near which its own maximum lies.
  const int replicates = matrix.molecules >= kLeastMoleculesForInterval ? std::max(options.replicates, 0) : 0;
  matrix.replicates = replicates;
  if (progress) progress->total.fetch_add(static_cast<std::size_t>(replicates), std::memory_order_relaxed);
  std::vector<std::vector<double>> drawn(static_cast<std::size_t>(replicates));
  std::vector<double> flat;
  flat.reserve(molecules.size() * cells);
  for (const FrameCounts& m : molecules) flat.insert(flat.end(), m.steps.begin(), m.steps.end());
  const auto stopped = [progress] { return progress && progress->StopRequested(); };
  const int used = std::max(1, std::min(ThreadCount(options.threads), replicates));
  const UniformIndex below(molecules.size());
  RunOnThreads(used, [&](int t) {
    StepCounts sample{n, std::vector<double>(cells), all.free};
    for (int b = t; b < replicates && !stopped(); b += used) {
      std::mt19937_64 random(SplitMix64(SplitMix64(kSeed) + static_cast<std::uint64_t>(b)));
      std::fill(sample.counts.begin(), sample.counts.end(), 0.0);
      for (std::size_t k = 0; k < molecules.size(); ++k) {
        const double* own = flat.data() + below(random) * cells;
        for (std::size_t c = 0; c < cells; ++c) sample.counts[c] += own[c];
      }
      GeneratorFit fit = MaximiseLikelihood(sample, best.rates);
      if (fit.converged) drawn[static_cast<std::size_t>(b)] = std::move(fit.rates);
      if (progress) progress->Step();
    }
  });
  if (stopped()) return std::nullopt;
  for (const std::vector<double>& replicate : drawn) matrix.failedReplicates += replicate.empty() ? 1 : 0;

  const double perSecond = 1.0 / options.exposure;
  matrix.generator.assign(cells, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      if (i == j) continue;
      const auto p = static_cast<std::size_t>(i * n + j);
      const double perFrame = best.rates[p];
      matrix.generator[p] = perFrame * perSecond;
      matrix.generator[static_cast<std::size_t>(i * n + i)] -= perFrame * perSecond;
      PathRate rate;
      rate.from = i;
      rate.to = j;
      rate.rate = perFrame * perSecond;
      rate.transitions = all.counts[p];
      rate.molecules = stepping[p];
      rate.flags.fixed = !all.free[p];
      if (!rate.flags.fixed) {
        rate.flags.noTransition = !(rate.transitions > 0);
        rate.flags.atZero = perFrame <= 0;
        rate.flags.atBound = perFrame >= kMostRatePerFrame;
        rate.flags.fewMolecules = rate.molecules < kFewMolecules;
      }
      if (rate.flags.noTransition) {
        if (const std::optional<double> limit = UpperLimit(all, best, static_cast<int>(p)))
          rate.upperLimit = *limit * perSecond;
      } else if (!rate.flags.fixed && replicates > 0) {
        std::vector<double> values;
        for (const std::vector<double>& replicate : drawn)
          if (!replicate.empty()) values.push_back(replicate[p] * perSecond);
        rate.replicates = static_cast<int>(values.size());
        rate.interval = PercentileInterval(std::move(values));
      }
      matrix.rates.push_back(rate);
    }
  return matrix;
}

RateMatrix GeneratorOfStepMatrix(std::span<const double> stepMatrix, std::span<const double> framesWithNext,
                                 const RateOptions& options) {
  const auto n = static_cast<int>(framesWithNext.size());
  if (n < 1 || n > kMostStates || stepMatrix.size() != static_cast<std::size_t>(n * n))
    return Refused("a step matrix of N x N chances and the frames of its N states");
  FrameCounts expected = Empty(n);
  for (int i = 0; i < n; ++i) {
    double sum = 0;
    const double frames = framesWithNext[static_cast<std::size_t>(i)];
    if (!(frames >= 0) || !std::isfinite(frames)) return Refused("the frames of a state must be a number of at least 0");
    for (int j = 0; j < n; ++j) {
      const double a = stepMatrix[static_cast<std::size_t>(i * n + j)];
      if (!(a >= -kStochasticSlack) || !std::isfinite(a)) return Refused("a chance of the step matrix is below 0");
      sum += a;
      expected.steps[static_cast<std::size_t>(i * n + j)] = frames * std::max(a, 0.0);
    }
    if (std::fabs(sum - 1.0) > kStochasticSlack)
      return Refused("row " + std::to_string(i + 1) + " of the step matrix does not sum to 1");
    expected.frames[static_cast<std::size_t>(i)] = frames;
  }
  RateOptions once = options;
  once.replicates = 0;
  // The model's counts are not those of molecules: no rate rests on a number of them.
  RateMatrix matrix = *FitRateMatrix({expected}, once);
  matrix.molecules = 0;
  for (PathRate& rate : matrix.rates) {
    rate.molecules = 0;
    rate.flags.fewMolecules = false;
  }
  return matrix;
}

std::vector<std::string> RateFlagPhrases(const RateMatrix& matrix, const PathRate& rate) {
  std::vector<std::string> phrases;
  const RateFlags& f = rate.flags;
  if (f.fixed) phrases.push_back("path held at 0 as asked");
  if (f.noTransition) phrases.push_back("no step counted: the upper limit only");
  if (f.atZero && !f.noTransition) phrases.push_back("at 0: the fit's lower bound");
  if (f.atBound) phrases.push_back("at the fit's upper bound: faster than the frames can tell");
  if (f.fewMolecules && !f.fixed)
    phrases.push_back("few molecules made the step (" + std::to_string(rate.molecules) + " of at least " +
                      std::to_string(kFewMolecules) + ")");
  if (!matrix.converged) phrases.push_back("the fit did not converge");
  if (matrix.molecules > 0 && matrix.molecules < kLeastMoleculesForInterval && !f.fixed && !f.noTransition)
    phrases.push_back("too few molecules for an interval (" + std::to_string(matrix.molecules) + " of at least " +
                      std::to_string(kLeastMoleculesForInterval) + ")");
  if (matrix.failedReplicates > 0)
    phrases.push_back(std::to_string(matrix.failedReplicates) + " of " + std::to_string(matrix.replicates) +
                      " replicates failed");
  return phrases;
}

}  // namespace kinetics
