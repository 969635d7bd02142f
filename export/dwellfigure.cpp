#include "export/dwellfigure.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "domain/numbertext.h"
#include "export/figurefile.h"
#include "export/plotting.h"

namespace {

// The two panels side by side, this far apart; room for the axis titles and labels.
constexpr double kMarginPt = 6.0;
constexpr double kLeftRoomPt = 50.0;
constexpr double kBottomRoomPt = 30.0;
constexpr double kHeadingRoomPt = 22.0;
constexpr double kPanelGapPt = 58.0;
constexpr int kTimeTicks = 6;
// A log axis shows at least this many decades, the lowest below the smallest value drawn.
constexpr double kLeastDecades = 1.0;
// Curves are drawn through this many points.
constexpr int kCurvePoints = 300;
// Decade labels keep this many digits: 10000 rather than 1e+04.
constexpr int kDecadeDigits = 6;
// The legend's lines: this long, this far apart, this far inside the plot's corner.
constexpr double kLegendLinePt = 14.0;
constexpr double kLegendRowPt = 10.0;
constexpr double kLegendInsetPt = 6.0;

// Whole dwells in the histograms' colour, cut ones lighter.
constexpr Pixel kCutFill = 0xDEEBF7;
// One colour a number of exponentials; the chosen fit is drawn solid and thicker.
constexpr Pixel kFitColours[kMostExponentials] = {0xC0392B, 0x27AE60, 0x8E44AD};
constexpr double kOtherFitPt = 0.7;
constexpr double kDash[] = {3.0, 2.0};

// The share of the fitted law's dwells that last more than t frames: sum_c a_c exp(-k_c t).
double Surviving(const ExponentialFit& fit, double frames) {
  double share = 0;
  for (const ExponentialTerm& term : fit.terms) share += term.amplitude * std::exp(-term.rate * frames);
  return share;
}

// Page positions: time across from 0, log10 of the value up over [low, high] decades.
struct LogPlot {
  Box plot;
  double timeHigh;  // s at the right edge
  double low, high;  // decades at the bottom and top
  double X(double seconds) const { return plot.x + plot.width * seconds / timeHigh; }
  double Y(double value) const {
    const double decade = std::clamp(std::log10(value), low, high);
    return plot.Bottom() - plot.height * (decade - low) / (high - low);
  }
};

// Decades that hold every value in [smallest, largest] (all above 0).
std::pair<double, double> Decades(double smallest, double largest) {
  double high = std::ceil(std::log10(largest));
  double low = std::floor(std::log10(smallest));
  if (!std::isfinite(high)) high = 0;
  if (!std::isfinite(low) || low > high - kLeastDecades) low = high - kLeastDecades;
  return {low, high};
}

void DrawLogAxes(cairo_t* cr, const LogPlot& scale, const std::string& valueTitle, double exposure) {
  const Box& plot = scale.plot;
  SetColour(cr, kInk);
  cairo_set_line_width(cr, kAxisLinePt);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_stroke(cr);
  SetFont(cr, kTickFontPt);
  const double labelHeight = DigitHeight(cr);
  std::vector<AxisTick> timeTicks;
  for (double t : NiceTicks(0.0, scale.timeHigh, kTimeTicks)) timeTicks.push_back({scale.X(t), TickText(t)});
  DrawHorizontalTicks(cr, plot.Bottom(), timeTicks, true);
  std::vector<AxisTick> valueTicks;
  for (double d = scale.low; d <= scale.high + 0.5; d += 1)
    valueTicks.push_back({scale.Y(std::pow(10.0, d)), TickText(std::pow(10.0, d), kDecadeDigits)});
  const double labels = DrawVerticalTicks(cr, plot.x, valueTicks, true);
  SetFont(cr, kAxisFontPt);
  DrawText(cr, "dwell time (s; frames of " + TickText(exposure) + " s)", plot.x + plot.width / 2,
           plot.Bottom() + kTickPt + kLabelGapPt + labelHeight + kTitleGapPt, {0.5, 0.0});
  DrawText(cr, valueTitle, plot.x - kTickPt - kLabelGapPt - labels - kTitleGapPt, plot.y + plot.height / 2,
           {0.5, 1.0}, -std::numbers::pi / 2);
}

void StrokeFit(cairo_t* cr, std::size_t terms, bool chosen) {
  SetColour(cr, kFitColours[(terms - 1) % kMostExponentials]);
  cairo_set_line_width(cr, chosen ? kDataLinePt * 1.5 : kOtherFitPt);
  if (!chosen) cairo_set_dash(cr, kDash, 2, 0);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

bool Drawn(const ExponentialFit& fit) { return !fit.terms.empty() && fit.trouble.empty(); }

// Which line is which fit, in the plot's upper right corner.
void DrawLegend(cairo_t* cr, const Box& plot, const StateDwellTimes& state) {
  SetFont(cr, kTickFontPt);
  double widest = 0;
  std::vector<std::pair<std::size_t, std::string>> rows;
  for (std::size_t f = 0; f < state.fits.size(); ++f) {
    const ExponentialFit& fit = state.fits[f];
    if (!Drawn(fit)) continue;
    const std::size_t terms = fit.terms.size();
    rows.push_back({f, std::to_string(terms) + (terms == 1 ? " exponential" : " exponentials") +
                           (static_cast<int>(f) == state.chosen ? " (chosen)" : "")});
    widest = std::max(widest, TextWidth(cr, rows.back().second));
  }
  const double x = plot.Right() - kLegendInsetPt - widest - kLabelGapPt - kLegendLinePt;
  double y = plot.y + kLegendInsetPt + kLegendRowPt / 2;
  for (const auto& [f, text] : rows) {
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + kLegendLinePt, y);
    StrokeFit(cr, state.fits[f].terms.size(), static_cast<int>(f) == state.chosen);
    SetColour(cr, kInk);
    DrawText(cr, text, x + kLegendLinePt + kLabelGapPt, y, {0.0, 0.5});
    y += kLegendRowPt;
  }
}

void DrawHistogramPanel(cairo_t* cr, const Box& plot, const DwellTimes& times, const StateDwellTimes& state) {
  const DwellHistogram& h = state.histogram;
  const std::size_t bins = std::max(h.whole.size(), h.cut.size());
  const auto count = [&](const std::vector<std::int64_t>& v, std::size_t b) {
    return b < v.size() ? static_cast<double>(v[b]) : 0.0;
  };
  const double binSeconds = static_cast<double>(h.binFrames) * times.exposure;
  double largest = 1;
  for (std::size_t b = 0; b < bins; ++b) largest = std::max(largest, count(h.whole, b) + count(h.cut, b));
  // The fits' expected counts per bin: N sum_c a_c [(1 - p_c)^(l0 - 1) - (1 - p_c)^l1] over the
  // bin's lengths l0 ... l1, with 1 - p_c = exp(-k_c).
  const double fitted = static_cast<double>(state.dwells);
  const auto expected = [&](const ExponentialFit& fit, double b) {
    const double first = 1 + b * static_cast<double>(h.binFrames);
    return fitted * (Surviving(fit, first - 1) - Surviving(fit, first - 1 + static_cast<double>(h.binFrames)));
  };
  const auto [low, high] = Decades(0.5, largest * 1.5);
  const LogPlot scale{plot, std::max(binSeconds * static_cast<double>(std::max<std::size_t>(bins, 1)), times.exposure),
                      std::min(low, std::floor(std::log10(0.5))), high};
  for (std::size_t b = 0; b < bins; ++b) {
    const double x0 = scale.X(static_cast<double>(b) * binSeconds), x1 = scale.X(static_cast<double>(b + 1) * binSeconds);
    const double whole = count(h.whole, b), all = whole + count(h.cut, b);
    if (all <= 0) continue;
    const double base = scale.plot.Bottom();
    if (whole > 0) {
      cairo_rectangle(cr, x0, scale.Y(whole), x1 - x0, base - scale.Y(whole));
      SetColour(cr, kBarFill);
      cairo_fill(cr);
    }
    if (all > whole) {
      cairo_rectangle(cr, x0, scale.Y(all), x1 - x0, (whole > 0 ? scale.Y(whole) : base) - scale.Y(all));
      SetColour(cr, kCutFill);
      cairo_fill(cr);
    }
    cairo_rectangle(cr, x0, scale.Y(all), x1 - x0, base - scale.Y(all));
    SetColour(cr, kBarEdge);
    cairo_set_line_width(cr, kBarEdgePt);
    cairo_stroke(cr);
  }
  for (std::size_t f = 0; f < state.fits.size(); ++f) {
    const ExponentialFit& fit = state.fits[f];
    if (!Drawn(fit)) continue;
    bool started = false;
    for (std::size_t b = 0; b < bins; ++b) {
      const double value = expected(fit, static_cast<double>(b));
      if (!(value > 0)) continue;
      const double x = scale.X((static_cast<double>(b) + 0.5) * binSeconds), y = scale.Y(value);
      started ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
      started = true;
    }
    StrokeFit(cr, fit.terms.size(), static_cast<int>(f) == state.chosen);
  }
  DrawLogAxes(cr, scale, "Dwells", times.exposure);
  DrawLegend(cr, plot, state);
}

void DrawSurvivalPanel(cairo_t* cr, const Box& plot, const DwellTimes& times, const StateDwellTimes& state) {
  const SurvivalCurve& curve = state.survival;
  double smallest = 1;
  for (double share : curve.surviving)
    if (share > 0) smallest = std::min(smallest, share);
  const double lastFrame = curve.frames.empty() ? 1.0 : static_cast<double>(curve.frames.back());
  const auto [low, high] = Decades(smallest, 1.0);
  const LogPlot scale{plot, std::max(lastFrame, 1.0) * times.exposure, low, high};
  // Steps: the share left after each t holds until the next.
  SetColour(cr, kBarEdge);
  cairo_set_line_width(cr, kDataLinePt);
  cairo_move_to(cr, scale.X(0), scale.Y(1.0));
  double share = 1.0;
  for (std::size_t k = 0; k < curve.frames.size() && k < curve.surviving.size(); ++k) {
    const double x = scale.X(static_cast<double>(curve.frames[k]) * times.exposure);
    cairo_line_to(cr, x, scale.Y(share));
    share = curve.surviving[k];
    if (!(share > 0)) break;
    cairo_line_to(cr, x, scale.Y(share));
  }
  cairo_stroke(cr);
  for (std::size_t f = 0; f < state.fits.size(); ++f) {
    const ExponentialFit& fit = state.fits[f];
    if (!Drawn(fit)) continue;
    for (int k = 0; k <= kCurvePoints; ++k) {
      const double frames = lastFrame * k / kCurvePoints;
      const double x = scale.X(frames * times.exposure), y = scale.Y(Surviving(fit, frames));
      k ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
    }
    StrokeFit(cr, fit.terms.size(), static_cast<int>(f) == state.chosen);
  }
  DrawLogAxes(cr, scale, "Share surviving", times.exposure);
}

std::string Heading(const DwellTimes& times, const StateDwellTimes& state) {
  std::string text = "State " + std::to_string(state.state + 1) + ": " + WithThousands(state.dwells) + " dwells";
  if (state.cut > 0) text += ", " + WithThousands(state.cut) + " censored";
  if (state.leftOut > 0) text += ", " + WithThousands(state.leftOut) + " cut left out";
  if (state.chosen >= 0) {
    const ExponentialFit& fit = state.fits[static_cast<std::size_t>(state.chosen)];
    text += times.options.exponentials ? "; " : "; BIC chooses ";
    text += std::to_string(fit.terms.size()) + (fit.terms.size() == 1 ? " exponential:" : " exponentials:");
    for (const ExponentialTerm& term : fit.terms) (text += ' ') += TickText(term.rate / times.exposure, 3);
    (text += ' ') += kPerSecond;
  } else {
    text += "; no fit";
  }
  return text;
}

void DrawFigure(cairo_t* cr, double width, double height, const DwellTimes& times, const StateDwellTimes& state) {
  SetFont(cr, kHeadingFontPt, true);
  SetColour(cr, kInk);
  const std::string heading = Heading(times, state);
  SetFont(cr, FittingFontSize(cr, heading, kHeadingFontPt, width - 2 * kMarginPt, true), true);
  DrawText(cr, heading, width / 2, kMarginPt, {0.5, 0.0});
  const double top = kHeadingRoomPt;
  const double panelWidth = (width - kLeftRoomPt - kPanelGapPt - kMarginPt) / 2;
  const double panelHeight = height - top - kBottomRoomPt;
  const Box left{kLeftRoomPt, top, panelWidth, panelHeight};
  const Box right{left.Right() + kPanelGapPt, top, panelWidth, panelHeight};
  DrawHistogramPanel(cr, left, times, state);
  DrawSurvivalPanel(cr, right, times, state);
}

}  // namespace

std::string DwellFigureFile(FigureFormat format, const DwellTimes& times, int state) {
  if (state < 0 || static_cast<std::size_t>(state) >= times.perState.size()) return {};
  const StateDwellTimes& s = times.perState[static_cast<std::size_t>(state)];
  const FigureText text{Heading(times, s),
                        "Dwell times of the state: the histogram of dwell lengths (cut dwells lighter) on a log count "
                        "axis with each fit's expected counts, and the survival curve (product-limit estimate) with "
                        "each fit's; the chosen fit solid, the others dashed."};
  return RenderFigure(format, {kDwellFigureWidthMm, kDwellFigureHeightMm}, text,
                      [&](cairo_t* cr, double w, double h) { DrawFigure(cr, w, h, times, s); });
}
