// The per-class histograms of ln(rate per frame) and the routine that fills one of them.
#pragma once

#include <optional>
#include <vector>

#include "app/analysis_types.h"

// Counts and bin centres per class [from][to][bin], 0-based states. Written by "Lock cutoffs"
// and "Set Circle", read by the histogram panel and the fit.
extern double g_histCounts[kMaxStates][kMaxStates][kHistogramBins];
extern double g_histCentres[kMaxStates][kMaxStates][kHistogramBins];

// Centre of bin k on the ln(rate per frame) axis: k x 0.2, plus -10.0, plus 0.1, in that order.
double HistogramBinCentre(int bin);

// The bin of a rate per frame t: trunc((ln t + 10) / 0.2) when that is 0 ... 49. Since the
// truncation is toward zero, bin 0 also takes ln t in (-10.2, -10). Rates of 1 or more, rates
// that are zero or negative and non-numbers fall in no bin.
std::optional<int> HistogramBinOf(double rate);

// Sets the centres of one class's histogram and counts the values of its list into it.
void FillClassHistogram(const std::vector<double>& list, double (&counts)[kHistogramBins],
                        double (&centres)[kHistogramBins]);
