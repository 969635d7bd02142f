#include "selection/histograms.h"

#include <algorithm>
#include <cmath>

double g_histCounts[kMaxStates][kMaxStates][kHistogramBins];
double g_histCentres[kMaxStates][kMaxStates][kHistogramBins];

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

void ClearHistograms() {
  std::fill_n(&g_histCounts[0][0][0], kMaxStates * kMaxStates * kHistogramBins, 0.0);
  std::fill_n(&g_histCentres[0][0][0], kMaxStates * kMaxStates * kHistogramBins, 0.0);
}

ClassHistogram StoredHistogram(int from, int to) {
  ClassHistogram histogram;
  std::copy_n(g_histCounts[from][to], kHistogramBins, histogram.counts.begin());
  std::copy_n(g_histCentres[from][to], kHistogramBins, histogram.centres.begin());
  return histogram;
}

void StoreHistogram(int from, int to, const ClassHistogram& histogram) {
  std::copy(histogram.counts.begin(), histogram.counts.end(), g_histCounts[from][to]);
  std::copy(histogram.centres.begin(), histogram.centres.end(), g_histCentres[from][to]);
}
