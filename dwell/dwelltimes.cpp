#include "dwell/dwelltimes.h"

#include <algorithm>
#include <cmath>

#include "dwell/exponentials.h"
#include "selection/classlists.h"

namespace {

// Histograms are kept to at most this many bins: the width is the fewest whole frames that
// put the longest dwell into bin kMostBins - 1 or before.
constexpr std::int64_t kMostBins = 60;

// Dwells of one state, in table order, and whether each is cut.
struct StateLengths {
  std::vector<std::int64_t> lengths;
  std::vector<bool> cut;
  std::int64_t molecules = 0;
};

// Every dwell of the state (`fitted` false; cut at either end counts as cut), or those the fits
// take (true; cut meaning censored).
StateLengths LengthsOf(const StateDwells& dwells, int state, CutDwells cut, bool fitted) {
  StateLengths found;
  for (const std::vector<StateDwell>& molecule : dwells) {
    bool any = false;
    for (const StateDwell& dwell : molecule) {
      if (dwell.state != state) continue;
      any = true;
      const dwell::Entry entry = dwell::EntryOf(dwell, cut);
      if (fitted && entry == dwell::Entry::kLeftOut) continue;
      found.lengths.push_back(std::max<std::int64_t>(dwell.frames, 1));
      found.cut.push_back(fitted ? entry == dwell::Entry::kCensored : dwell.cutAtStart || dwell.cutAtEnd);
    }
    found.molecules += any ? 1 : 0;
  }
  return found;
}

DwellHistogram HistogramOf(const StateLengths& found) {
  DwellHistogram histogram;
  if (found.lengths.empty()) return histogram;
  const std::int64_t longest = *std::max_element(found.lengths.begin(), found.lengths.end());
  histogram.binFrames = std::max<std::int64_t>(1, (longest + kMostBins - 1) / kMostBins);
  const auto bins = static_cast<std::size_t>((longest + histogram.binFrames - 1) / histogram.binFrames);
  histogram.whole.assign(bins, 0);
  histogram.cut.assign(bins, 0);
  for (std::size_t d = 0; d < found.lengths.size(); ++d) {
    const auto bin = static_cast<std::size_t>((found.lengths[d] - 1) / histogram.binFrames);
    ++(found.cut[d] ? histogram.cut : histogram.whole)[bin];
  }
  return histogram;
}

// The product-limit estimate: at each length t at which d dwells ended, of the n still going
// at t (those of length t or more, cut ones included: a dwell cut after t frames lasted at
// least t), the share surviving is multiplied by 1 - d / n.
SurvivalCurve SurvivalOf(const dwell::LengthCounts& counts) {
  SurvivalCurve curve;
  curve.frames.push_back(0);
  curve.surviving.push_back(1.0);
  double atRisk = counts.Whole() + counts.Cut();
  double surviving = 1.0;
  for (std::size_t k = 0; k < counts.length.size(); ++k) {
    if (counts.whole[k] > 0 && atRisk > 0) {
      surviving *= 1.0 - counts.whole[k] / atRisk;
      curve.frames.push_back(counts.length[k]);
      curve.surviving.push_back(surviving);
    }
    atRisk -= counts.whole[k] + counts.cut[k];
  }
  return curve;
}

// Whether the molecule's dwells could be a trace: none of negative length, and no more frames
// in all than a trace holds, so that joining them cannot overflow the count.
bool FitsATrace(const MoleculeDwells& molecule) {
  std::int64_t total = 0;
  for (const LevelDwell& level : molecule.dwells) {
    if (level.frames < 0 || level.frames > kMostTraceFrames - total) return false;
    total += level.frames;
  }
  return true;
}

}  // namespace

double ExponentialFit::MeanRate() const {
  double meanDwell = 0;
  for (const ExponentialTerm& term : terms) {
    if (term.amplitude <= 0) continue;
    if (!(term.rate > 0)) return 0.0;
    meanDwell += term.amplitude / term.rate;
  }
  return meanDwell > 0 ? 1.0 / meanDwell : 0.0;
}

double FramesInState(const MoleculeDwells& molecule, const ClassRule& rule) {
  const std::vector<LevelDwell>& dwells = molecule.dwells;
  double frames = 0.0;
  for (const LevelDwell& dwell : dwells)
    if (StateOfLevel(dwell.level, rule) == rule.from) frames += static_cast<double>(dwell.frames);
  if (!dwells.empty() && StateOfLevel(dwells.back().level, rule) == rule.from) frames -= 1.0;
  return frames;
}

