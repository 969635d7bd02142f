// The transition density map as a figure: the density in the colours of the colour table, the
// axes, a colour bar with its scale, the cutoff lines and the shown class's circle.
#pragma once

#include <cairo.h>

#include "export/figuredata.h"
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
};

// Where the map goes in `box`: the plot as large a square as leaves room for the labels.
MapLayout PlaceMap(cairo_t* cr, const Box& box, const MapFigureData& map);

void DrawMapFigure(cairo_t* cr, const Box& box, const MapFigureData& map, MapOrientation orientation);
