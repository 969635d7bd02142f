// The rate matrix of the dwell times with what each state's row rests on: DwellRateMatrix's
// rates, and per state the fit they take and whether BIC had to pass over a better fit whose
// term the data cannot show.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dwell/dwelltimes.h"

// What one state's row of the dwell rate matrix rests on.
struct DwellRowBasis {
  int state = 0;               // 0-based
  int chosen = -1;             // the fit its rates take, an index into the state's fits; -1: none
  double slowestShowable = 0;  // per frame: one exit over the longest trace (SlowestShowableRate)
  // A fit of lower BIC had a term at the fit's bound or slower than `slowestShowable`: dwells
  // the trace's end cut, longer than the rest, that no rate the data can show accounts for. The
  // row's rates come from a simpler fit, which gives those dwells its own terms: its exit rate
  // lies below that of the state's whole dwells.
  bool passedOver = false;
  // The fit BIC would choose had a rate on the fit's bound (a chance of 1e-12 a frame, which only
  // cut dwells hold up, or of 1 - 1e-9, every dwell one frame long): a rate the fit cannot give.
  // It is never taken; with one term only, the state has no rates.
  bool atBound = false;
};

struct DwellRatesWithBasis {
  std::vector<DwellRate> rates;      // as DwellRateMatrix gives them
  std::vector<DwellRowBasis> rows;   // state k at k
};

// DwellRateMatrix with the basis of every state's row; nothing when asked to stop.
std::optional<DwellRatesWithBasis> DwellRateMatrixWithBasis(const StateDwells& dwells, int states, CutDwells cut,
                                                            int replicates = kDefaultReplicates,
                                                            WorkProgress* progress = nullptr, int threads = 0,
                                                            int mostTerms = kMostExponentials, bool exactly = false);

// What a reader of the rates of state `row` must know of their basis, each a phrase without
// comma; empty when nothing.
std::vector<std::string> DwellRowFlags(const DwellRowBasis& row);
