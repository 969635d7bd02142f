#include "selection/histograms.h"

#include <algorithm>
#include <cmath>

double HistogramBinCentre(int bin) { return bin * kBinWidth + kHistogramStart + kHalfBin; }

std::optional<int> HistogramBinOf(double rate) {
  const double k = (std::log(rate) - kHistogramStart) / kBinWidth;
  // Anything in (-1, 50) truncates to 0 ... 49; -inf (rate 0), NaN (negative rate) and +inf
  // fail the test and are never converted.
  if (!(k > -1.0 && k < kHistogramBins)) return std::nullopt;
  return static_cast<int>(k);
}

ClassHistogram HistogramOf(const std::vector<double>& list) {
  ClassHistogram histogram;
  for (int k = 0; k < kHistogramBins; ++k) histogram.centres[static_cast<std::size_t>(k)] = HistogramBinCentre(k);
  for (double t : list)
    if (const auto k = HistogramBinOf(t)) histogram.counts[static_cast<std::size_t>(*k)] += 1.0;
  return histogram;
}
