// A fitted class as a figure: its histogram of ln(rate per frame) as bars, the fitted Gaussian
// as a curve, the ln axis below and the same axis in s^-1 above, the counts at the side, and a
// heading with the class, its rate and the rate's 95 % interval.
#pragma once

#include <cairo.h>

#include <string>

#include "export/figuredata.h"
#include "export/plotting.h"

inline constexpr double kClassFigureWidthMm = 85.0;
inline constexpr double kClassFigureHeightMm = 62.0;

// "1 → 2: 0.254 s⁻¹ (95 % CI 0.231–0.279)", the interval the bootstrap's; three significant
// digits.
std::string ClassHeading(const ClassFigureData& fitted);

// The class's name as a file name takes it: "class-1-2".
std::string ClassFileStem(const ClassFigureData& fitted);

// The plot area of the histogram within `box`, below the heading and the rate axis.
Box PlaceClassPlot(cairo_t* cr, const Box& box, const ClassFigureData& fitted);

// The size of the heading, at most 10 pt, at which it fits into a figure `width` wide.
double ClassHeadingSize(cairo_t* cr, const ClassFigureData& fitted, double width);

// The figure with its heading at `headingPt` (a sheet gives all its panels the same size).
void DrawClassFigure(cairo_t* cr, const Box& box, const ClassFigureData& fitted, double headingPt);
