#include "export/mapcolours.h"

#include <algorithm>
#include <cmath>

#include "reports/densitygrid.h"

namespace {

// Anchor colours of the perceptual map, evenly spaced from entry 0 to entry 255.
constexpr int kAnchors = 11;
constexpr ColorEntry kPerceptualAnchors[kAnchors] = {
    {68, 1, 84},    {72, 36, 117},  {65, 68, 135},  {53, 95, 141},  {42, 120, 142}, {33, 145, 140},
    {34, 168, 132}, {68, 191, 112}, {122, 209, 81}, {189, 223, 38}, {253, 231, 37}};
constexpr int kLastEntry = kColorEntries - 1;

// The share of the log scale at a density: 0 at the floor, 1 at the maximum.
double LogShare(double value, double maximum) {
  return (kLogScaleDecades + std::log10(value / maximum)) / kLogScaleDecades;
}

}  // namespace

int ScaledColourIndex(double value, double maximum, ColourScale scale) {
  if (scale == ColourScale::Linear) return ColorIndexOf(value, maximum);
  if (!(maximum > 0) || !(value > 0)) return 0;
  // In this order, so that a tenth of the maximum comes out as 510 / 3, exactly 170.
  const double index = kLastEntry * (kLogScaleDecades + std::log10(value / maximum)) / kLogScaleDecades;
  if (!(index > 0)) return 0;
  if (index >= kLastEntry) return kLastEntry;
  return static_cast<int>(index);
}

double ColourBarShare(double value, double maximum, ColourScale scale) {
  if (!(maximum > 0) || !(value > 0)) return 0.0;
  const double share = scale == ColourScale::Linear ? value / maximum : LogShare(value, maximum);
  return std::isnan(share) ? 0.0 : std::clamp(share, 0.0, 1.0);
}

std::vector<double> LogBarDecades(double maximum) {
  std::vector<double> decades;
  if (!(maximum > 0) || !std::isfinite(maximum)) return decades;
  const double top = std::floor(std::log10(maximum));
  for (double k = std::ceil(std::log10(maximum) - kLogScaleDecades); k <= top; k += 1.0)
    decades.push_back(std::pow(10.0, k));
  return decades;
}

ColorTable PerceptualColours() {
  ColorTable table{};
  constexpr int kSegments = kAnchors - 1;
  for (int e = 0; e < kColorEntries; ++e) {
    // Entry e lies e x 10 / 255 anchors along: segment `segment`, `within` of the way.
    const int scaled = e * kSegments;
    const int segment = std::min(scaled / kLastEntry, kSegments - 1);
    const double within = static_cast<double>(scaled - segment * kLastEntry) / kLastEntry;
    const ColorEntry& lo = kPerceptualAnchors[segment];
    const ColorEntry& hi = kPerceptualAnchors[segment + 1];
    const auto between = [within](std::uint32_t a, std::uint32_t b) {
      return static_cast<std::uint32_t>(std::lround(a + (static_cast<double>(b) - a) * within));
    };
    table[static_cast<std::size_t>(e)] = {between(lo.red, hi.red), between(lo.green, hi.green), between(lo.blue, hi.blue)};
  }
  return table;
}
