// The class histograms of ln(rate per frame): the pure routine that bins one class list.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "domain/analysis_types.h"

struct ClassHistogram {
  std::array<double, kHistogramBins> counts{};
  std::array<double, kHistogramBins> centres{};
};

// Centre of bin k on the ln(rate per frame) axis: k x 0.2, plus -10.0, plus 0.1, in that order.
double HistogramBinCentre(int bin);

// The bin of a rate per frame t: trunc((ln t + 10) / 0.2) when that is 0 ... 49. Since the
// truncation is toward zero, bin 0 also takes ln t in (-10.2, -10). Rates of 1 or more, rates
// that are zero or negative and non-numbers fall in no bin.
std::optional<int> HistogramBinOf(double rate);

// The histogram of one class list, the values counted in list order.
ClassHistogram HistogramOf(const std::vector<double>& list);
