// The figure of one state's dwell times: the histogram of the dwell lengths on a log count
// axis with the expected counts of every fit, and the survival curve with every fit's.
#pragma once

#include <string>

#include "dwell/dwellreport.h"
#include "export/figureformat.h"

inline constexpr double kDwellFigureWidthMm = 170.0;
inline constexpr double kDwellFigureHeightMm = 75.0;

// The figure of state `state` (0-based) in `format`; empty when it cannot be drawn (always in
// a build without figures).
std::string DwellFigureFile(FigureFormat format, const DwellTimes& times, int state);
// The same as PNG, for a window.
inline std::string DwellFigurePng(const DwellTimes& times, int state) {
  return DwellFigureFile(FigureFormat::Png, times, state);
}
