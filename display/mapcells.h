// From values on the unit axis to map cells.
#pragma once

#include <optional>

#include "domain/analysis_types.h"

// The map row or column of a value: trunc(value x 200), or nothing when that falls outside
// 0 ... 200 (or the value is not a number).
inline std::optional<int> MapCellOf(double value) {
  const double cell = value * kCellsPerUnit;
  if (!(cell > -1.0 && cell < kMapCells)) return std::nullopt;
  return static_cast<int>(cell);
}

// trunc(value x 200) clamped into [lo, hi]; a non-number gives lo.
inline int ClampedCellOf(double value, int lo, int hi) {
  const double cell = value * kCellsPerUnit;
  if (!(cell > lo)) return lo;
  if (!(cell < hi)) return hi;
  return static_cast<int>(cell);
}
