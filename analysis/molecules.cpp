#include "analysis/molecules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>

#include "idealise/idealisedtable.h"

namespace {

// The levels of the model's states as the table gives them, increasing, each once.
std::vector<double> LevelsOf(const IdealisedTraces& idealised) {
  const HmmModel& model = idealised.idealisation.Model();
  std::set<double> levels;
  for (double mean : model.means) levels.insert(idealised.merged ? idealised.merged->ValueOf(mean) : mean);
  return {levels.begin(), levels.end()};
}

double ClosestGap(const std::vector<double>& levels) {
  double gap = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t k = 1; k < levels.size(); ++k)
    if (!(levels[k] - levels[k - 1] >= gap)) gap = levels[k] - levels[k - 1];
  return gap;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", value);
  return text;
}

}  // namespace

std::vector<MoleculeMeasures> MeasureMolecules(const IdealisedTraces& idealised) {
  const double gap = ClosestGap(LevelsOf(idealised));
  std::vector<MoleculeMeasures> measures;
  const std::size_t molecules = std::min(idealised.traces.size(), idealised.idealisation.paths.size());
  for (std::size_t m = 0; m < molecules; ++m) {
    const FretTrace& trace = idealised.traces[m];
    MoleculeMeasures one;
    one.frames = trace.fret.size();
    std::set<double> visited;
    double squares = 0;
    for (std::size_t t = 0; t < trace.fret.size(); ++t) {
      const double level = idealised.IdealisedValue(m, t);
      visited.insert(level);
      squares += (trace.fret[t] - level) * (trace.fret[t] - level);
    }
    one.states = static_cast<int>(visited.size());
    const double noise = one.frames > 0 ? std::sqrt(squares / static_cast<double>(one.frames)) : 0;
    one.signalToNoise = std::isnan(gap) ? gap : noise > 0 ? gap / noise : std::numeric_limits<double>::infinity();
    measures.push_back(one);
  }
  return measures;
}

std::string SignalToNoiseText(const MoleculeMeasures& measures) {
  return std::isnan(measures.signalToNoise) ? std::string() : Number(measures.signalToNoise);
}

std::string RuleFailure(const MoleculeRule& rule, const MoleculeMeasures& measures) {
  if (rule.leastFrames && measures.frames < *rule.leastFrames)
    return std::to_string(measures.frames) + " frames, fewer than " + std::to_string(*rule.leastFrames);
  if (rule.leastSignalToNoise && !(measures.signalToNoise >= *rule.leastSignalToNoise))
    return std::isnan(measures.signalToNoise)
               ? std::string("no signal-to-noise ratio: the model has one level")
               : "signal-to-noise " + SignalToNoiseText(measures) + ", below " + Number(*rule.leastSignalToNoise);
  if (rule.leastStates && measures.states < *rule.leastStates)
    return std::to_string(measures.states) + (measures.states == 1 ? " state" : " states") + " visited, fewer than " +
           std::to_string(*rule.leastStates);
  return {};
}

