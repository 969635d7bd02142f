// The transition density map as a figure: the density in the colours of the colour table (or
// the perceptual ones) on a linear or log scale, the axes, a colour bar with its scale and
// unit, the cutoff lines and the shown class's circle.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "export/figuredata.h"
#include "export/figurestyle.h"
#include "export/plotting.h"

// The map on a page of its own: one panel of a journal column.
inline constexpr double kMapFigureWidthMm = 85.0;
inline constexpr double kMapFigureHeightMm = 66.0;

// Both axes run over the cells' whole extent: cell k is centred on the value k x 0.005, so
// the first and the last reach half a cell beyond 0 and 1.
inline constexpr double kMapAxisLow = -kCellStep / 2;
inline constexpr double kMapAxisHigh = 1.0 + kCellStep / 2;

struct MapLayout {
  Box plot;       // a square: the 201 x 201 cells
  Box colourBar;  // entry 0 at its bottom, 254 at its top
  std::vector<std::string> barTitle;  // its lines, beside the bar's labels
};

// What a cell of the grid holds, as the colour bar names it: "Transitions, Gaussian-weighted"
// (each record's transitions spread as a spot of height 1 over the cells around its point),
// or "Records, Gaussian-weighted" when the spots were not weighted.
std::string DensityName(const MapFigureData& map);

// The spacing of the value axes' labelled ticks on a plot of side `sidePt`: 0.2 where their
// labels keep clear of one another, otherwise 0.5, or 1 on a very small plot.
double ValueTickStep(cairo_t* cr, double sidePt);

// Where the map goes in `box`: the plot as large a square as leaves room for the labels, the
// colour bar's title broken into as many lines as the bar's height needs.
MapLayout PlaceMap(cairo_t* cr, const Box& box, const MapFigureData& map, const MapStyle& style = {});

void DrawMapFigure(cairo_t* cr, const Box& box, const MapFigureData& map, const MapStyle& style = {});
