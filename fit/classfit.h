// What the fit of one class gave, all of it in one place: the histogram it was made on, the
// Gaussian, how the class was built, the exposure its rate was divided by, the rate and how
// sure it is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "domain/analysis_types.h"
#include "fit/bootstrap.h"
#include "fit/fitparams.h"
#include "selection/classlists.h"
#include "selection/histograms.h"

struct ClassFit {
  ClassHistogram histogram;      // the class's histogram when it was fitted
  GaussianParams gaussian{};     // the minimum the minimiser returned
  GaussianParams lastEvaluated{};  // the last point it evaluated, which the panel draws
  ClassRule rule;                // how the class's list was built
  double exposureTime = 0;       // s per frame, what the rate was divided by
  double rate = 0;               // s^-1
  double stdev = 0;              // s^-1
  std::int32_t transitions = 0;  // entries of the class list
  ClassUncertainty uncertainty;
};

// Per class [from][to], 0-based; empty where nothing was fitted.
using ClassFits = std::array<std::array<std::optional<ClassFit>, kMaxStates>, kMaxStates>;
