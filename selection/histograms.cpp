#include "selection/histograms.h"

#include <cmath>

double g_histCounts[kMaxStates][kMaxStates][kHistogramBins];
double g_histCentres[kMaxStates][kMaxStates][kHistogramBins];

namespace {
constexpr double kBinWidth = 0.2;  // on the ln(rate per frame) axis, which starts at -10
}  // namespace

double HistogramBinCentre(int bin) { return bin * kBinWidth + -10.0 + 0.1; }

std::optional<int> HistogramBinOf(double rate) {
  const double k = (std::log(rate) + 10.0) / kBinWidth;
  // Anything in (-1, 50) truncates to 0 ... 49; -inf (rate 0), NaN (negative rate) and +inf
  // fail the test and are never converted.
  if (!(k > -1.0 && k < kHistogramBins)) return std::nullopt;
  return static_cast<int>(k);
}

void FillClassHistogram(const std::vector<double>& list, double (&counts)[kHistogramBins],
                        double (&centres)[kHistogramBins]) {
  for (int k = 0; k < kHistogramBins; ++k) {
    centres[k] = HistogramBinCentre(k);
    counts[k] = 0.0;
  }
  for (double t : list)
    if (const auto k = HistogramBinOf(t)) counts[*k] += 1.0;
}
