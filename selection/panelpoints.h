// Where the histogram panel draws: the 400 x 200 pixel points of a class histogram and of a
// fitted curve. The ln(rate per frame) axis runs from -10 at x = 0 to 0 at x = 400, 8 pixels a
// bin; counts from 0 at y = 198 up to the histogram's largest count at y = 2.
#pragma once

#include <array>

#include "fit/fitparams.h"
#include "platform/types.h"
#include "selection/histograms.h"

using PanelPoints = std::array<POINT, kHistogramBins>;

// The largest count; 0 for an empty histogram.
double HistogramMax(const ClassHistogram& histogram);

// One point per bin: x from the bin's stored centre (8k + 4 for most bins, 8k + 3 for those
// whose centre lies just below its decimal value), y from its count scaled by `max`. With
// max 0 every count is 0 / 0, which lies on the base line.
PanelPoints HistogramPoints(const ClassHistogram& histogram, double max);

// The Gaussian at every bin centre, scaled by the histogram's `max` as the counts are.
PanelPoints FittedCurvePoints(const ClassHistogram& histogram, const GaussianParams& fit, double max);
