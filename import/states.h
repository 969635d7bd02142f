// Levels merged into states: an idealisation often gives more levels than a molecule has states
// (two levels a little apart for one state), and a step between two levels of one state is no
// transition. The states are the same for every molecule of an import.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "import/counting.h"

// How the levels become states: by upper bounds, or found from the levels themselves.
struct StatesOption {
  bool automatic = false;
  std::vector<double> bounds;  // strictly increasing; empty when automatic
};

// "auto", or increasing finite bounds separated by commas ("0.3,0.6"); nothing, and a message
// naming `option`, for anything else.
std::optional<StatesOption> ParseStatesOption(const std::string& option, const std::string& text,
                                              std::string& error);

// The states of an import. A value v is in state s, the first whose bound is >= v; values above
// the last bound are in one more state above it.
struct LevelStates {
  std::vector<double> bounds;  // the upper bound of each state but the last
  std::vector<double> values;  // each state's value: the mean of its frames; NaN for a state without frames
  std::size_t levels = 0;      // the distinct levels of all molecules (values closer than kLevelTolerance are one)
  std::size_t states = 0;      // the states that have frames

  std::size_t StateOf(double value) const;
  double ValueOf(double value) const { return values[StateOf(value)]; }
};

// The states the levels of `molecules` (each one's dwells in frame order) fall into: the bounds
// `option` gives, or those it finds. A state's value is the mean of the values of its frames, over
// all molecules, each frame counted once.
LevelStates FindStates(std::span<const std::vector<Dwell>> molecules, const StatesOption& option);

// A molecule's dwells at the values of their states: back-to-back dwells of one state are one.
std::vector<Dwell> InStates(std::span<const Dwell> dwells, const LevelStates& states);

// "6 levels became 3 states (0.2, 0.5, 0.8)"
std::string StatesText(const LevelStates& states);
