// What every figure draws with: text in the figure font, axes with ticks and labels, and the
// steps of readable tick values. Lengths are in points.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "platform/types.h"

// Font sizes of a journal figure: tick labels, axis titles, the figure's heading.
inline constexpr double kTickFontPt = 8.0;
inline constexpr double kAxisFontPt = 9.0;
inline constexpr double kHeadingFontPt = 10.0;
// Ticks point outwards this far; their labels keep this gap to them.
inline constexpr double kTickPt = 3.0;
inline constexpr double kLabelGapPt = 2.0;
// Between tick labels and their axis title; the line an axis title takes.
inline constexpr double kTitleGapPt = 4.0;
inline constexpr double kTitleLinePt = kAxisFontPt * 1.2;
// Axis lines, ticks and frames; the data's lines.
inline constexpr double kAxisLinePt = 0.6;
inline constexpr double kDataLinePt = 1.0;

// The colours of every figure's histograms and text, and the hairline round a bar.
inline constexpr Pixel kBarFill = 0x9ECAE1;
inline constexpr Pixel kBarEdge = 0x3182BD;
inline constexpr double kBarEdgePt = 0.3;
inline constexpr Pixel kInk = 0x000000;

// s^-1 as axis titles and headings write it.
inline constexpr char kPerSecond[] = "s\xE2\x81\xBB\xC2\xB9";

// The family that the build installs (fonts-dejavu-core); fontconfig substitutes the nearest
// font when it is missing.
inline constexpr char kFigureFont[] = "DejaVu Sans";

struct Box {
  double x;
  double y;
  double width;
  double height;
  double Right() const { return x + width; }
  double Bottom() const { return y + height; }
};

void SetFont(cairo_t* cr, double sizePt, bool bold = false);
void SetColour(cairo_t* cr, Pixel rgb);

// How text sits at its point: `across` 0 at its left end, 0.5 centred, 1 at its right end;
// `down` 0 with the top of its digits there, 0.5 centred on them, 1 on its base line.
struct Anchor {
  double across;
  double down;
};

double TextWidth(cairo_t* cr, const std::string& text);
// The height of the digits in the current font: what labels are centred on.
double DigitHeight(cairo_t* cr);
// Draws UTF-8 text in the current font and colour, turned by `angle` radians (counter-clockwise
// on the page for a negative angle) about its anchor point.
void DrawText(cairo_t* cr, const std::string& text, double x, double y, Anchor anchor, double angle = 0.0);
// The largest font size, not above `sizePt`, at which `text` fits into `width`.
double FittingFontSize(cairo_t* cr, const std::string& text, double sizePt, double width, bool bold = false);

// Readable tick values over [low, high]: multiples of 1, 2 or 5 times a power of ten, at most
// `most` of them. Nothing for an empty or non-finite range.
std::vector<double> NiceTicks(double low, double high, int most);
// The smallest such tick at or above `value`: the top of an axis that shows it.
double NiceCeiling(double value);

// A number as a tick label: at most `digits` significant digits, no trailing zeros, and the
// minus sign of typesetting.
std::string TickText(double value, int digits = 4);
// The same with exactly `decimals` digits after the point.
std::string FixedText(double value, int decimals);
// The decimals that `digits` significant digits of `value` take once rounded: 3 for 0.404446,
// 1 for 12.3456, 2 for 0.9996 (which rounds to 1.00), -1 for 1234.5 (1230).
int DecimalsOf(double value, int digits);
// `value` with `decimals` decimals; a negative number of decimals rounds to tens, hundreds...
// Numbers beyond fixed notation (not finite, 1e15 or more, over 15 decimals) are written as tick
// labels with `digits` digits.
std::string AtDecimals(double value, int decimals, int digits);

// A horizontal axis along y from x0 to x1: ticks (down when `below`, otherwise up) at the
// given positions and their labels.
struct AxisTick {
  double at;  // the position on the page
  std::string label;
  bool minor = false;  // a short tick without label
};
void DrawHorizontalTicks(cairo_t* cr, double y, const std::vector<AxisTick>& ticks, bool below);
// A vertical axis at x: ticks to the left (`left`) or right with their labels beside them.
// Returns the width the labels took.
double DrawVerticalTicks(cairo_t* cr, double x, const std::vector<AxisTick>& ticks, bool left);
