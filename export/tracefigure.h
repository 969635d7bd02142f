// The figure of one molecule's raw and idealised trace: its FRET value per frame kept, the
// idealised value of its most likely path, and the levels of the chosen model; with donor and
// acceptor, their intensities above it over every frame read, the bleached tail and the blinks
// shaded.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "export/figureformat.h"

struct IdealisedTraces;

inline constexpr double kTraceFigureWidthMm = 170.0;
inline constexpr double kTraceFigureHeightMm = 70.0;
// With donor and acceptor: the intensities' panel above the FRET panel.
inline constexpr double kChannelsFigureHeightMm = 110.0;

struct TraceFigureView {
  // The frames shown, first to last; every frame of the molecule when none.
  std::optional<std::pair<double, double>> frames;
  // The molecule is left out of the rates: the heading says so.
  bool rejected = false;
};

// The figure of molecule `molecule` (0-based) in `format`; empty when it cannot be drawn (always
// in a build without figures).
std::string TraceFigureFile(FigureFormat format, const IdealisedTraces& idealised, std::size_t molecule,
                            const TraceFigureView& view = {});
// The same as PNG, for a window.
inline std::string TraceFigurePng(const IdealisedTraces& idealised, std::size_t molecule,
                                  const TraceFigureView& view = {}) {
  return TraceFigureFile(FigureFormat::Png, idealised, molecule, view);
}
