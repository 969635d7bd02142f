#include "selection/panelpoints.h"

#include <cmath>

namespace {

constexpr int kBaseLine = 198;          // y of a count of 0
constexpr double kScaleHeight = 196.0;  // pixels from the base line up to the largest count (y = 2)
constexpr double kPixelsPerBin = 8.0;
// Coordinates beyond this many pixels are pulled in before they become integers. A point that
// far outside the 400 x 200 panel changes the visible part of a segment by less than a tenth
// of a pixel, and the line drawing stays short.
constexpr double kCoordinateLimit = 20000.0;

// trunc(value), clamped into the coordinate range; a non-number gives 0.
int PanelCoordinate(double value) {
  if (std::isnan(value)) return 0;
  if (value > kCoordinateLimit) value = kCoordinateLimit;
  if (value < -kCoordinateLimit) value = -kCoordinateLimit;
  return static_cast<int>(value);
}

int BinX(double centre) { return PanelCoordinate(((centre - kHistogramStart) / kBinWidth) * kPixelsPerBin); }

int HeightY(double value, double max) { return kBaseLine - PanelCoordinate((value / max) * kScaleHeight); }

}  // namespace

double HistogramMax(const ClassHistogram& histogram) {
  double max = 0.0;
  for (double count : histogram.counts)
    if (count > max) max = count;
  return max;
}

PanelPoints HistogramPoints(const ClassHistogram& histogram, double max) {
  PanelPoints points{};
  for (std::size_t k = 0; k < points.size(); ++k)
    points[k] = {BinX(histogram.centres[k]), HeightY(histogram.counts[k], max)};
  return points;
}

PanelPoints FittedCurvePoints(const ClassHistogram& histogram, const GaussianParams& fit, double max) {
  PanelPoints points{};
  for (std::size_t k = 0; k < points.size(); ++k) {
    const double c = histogram.centres[k];
    points[k] = {BinX(c), HeightY(GaussianAt(fit, c), max)};
  }
  return points;
}
