#include "import/states.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>

namespace {

// States found from the levels ("auto") are told apart by gaps wider than this many times the
// levels' spread within their states (below).
constexpr double kSeparation = 3.0;

// A summary names at most this many state values.
constexpr std::size_t kValuesShown = 10;

std::string Shortest(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The sum of squared deviations from their mean of values[first ... last].
double Scatter(const std::vector<double>& values, std::size_t first, std::size_t last) {
  double sum = 0;
  for (std::size_t k = first; k <= last; ++k) sum += values[k];
  const double mean = sum / static_cast<double>(last - first + 1);
  double scatter = 0;
  for (std::size_t k = first; k <= last; ++k) scatter += (values[k] - mean) * (values[k] - mean);
  return scatter;
}

// The upper bounds of the states the sorted levels `x` (every molecule's levels, pooled) make.
//
// For a threshold t, the states are the runs of levels joined by gaps x[k+1] - x[k] < t, and the
// spread within them is the pooled standard deviation
//   sigma(t) = sqrt( (1/n) sum over states c of sum over x in c of (x - mean_c)^2 ).
// The states are those of the largest t, among the gaps of at least kLevelTolerance, with
//   t > kSeparation sigma(t):
// the fewest states whose every gap to the next is wider than kSeparation times their own
// spread. Lowering t only splits states, so the first t that passes, going down, gives them. The
// smallest t, that makes every level its own state, is taken when none passes before it (sigma
// is then 0 but for the rounding of levels less than kLevelTolerance apart); with no gap at all
// the levels are one state. Each bound lies in the middle of the gap it stands for.
std::vector<double> FoundBounds(const std::vector<double>& x) {
  std::vector<std::size_t> gaps;  // k: the gap between x[k] and x[k + 1]
  for (std::size_t k = 0; k + 1 < x.size(); ++k)
    if (!(x[k + 1] - x[k] < kLevelTolerance)) gaps.push_back(k);
  const auto gap = [&](std::size_t k) { return x[k + 1] - x[k]; };
  std::stable_sort(gaps.begin(), gaps.end(), [&](std::size_t a, std::size_t b) { return gap(a) > gap(b); });

  std::set<std::size_t> splits;
  double scatter = x.empty() ? 0 : Scatter(x, 0, x.size() - 1);
  const auto n = static_cast<double>(x.size());
  for (std::size_t g = 0; g < gaps.size();) {
    const double t = gap(gaps[g]);
    // Every gap of this width splits at once.
    for (; g < gaps.size() && gap(gaps[g]) == t; ++g) {
      const std::size_t k = gaps[g];
      const auto after = splits.lower_bound(k);
      const std::size_t first = after == splits.begin() ? 0 : *std::prev(after) + 1;
      const std::size_t last = after == splits.end() ? x.size() - 1 : *after;
      scatter += Scatter(x, first, k) + Scatter(x, k + 1, last) - Scatter(x, first, last);
      splits.insert(k);
    }
    if (g == gaps.size() || t > kSeparation * std::sqrt(std::max(scatter, 0.0) / n)) {
      std::vector<double> bounds;
      for (const std::size_t k : splits) bounds.push_back(x[k] + (x[k + 1] - x[k]) / 2);
      return bounds;
    }
  }
  return {};
}

}  // namespace

std::optional<StatesOption> ParseStatesOption(const std::string& option, const std::string& text,
                                              std::string& error) {
  StatesOption states;
  if (text == "auto") {
    states.automatic = true;
    return states;
  }
  const std::string expected = option + " takes increasing bounds separated by commas, such as 0.3,0.6, or auto";
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string piece = text.substr(start, comma - start);
    double bound = 0;
    const auto [end, failed] = std::from_chars(piece.data(), piece.data() + piece.size(), bound);
    if (piece.empty() || failed != std::errc{} || end != piece.data() + piece.size() || !std::isfinite(bound)) {
      error = piece == text ? expected + ", not '" + text + "'"
                            : expected + "; '" + piece + "' in '" + text + "' is no number";
      return std::nullopt;
    }
    if (!states.bounds.empty() && !(bound > states.bounds.back())) {
      error = option + ": the bounds must increase, but in '" + text + "' " + piece + " follows " +
              Shortest(states.bounds.back());
      return std::nullopt;
    }
    states.bounds.push_back(bound);
    if (comma == text.size()) return states;
    start = comma + 1;
  }
}

std::size_t LevelStates::StateOf(double value) const {
  return static_cast<std::size_t>(std::lower_bound(bounds.begin(), bounds.end(), value) - bounds.begin());
}

LevelStates FindStates(std::span<const std::vector<Dwell>> molecules, const StatesOption& option) {
  std::vector<double> pooled;
  for (const std::vector<Dwell>& dwells : molecules) {
    const std::vector<double> levels = LevelsOf(dwells);
    pooled.insert(pooled.end(), levels.begin(), levels.end());
  }
  std::sort(pooled.begin(), pooled.end());

  LevelStates states;
  for (std::size_t k = 0; k < pooled.size(); ++k)
    if (k == 0 || !(pooled[k] - pooled[k - 1] < kLevelTolerance)) ++states.levels;
  states.bounds = option.automatic ? FoundBounds(pooled) : option.bounds;

  std::vector<double> sums(states.bounds.size() + 1, 0.0);
  std::vector<std::int64_t> frames(sums.size(), 0);
  for (const std::vector<Dwell>& dwells : molecules)
    for (const Dwell& dwell : dwells) {
      const std::size_t s = states.StateOf(dwell.value);
      sums[s] += dwell.value * static_cast<double>(dwell.frames);
      frames[s] += dwell.frames;
    }
  for (std::size_t s = 0; s < sums.size(); ++s) {
    states.values.push_back(frames[s] > 0 ? sums[s] / static_cast<double>(frames[s])
                                          : std::numeric_limits<double>::quiet_NaN());
    if (frames[s] > 0) ++states.states;
  }
  return states;
}

std::vector<Dwell> InStates(std::span<const Dwell> dwells, const LevelStates& states) {
  std::vector<Dwell> merged;
  for (const Dwell& dwell : dwells) AppendFrames(merged, states.ValueOf(dwell.value), dwell.frames);
  return merged;
}

std::string StatesText(const LevelStates& states) {
  std::string text = std::to_string(states.levels) + (states.levels == 1 ? " level became " : " levels became ") +
                     std::to_string(states.states) + (states.states == 1 ? " state (" : " states (");
  std::size_t shown = 0;
  for (const double value : states.values) {
    if (std::isnan(value)) continue;
    if (shown == kValuesShown) {
      text += ", ...";
      break;
    }
    if (shown++ > 0) text += ", ";
    text += Shortest(value);
  }
  return text + ")";
}
