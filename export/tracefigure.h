// The figure of one molecule's raw and idealised trace: its FRET value per frame kept, the
// idealised value of its most likely path, and the levels of the chosen model.
#pragma once

#include <cstddef>
#include <string>

#include "export/figureformat.h"

struct IdealisedTraces;

inline constexpr double kTraceFigureWidthMm = 170.0;
inline constexpr double kTraceFigureHeightMm = 70.0;

// The figure of molecule `molecule` (0-based) in `format`; empty when it cannot be drawn (always
// in a build without figures).
std::string TraceFigureFile(FigureFormat format, const IdealisedTraces& idealised, std::size_t molecule);
// The same as PNG, for a window.
inline std::string TraceFigurePng(const IdealisedTraces& idealised, std::size_t molecule) {
  return TraceFigureFile(FigureFormat::Png, idealised, molecule);
}
