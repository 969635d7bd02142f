// What the dwell times of a lock's states say, as tables: the fits of each state, and the rates
// of the rate matrix beside the Gaussian fits in the results.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dwell/dwelltimes.h"
#include "dwell/ratematrix.h"

// How the dwell times are fitted.
struct DwellOptions {
  std::optional<int> exponentials;  // exactly this many (1 ... kMostExponentials); none: BIC chooses
  CutDwells cut = CutDwells::kCensor;
};

// The dwell times of every state of a lock, and the rates they give.
struct DwellTimes {
  int states = 0;        // of the lock
  double exposure = 0;   // s per frame, what the rates are divided by
  DwellOptions options;
  std::vector<StateDwellTimes> perState;  // state k (0-based) at k
  std::vector<DwellRate> rates;           // per frame, i -> j with n_ij > 0, row-major
  std::vector<DwellRowBasis> rows;        // what state k's rates rest on, at k (empty: not known)
};

// Reads the option words of `dwell` after the state (`--exponentials 1|2|3|auto`, `--cut
// censor|drop`, each also as `--name=value`); nothing, and why in `error`, for others.
std::optional<DwellOptions> ParseDwellOptions(const std::vector<std::string>& words, std::string& error);

// "censor" or "drop".
std::string CutDwellsName(CutDwells cut);

// The table of fits: a row per exponential of every fit of the state `state` (0-based), or of
// every state; rates in s^-1, the dwells in the fits, the censored ones among them, those left
// out (cut at the trace's start, or dropped), the molecules, and how cut dwells were taken.
std::vector<std::string> DwellFitColumns();
std::vector<std::vector<std::string>> DwellFitRows(const DwellTimes& times, std::optional<int> state = {});

// What a reader of a dwell rate must know of it, each a phrase without comma.
std::vector<std::string> DwellRateFlags(const DwellTimes& times, const DwellRate& rate);
