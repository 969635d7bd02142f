// A fitted class as a figure: its histogram of ln(rate per frame) as bars, the fitted Gaussian
// as a curve, the ln axis below and the same axis in s^-1 above, the counts at the side, and a
// heading with the class, its rate, the rate's 95 % interval and how many molecules and
// transitions the class holds.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <string>
#include <vector>

#include "export/figuredata.h"
#include "export/figurestyle.h"
#include "export/plotting.h"

inline constexpr double kClassFigureWidthMm = 85.0;
inline constexpr double kClassFigureHeightMm = 62.0;

// "1 → 2: 0.404 s⁻¹ (95 % CI 0.370–0.439)", the interval the bootstrap's: the rate rounded to
// `digits` significant digits, the interval's ends to as many decimals as the rate has, zeros
// kept ("12.3 (95 % CI 11.0–13.9)"). Without an interval, the rate alone.
std::string ClassHeading(const ClassFigureData& fitted, int digits = kDefaultHeadingDigits);

// "n = 40 molecules, 1,065 transitions": the reports with a record in the class and the
// transitions of those records; empty when neither is known (both 0).
std::string ClassSampleText(const ClassFigureData& fitted);

// The class's name as a file name takes it: "class-1-2".
std::string ClassFileStem(const ClassFigureData& fitted);

// The ln axis of the figure, in ln(rate per frame).
struct LnRange {
  double low;
  double high;
};

// Empty bins the data range keeps on either side of the occupied ones.
inline constexpr int kDataRangeMarginBins = 2;

// Fixed: the histogram's -10 ... 0. Data: from the lower edge of the first bin with a count
// above 0, less two bins, to the upper edge of the last, plus two bins, kept within -10 ... 0;
// the fixed range when no bin holds a count.
LnRange ClassLnRange(const ClassHistogram& histogram, HistogramRange range);

// The heading as drawn: its size, its lines, and the lines of room above the plot (at least
// as many as it has: a sheet gives every panel the room of its longest heading).
struct ClassHeadingLayout {
  double sizePt = kHeadingFontPt;
  std::vector<std::string> lines;
  std::size_t roomLines = 0;
  // What a reader must know of the rate (its flags) as a footnote under the plot, in the tick
  // labels' size, marked as the heading marks the rate; room for as many lines as it has (a
  // sheet: the room of its longest).
  std::vector<std::string> notes;
  std::size_t roomNotes = 0;
};

// The heading keeps this far from either side of its figure.
inline constexpr double kHeadingMarginPt = 4.0;

// The largest size, not above 10 pt and never below the tick labels' 8 pt, at which the
// heading and the sample line each fit on one line of a figure `width` wide.
double ClassHeadingSize(cairo_t* cr, const ClassFigureData& fitted, const ClassStyle& style, double width);

// The heading and the sample line at `sizePt`, each broken where it does not fit into a figure
// `width` wide: before the interval, after a comma. Room for as many lines as it has.
ClassHeadingLayout ClassHeadingAt(cairo_t* cr, const ClassFigureData& fitted, const ClassStyle& style, double sizePt,
                                  double width);

// The heading of a figure on its own, `width` wide: at ClassHeadingSize.
ClassHeadingLayout LayOutClassHeading(cairo_t* cr, const ClassFigureData& fitted, const ClassStyle& style,
                                      double width);

// The height that `lines` heading lines of `sizePt` take.
double HeadingHeight(double sizePt, std::size_t lines);
// The height that `lines` lines of a footnote take, with the gap above them; 0 for none.
double NotesHeight(std::size_t lines);

// The plot area of the histogram within `box`, below the heading and the rate axis.
Box PlaceClassPlot(cairo_t* cr, const Box& box, const ClassFigureData& fitted, const ClassHeadingLayout& heading);

void DrawClassFigure(cairo_t* cr, const Box& box, const ClassFigureData& fitted, const ClassStyle& style,
                     const ClassHeadingLayout& heading);