StateDwells DwellsInStates(const DwellTable& table, int states, const Cutoffs& cutoffs) {
  states = std::clamp(states, 0, kMaxStates);
  StateDwells all;
  all.reserve(table.size());
  for (const MoleculeDwells& molecule : table) {
    std::vector<StateDwell> found;
    if (!FitsATrace(molecule)) {
      all.emplace_back();
      continue;
    }
    bool open = false;        // whether found.back() may still grow
    bool afterGap = false;    // a level of no state came just before: the next dwell is cut there
    for (const LevelDwell& level : molecule.dwells) {
      const std::optional<int> state = StateOf(level.level, states, cutoffs);
      if (!state) {
        if (open) found.back().cutAtEnd = true;
        open = false;
        afterGap = true;
        continue;
      }
      if (open && found.back().state == *state) {
        found.back().frames += level.frames;
        found.back().cutAtEnd = level.cutAtEnd;
      } else {
        if (open) found.back().next = *state;
        found.push_back({*state, level.frames, level.cutAtStart || afterGap, level.cutAtEnd, -1});
        open = true;
      }
      afterGap = false;
      if (found.back().cutAtEnd) open = false;
    }
    all.push_back(std::move(found));
  }
  return all;
}

namespace dwell {

StateDwellTimes AnalyseStateFits(const StateDwells& dwells, int state, CutDwells cut, int mostTerms, bool exactly,
                                 bool intervals) {
  mostTerms = std::clamp(mostTerms, 1, kMostExponentials);
  StateDwellTimes result;
  result.state = state;
  const StateLengths all = LengthsOf(dwells, state, cut, false);
  const StateLengths found = LengthsOf(dwells, state, cut, true);
  result.molecules = all.molecules;
  result.histogram = HistogramOf(all);
  result.dwells = static_cast<std::int64_t>(found.lengths.size());
  result.cut = static_cast<std::int64_t>(std::count(found.cut.begin(), found.cut.end(), true));
  result.leftOut = static_cast<std::int64_t>(all.lengths.size()) - result.dwells;
  const dwell::LengthCounts counts = dwell::CountLengths(found.lengths, found.cut);
  result.survival = SurvivalOf(counts);

  dwell::MixtureFit previous;
  bool havePrevious = false;
  for (int terms = 1; terms <= mostTerms; ++terms) {
    const std::string trouble = dwell::FitTrouble(counts, terms);
    ExponentialFit shown;
    dwell::MixtureFit fit;
    if (trouble.empty()) {
      fit = dwell::FitMixture(counts, terms, havePrevious ? &previous : nullptr);
      shown = dwell::ToExponentialFit(fit, static_cast<double>(result.dwells));
      if (intervals && shown.converged && (!exactly || terms == mostTerms)) dwell::AddProfileIntervals(counts, fit, shown);
      previous = fit;
      havePrevious = true;
    } else {
      shown.trouble = trouble;
      shown.converged = false;
      havePrevious = false;
    }
    if (!exactly || terms == mostTerms) result.fits.push_back(std::move(shown));
  }
  // The same choice as the dwell rate matrix makes for this state's row, so that the table of
  // fits marks the fit whose rates the matrix reports.
  result.chosen = dwell::ChooseFit(result.fits, dwell::SlowestShowableRate(dwells)).chosen;
  return result;
}

}  // namespace dwell

StateDwellTimes AnalyseState(const StateDwells& dwells, int state, CutDwells cut, int mostTerms, bool exactly) {
  return dwell::AnalyseStateFits(dwells, state, cut, mostTerms, exactly, true);
}

std::optional<std::vector<double>> FrameCorrectedRates(std::span<const double> perFrame) {
  double total = 0;
  for (double p : perFrame) {
    if (!(p >= 0) || !std::isfinite(p)) return std::nullopt;
    total += p;
  }
  if (!(total < 1.0)) return std::nullopt;
  std::vector<double> rates(perFrame.begin(), perFrame.end());
  if (total == 0) return rates;
  // -ln(1 - P) / P, by log1p so that it tends to 1 without cancellation as P goes to 0.
  const double factor = -std::log1p(-total) / total;
  for (double& rate : rates) rate *= factor;
  return rates;
}
