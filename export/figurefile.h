// One figure in one file format: the page size, and the bytes of an SVG, PDF or PNG file that
// a drawing function fills. Cairo draws all three from the same drawing calls.
#pragma once

#include <cairo.h>

#include <functional>
#include <string>

#include "export/figureformat.h"

// Points (1/72 inch, Cairo's unit on the vector surfaces) per millimetre.
inline constexpr double kPointsPerMm = 72.0 / 25.4;
// The raster figures' resolution, as journals ask for line art with half-tones.
inline constexpr double kPngDotsPerInch = 300.0;

struct FigureSize {
  double widthMm;
  double heightMm;
  double WidthPt() const { return widthMm * kPointsPerMm; }
  double HeightPt() const { return heightMm * kPointsPerMm; }
};

// The pixels a length of `mm` takes at 300 dots per inch, rounded.
int PixelsAt300Dpi(double mm);

// Draws the figure on a page of the given width and height in points, white already.
using FigurePainter = std::function<void(cairo_t* cr, double widthPt, double heightPt)>;

// What a reader's tools show of a figure besides the drawing: the SVG's <title> and <desc>,
// the PDF's title.
struct FigureText {
  std::string title;
  std::string description;
};

// The file's bytes: an SVG of the page size in points, a one-page PDF, or an RGB PNG of
// PixelsAt300Dpi of both sides that says it is 300 dots per inch. Empty when Cairo failed.
std::string RenderFigure(FigureFormat format, FigureSize size, const FigureText& text, const FigurePainter& paint);
