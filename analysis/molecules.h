// Which molecules of an idealisation stand in the rates: what each shows (its frames, how far
// apart the model's states lie in its own noise, the states its path visits) and the rule that
// keeps or rejects it by these.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct IdealisedTraces;

struct MoleculeMeasures {
  // Frames fitted: neither bleached nor blinking.
  std::size_t frames = 0;
  // The closest two levels of the model (its states' means, or the merged states' values) apart,
  // over the root mean square of the molecule's frames about the levels of their states on its
  // path: how many of its own noise widths the states it has to tell apart lie. Infinite for a
  // molecule without noise about its path, NaN for a model of one level, which has no two.
  double signalToNoise = 0;
  // The levels its path visits.
  int states = 0;
};

// What a molecule must show to be kept; a bound not given asks nothing.
struct MoleculeRule {
  std::optional<std::size_t> leastFrames;
  std::optional<double> leastSignalToNoise;
  std::optional<int> leastStates;

  bool Empty() const { return !leastFrames && !leastSignalToNoise && !leastStates; }
};

// "7.6": the signal-to-noise ratio to three digits; empty for a model of one level (NaN).
std::string SignalToNoiseText(const MoleculeMeasures& measures);

// The measures of every molecule of `idealised`, in its order.
std::vector<MoleculeMeasures> MeasureMolecules(const IdealisedTraces& idealised);

// Why `measures` fail `rule` ("120 frames, fewer than 200"; the first bound failed), empty when
// they pass. A signal-to-noise ratio of NaN fails every bound on it.
std::string RuleFailure(const MoleculeRule& rule, const MoleculeMeasures& measures);

