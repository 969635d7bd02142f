// The continuous-time simulation (--continuous): each molecule is a Markov chain in continuous
// time with the rate constants k_ij (s^-1), seen by a camera whose frames last T (--exposure).
//
// The chain, as its definition gives it (the Gillespie construction): in state i it waits an
// exponential time of rate k_i = sum_j k_ij, drawn as -ln(u) / k_i with u uniform in (0, 1), then
// steps to j with the chance k_ij / k_i, and waits afresh. Every step happens, also several in
// one frame and a step away and back within a frame. A frame records the state at its start
// (time f T for frame f, from 0): what a frame shows is the state the molecule was in as it
// began. The molecule's chain has run long before the recording: its first state is drawn from
// the stationary distribution pi of its rates (pi Q = 0, sum pi = 1, solved here by Gaussian
// elimination; the uniform distribution where the chain has no single one). The dye bleaches at
// an exponential time of mean --bleach frames; the trace holds the frames that end before it
// (at least 2, at most --frames), and a raw trace shows the backgrounds alone after it.
// Molecules differ with --scatter W: each k_ij is multiplied by exp(W e), e standard normal,
// drawn anew for every molecule.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tools/simulate/arithmetic.h"
#include "tools/simulate/simulation.h"

namespace simulate {

namespace {

// No rate of --rates is larger: a million steps a second.
constexpr double kMostRate = 1e6;
// A pivot of the stationary equations below this leaves them without a single solution.
constexpr double kLeastPivot = 1e-300;

void appendGeneral(std::string& out, double value, int digits) {
  char text[64];
  out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits).ptr);
}

void appendInteger(std::string& out, long value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// pi with pi Q = 0 and sum pi = 1: the equations Q^T pi = 0 with the last one replaced by the sum.
std::vector<double> stationary(const std::vector<double>& rates, int n) {
  const auto size = static_cast<std::size_t>(n);
  std::vector<std::vector<double>> a(size, std::vector<double>(size + 1, 0.0));
  for (std::size_t j = 0; j < size; ++j)
    for (std::size_t i = 0; i < size; ++i) {
      if (i == j) continue;
      a[j][i] = rates[i * size + j];
      a[i][i] -= rates[i * size + j];
    }
  for (std::size_t i = 0; i <= size; ++i) a[size - 1][i] = 1.0;
  const std::vector<double> uniform(size, 1.0 / static_cast<double>(n));
  for (std::size_t c = 0; c < size; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < size; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    if (!(std::fabs(a[pivot][c]) > kLeastPivot)) return uniform;
    std::swap(a[c], a[pivot]);
    for (std::size_t r = 0; r < size; ++r) {
      if (r == c) continue;
      const double factor = a[r][c] / a[c][c];
      for (std::size_t k = c; k <= size; ++k) a[r][k] -= factor * a[c][k];
    }
  }
  std::vector<double> pi(size);
  for (std::size_t i = 0; i < size; ++i) {
    pi[i] = a[i][size] / a[i][i];
    if (!(pi[i] >= -1e-12)) return uniform;
    pi[i] = std::max(pi[i], 0.0);
  }
  return pi;
}

// An index drawn with the weights `weights` (their sum `total`, above 0).
int drawWeighted(Random& random, const double* weights, int n, double total) {
  double u = random.uniform() * total;
  int last = 0;
  for (int k = 0; k < n; ++k) {
    if (!(weights[k] > 0)) continue;
    last = k;
    u -= weights[k];
    if (u < 0.0) return k;
  }
  return last;
}

}  // namespace

std::vector<double> parseRates(const std::string& text, int states) {
  const auto n = static_cast<std::size_t>(states);
  std::vector<double> rates(n * n, 0.0);
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const std::size_t dash = item.find('-'), equals = item.find('=');
    int from = 0, to = 0;
    double rate = 0;
    const char* begin = item.data();
    const char* end = item.data() + item.size();
    bool good = dash != std::string::npos && equals != std::string::npos && dash < equals;
    good = good && std::from_chars(begin, begin + dash, from).ptr == begin + dash;
    good = good && std::from_chars(begin + dash + 1, begin + equals, to).ptr == begin + equals;
    good = good && std::from_chars(begin + equals + 1, end, rate).ptr == end;
    if (!good) usageError("--rates: '" + item + "' is not I-J=RATE");
    if (from < 1 || from > states || to < 1 || to > states || from == to)
      usageError("--rates: '" + item + "' is not a path between two of the " + std::to_string(states) + " states");
    if (!(rate >= 0.0 && rate <= kMostRate)) usageError("--rates: a rate must lie in [0, 1e6] s^-1");
    rates[static_cast<std::size_t>(from - 1) * n + static_cast<std::size_t>(to - 1)] = rate;
    start = comma + 1;
  }
  return rates;
}

