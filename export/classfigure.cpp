#include "export/classfigure.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "reports/densitygrid.h"

namespace {

// Ticks of the ln axis: -10, -8, ..., 0.
constexpr double kLnTickStep = 2.0;
// The counts axis reaches this share above the highest bar or curve, and has at most this many
// labelled values.
constexpr double kHeadroom = 1.05;
constexpr int kCountTicks = 6;
// The curve is drawn through this many points over the ln axis.
constexpr int kCurvePoints = 401;
// Room beside the plot on the right, for the half of the last tick label that reaches out.
constexpr double kRightRoomPt = 10.0;
constexpr double kHeadingLinePt = kHeadingFontPt * 1.3;
// s^-1 as the axis title and the heading write it.
constexpr char kPerSecond[] = "s\xE2\x81\xBB\xC2\xB9";
constexpr char kArrow[] = " \xE2\x86\x92 ";
constexpr char kEnDash[] = "\xE2\x80\x93";
constexpr int kHeadingDigits = 3;

constexpr Pixel kBarFill = 0x9ECAE1;
constexpr Pixel kBarEdge = 0x3182BD;
constexpr double kBarEdgePt = 0.3;
constexpr Pixel kCurveColour = 0xC0392B;
constexpr Pixel kInk = 0x000000;

double CountAxisTop(const ClassFigureData& fitted) {
  double highest = 0;
  for (double count : fitted.histogram.counts) highest = std::max(highest, count);
  highest = std::max(highest, GaussianAt(fitted.gaussian, fitted.gaussian.centre));
  if (!(highest > 0) || !std::isfinite(highest)) return 1.0;
  const std::vector<double> ticks = NiceTicks(0.0, highest * kHeadroom, kCountTicks);
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : highest * kHeadroom;
  return std::ceil(highest * kHeadroom / step) * step;
}

// Page positions of the plot: ln(rate per frame) across, counts up.
struct PlotScale {
  Box plot;
  double top;  // the count at the plot's top edge
  double X(double lnRate) const { return plot.x + (lnRate - kHistogramStart) / (kHistogramEnd - kHistogramStart) * plot.width; }
  double Y(double count) const { return plot.Bottom() - count / top * plot.height; }
};

// The rate in s^-1 that a point of the ln axis stands for is e^x / exposure: decades of s^-1
// with the 2 ... 9 between them as short ticks.
std::vector<AxisTick> RateTicks(const PlotScale& scale, double exposure) {
  std::vector<AxisTick> ticks;
  if (!(exposure > 0) || !std::isfinite(exposure)) return ticks;
  const double lowest = std::exp(kHistogramStart) / exposure, highest = std::exp(kHistogramEnd) / exposure;
  for (double decade = std::floor(std::log10(lowest)); decade <= std::ceil(std::log10(highest)); decade += 1.0) {
    const double base = std::pow(10.0, decade);
    for (int m = 1; m <= 9; ++m) {
      const double rate = m * base;
      const double x = std::log(rate * exposure);
      if (x < kHistogramStart || x > kHistogramEnd) continue;
      ticks.push_back({scale.X(x), m == 1 ? TickText(rate, 6) : std::string(), m != 1});
    }
  }
  return ticks;
}

void DrawBars(cairo_t* cr, const PlotScale& scale, const ClassHistogram& histogram) {
  for (int k = 0; k < kHistogramBins; ++k) {
    const double count = histogram.counts[static_cast<std::size_t>(k)];
    if (!(count > 0)) continue;
    const double centre = histogram.centres[static_cast<std::size_t>(k)];
    const double left = scale.X(centre - kHalfBin), right = scale.X(centre + kHalfBin);
    cairo_rectangle(cr, left, scale.Y(count), right - left, scale.Y(0) - scale.Y(count));
  }
  SetColour(cr, kBarFill);
  cairo_fill_preserve(cr);
  SetColour(cr, kBarEdge);
  cairo_set_line_width(cr, kBarEdgePt);
  cairo_stroke(cr);
}

void DrawCurve(cairo_t* cr, const PlotScale& scale, const GaussianParams& gaussian) {
  cairo_save(cr);
  cairo_rectangle(cr, scale.plot.x, scale.plot.y, scale.plot.width, scale.plot.height);
  cairo_clip(cr);
  for (int k = 0; k < kCurvePoints; ++k) {
    const double x = kHistogramStart + (kHistogramEnd - kHistogramStart) * k / (kCurvePoints - 1);
    const double y = GaussianAt(gaussian, x);
    if (!std::isfinite(y)) continue;
    cairo_line_to(cr, scale.X(x), scale.Y(std::min(y, scale.top * 2)));
  }
  SetColour(cr, kCurveColour);
  cairo_set_line_width(cr, kDataLinePt);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void DrawAxes(cairo_t* cr, const PlotScale& scale, double exposure) {
  const Box& plot = scale.plot;
  SetColour(cr, kInk);
  cairo_set_line_width(cr, kAxisLinePt);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_stroke(cr);

  SetFont(cr, kTickFontPt);
  const double labelHeight = DigitHeight(cr);
  std::vector<AxisTick> lnTicks;
  for (double x = kHistogramStart; x <= kHistogramEnd; x += kLnTickStep) lnTicks.push_back({scale.X(x), TickText(x)});
  DrawHorizontalTicks(cr, plot.Bottom(), lnTicks, true);
  DrawHorizontalTicks(cr, plot.y, RateTicks(scale, exposure), false);
  std::vector<AxisTick> countTicks;
  for (double count : NiceTicks(0.0, scale.top, kCountTicks)) countTicks.push_back({scale.Y(count), TickText(count)});
  const double countLabels = DrawVerticalTicks(cr, plot.x, countTicks, true);

  SetFont(cr, kAxisFontPt);
  const double centre = plot.x + plot.width / 2;
  const double labels = kTickPt + kLabelGapPt + labelHeight + kTitleGapPt;
  DrawText(cr, "ln(rate per frame)", centre, plot.Bottom() + labels, {0.5, 0.0});
  DrawText(cr, std::string("rate (") + kPerSecond + ")", centre, plot.y - labels, {0.5, 1.0});
  DrawText(cr, "Count", plot.x - kTickPt - kLabelGapPt - countLabels - kTitleGapPt, plot.y + plot.height / 2,
           {0.5, 1.0}, -std::numbers::pi / 2);
}

double CountLabelWidth(cairo_t* cr, double top) {
  SetFont(cr, kTickFontPt);
  double widest = 0;
  for (double count : NiceTicks(0.0, top, kCountTicks)) widest = std::max(widest, TextWidth(cr, TickText(count)));
  return widest;
}

}  // namespace

std::string ClassHeading(const ClassFigureData& fitted) {
  std::string heading = std::to_string(fitted.from) + kArrow + std::to_string(fitted.to) + ": " +
                        TickText(fitted.rate, kHeadingDigits) + " " + kPerSecond;
  if (fitted.interval)
    heading += " (95 % CI " + TickText(fitted.interval->low, kHeadingDigits) + kEnDash +
               TickText(fitted.interval->high, kHeadingDigits) + ")";
  return heading;
}

std::string ClassFileStem(const ClassFigureData& fitted) {
  return "class-" + std::to_string(fitted.from) + "-" + std::to_string(fitted.to);
}

Box PlaceClassPlot(cairo_t* cr, const Box& box, const ClassFigureData& fitted) {
  SetFont(cr, kTickFontPt);
  const double labels = kTickPt + kLabelGapPt + DigitHeight(cr) + kTitleGapPt + kTitleLinePt;
  const double left = kTickPt + kLabelGapPt + CountLabelWidth(cr, CountAxisTop(fitted)) + kTitleGapPt + kTitleLinePt;
  const double top = kHeadingLinePt + labels;
  return {box.x + left, box.y + top, std::max(0.0, box.width - left - kRightRoomPt),
          std::max(0.0, box.height - top - labels)};
}

double ClassHeadingSize(cairo_t* cr, const ClassFigureData& fitted, double width) {
  return FittingFontSize(cr, ClassHeading(fitted), kHeadingFontPt, width - 2 * kRightRoomPt);
}

void DrawClassFigure(cairo_t* cr, const Box& box, const ClassFigureData& fitted, double headingPt) {
  const PlotScale scale{PlaceClassPlot(cr, box, fitted), CountAxisTop(fitted)};
  DrawBars(cr, scale, fitted.histogram);
  DrawCurve(cr, scale, fitted.gaussian);
  DrawAxes(cr, scale, fitted.exposureTime);
  SetFont(cr, headingPt);
  SetColour(cr, kInk);
  DrawText(cr, ClassHeading(fitted), box.x + box.width / 2, box.y + 1.0, {0.5, 0.0});
}
