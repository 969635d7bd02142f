#include "export/plotting.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Steps of readable ticks within a power of ten.
constexpr double kNiceSteps[] = {1.0, 2.0, 5.0, 10.0};
// A value within this share of a step of a multiple is that multiple (rounding of k x step).
constexpr double kOnTick = 1e-9;
// Fitting text shrinks the font by this factor at a time, down to this size.
constexpr double kShrinkStep = 0.95;
constexpr double kSmallestFontPt = 7.0;
// Numbers with more decimals than this, or as large as kLargestFixed, are written as tick
// labels are (a heading's numbers are never that far out).
constexpr int kMostDecimals = 15;
constexpr double kLargestFixed = 1e15;
// U+2212 MINUS SIGN, which has the width of a digit in typeset numbers.
constexpr char kMinus[] = "\xE2\x88\x92";

}  // namespace

void SetFont(cairo_t* cr, double sizePt, bool bold) {
  cairo_select_font_face(cr, kFigureFont, CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, sizePt);
}

void SetColour(cairo_t* cr, Pixel rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

double TextWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

double DigitHeight(cairo_t* cr) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, "0", &extents);
  return extents.height;
}

void DrawText(cairo_t* cr, const std::string& text, double x, double y, Anchor anchor, double angle) {
  const double width = TextWidth(cr, text);
  const double digits = DigitHeight(cr);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angle);
  // The base line lies the digits' height below their top.
  cairo_move_to(cr, -anchor.across * width, (1.0 - anchor.down) * digits);
  cairo_show_text(cr, text.c_str());
  cairo_new_path(cr);
  cairo_restore(cr);
}

double FittingFontSize(cairo_t* cr, const std::string& text, double sizePt, double width, bool bold) {
  double size = sizePt;
  SetFont(cr, size, bold);
  while (size > kSmallestFontPt && TextWidth(cr, text) > width) {
    size = std::max(kSmallestFontPt, size * kShrinkStep);
    SetFont(cr, size, bold);
  }
  return size;
}

std::vector<double> NiceTicks(double low, double high, int most) {
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low) || most < 2) return {};
  const double rough = (high - low) / (most - 1);
  const double decade = std::pow(10.0, std::floor(std::log10(rough)));
  double step = decade * kNiceSteps[3];
  for (double nice : kNiceSteps)
    if (nice * decade >= rough * (1 - kOnTick)) {
      step = nice * decade;
      break;
    }
  std::vector<double> ticks;
  for (double k = std::ceil(low / step - kOnTick); k * step <= high + step * kOnTick; k += 1.0)
    ticks.push_back(std::abs(k) < kOnTick ? 0.0 : k * step);
  return ticks;
}

double NiceCeiling(double value) {
  if (!(value > 0) || !std::isfinite(value)) return 1.0;
  const double decade = std::pow(10.0, std::floor(std::log10(value)));
  for (double nice : kNiceSteps)
    if (nice * decade >= value * (1 - kOnTick)) return nice * decade;
  return 10.0 * decade;
}

namespace {

// `text` with a leading '-' written as the typeset minus.
std::string WithMinus(std::string text) {
  if (!text.empty() && text[0] == '-') text.replace(0, 1, kMinus);
  return text;
}

}  // namespace

std::string TickText(double value, int digits) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits).ptr;
  return WithMinus(std::string(text, end));
}

std::string FixedText(double value, int decimals) {
  char text[40];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return WithMinus(std::string(text, end));
}

int DecimalsOf(double value, int digits) {
  char text[40];
  const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, digits - 1).ptr;
  const char* e = std::find(static_cast<const char*>(text), end, 'e');
  if (e == end) return digits - 1;
  const char* from = e + 1 < end && e[1] == '+' ? e + 2 : e + 1;
  int exponent = 0;
  std::from_chars(from, end, exponent);
  return digits - 1 - exponent;
}

std::string AtDecimals(double value, int decimals, int digits) {
  if (!std::isfinite(value) || std::abs(value) >= kLargestFixed || std::abs(decimals) > kMostDecimals)
    return TickText(value, digits);
  if (decimals >= 0) return FixedText(value, decimals);
  const double unit = std::pow(10.0, -decimals);
  return FixedText(std::round(value / unit) * unit, 0);
}

void DrawHorizontalTicks(cairo_t* cr, double y, const std::vector<AxisTick>& ticks, bool below) {
  const double sign = below ? 1.0 : -1.0;
  cairo_set_line_width(cr, kAxisLinePt);
  for (const AxisTick& tick : ticks) {
    cairo_move_to(cr, tick.at, y);
    cairo_line_to(cr, tick.at, y + sign * (tick.minor ? kTickPt / 2 : kTickPt));
  }
  cairo_stroke(cr);
  const double labelY = y + sign * (kTickPt + kLabelGapPt);
  for (const AxisTick& tick : ticks)
    if (!tick.minor && !tick.label.empty()) DrawText(cr, tick.label, tick.at, labelY, {0.5, below ? 0.0 : 1.0});
}

double DrawVerticalTicks(cairo_t* cr, double x, const std::vector<AxisTick>& ticks, bool left) {
  const double sign = left ? -1.0 : 1.0;
  cairo_set_line_width(cr, kAxisLinePt);
  for (const AxisTick& tick : ticks) {
    cairo_move_to(cr, x, tick.at);
    cairo_line_to(cr, x + sign * (tick.minor ? kTickPt / 2 : kTickPt), tick.at);
  }
  cairo_stroke(cr);
  double widest = 0;
  const double labelX = x + sign * (kTickPt + kLabelGapPt);
  for (const AxisTick& tick : ticks) {
    if (tick.minor || tick.label.empty()) continue;
    DrawText(cr, tick.label, labelX, tick.at, {left ? 1.0 : 0.0, 0.5});
    widest = std::max(widest, TextWidth(cr, tick.label));
  }
  return widest;
}