ContinuousPath simulateContinuous(const Model& model, Random& random) {
  const Options& options = model.options;
  const int n = model.stateCount();
  const auto size = static_cast<std::size_t>(n);
  ContinuousPath path;
  path.rates = model.rates;
  for (std::size_t i = 0; i < size; ++i)
    for (std::size_t j = 0; j < size; ++j) {
      if (i == j) continue;
      const double factor = portableExp(options.scatter * random.normal());
      path.rates[i * size + j] *= factor;
    }
  std::vector<double> exits(size, 0.0);
  for (std::size_t i = 0; i < size; ++i)
    for (std::size_t j = 0; j < size; ++j)
      if (i != j) exits[i] += path.rates[i * size + j];

  const double T = options.exposure;
  const double bleachedAt = options.bleach > 0 ? -options.bleach * T * portableLog(random.uniform())
                                               : std::numeric_limits<double>::infinity();
  const double lit = std::floor(bleachedAt / T);
  const long frames = std::clamp(lit < static_cast<double>(options.frames) ? static_cast<long>(lit) : options.frames,
                                 2L, options.frames);
  const std::vector<double> pi = stationary(path.rates, n);
  int state = drawWeighted(random, pi.data(), n, 1.0);
  auto wait = [&](int s) {
    const double exit = exits[static_cast<std::size_t>(s)];
    return exit > 0 ? -portableLog(random.uniform()) / exit : std::numeric_limits<double>::infinity();
  };
  double jumpAt = wait(state);
  path.frames.reserve(static_cast<std::size_t>(frames));
  for (long f = 0; f < frames; ++f) {
    path.frames.push_back(state);
    const double frameEnd = static_cast<double>(f + 1) * T;
    while (jumpAt < frameEnd) {
      const auto row = static_cast<std::size_t>(state) * size;
      state = drawWeighted(random, path.rates.data() + row, n, exits[static_cast<std::size_t>(state)]);
      ++path.steps;
      jumpAt += wait(state);
    }
  }
  return path;
}

std::string continuousTrace(const Model& model, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const ContinuousPath path = simulateContinuous(model, random);
  std::vector<int> all(static_cast<std::size_t>(model.stateCount()));
  for (std::size_t s = 0; s < all.size(); ++s) all[s] = static_cast<int>(s);
  const std::vector<double> observed = observeStates(model, all, random);
  std::vector<std::string> idealised;
  for (const double value : observed) {
    idealised.emplace_back(" ");
    appendGeneral(idealised.back(), value, kReportDigits.values);
    idealised.back() += '\n';
  }
  std::string text = "# varnel-simulate idealised trace of a continuous-time chain\n# seed " +
                     std::to_string(options.seed) + ", molecule " + std::to_string(molecule) +
                     "\nframe signal idealised\n";
  text.reserve(text.size() + 32 * path.frames.size());
  for (std::size_t f = 0; f < path.frames.size(); ++f) {
    const auto s = static_cast<std::size_t>(path.frames[f]);
    appendInteger(text, static_cast<long>(f + 1));
    text += ' ';
    appendGeneral(text, observed[s] + options.signalNoise * random.normal(), 6);
    text += idealised[s];
  }
  return text;
}

std::string continuousRawTrace(const Model& model, const RawTruth& truth, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const ContinuousPath path = simulateContinuous(model, random);
  std::string text = rawTraceHeader(options, molecule);
  text.reserve(text.size() + 32 * static_cast<std::size_t>(options.frames));
  for (long frame = 1; frame <= options.frames; ++frame) {
    const auto f = static_cast<std::size_t>(frame - 1);
    appendRawFrame(text, options, truth, random, frame, f < path.frames.size() ? path.frames[f] : -1);
  }
  return text;
}

std::string continuousDwells(const Model& model, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const ContinuousPath path = simulateContinuous(model, random);
  std::string text;
  for (std::size_t f = 0; f < path.frames.size();) {
    std::size_t end = f;
    while (end < path.frames.size() && path.frames[end] == path.frames[f]) ++end;
    appendInteger(text, molecule);
    text += ' ';
    appendGeneral(text, options.states[static_cast<std::size_t>(path.frames[f])], kReportDigits.values);
    text += ' ';
    appendInteger(text, static_cast<long>(end - f));
    text += '\n';
    f = end;
  }
  return text;
}

}  // namespace simulate
