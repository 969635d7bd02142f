#include "export/tracefigure.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "domain/numbertext.h"
#include "export/figurefile.h"
#include "export/plotting.h"
#include "idealise/idealisedtable.h"

namespace {

constexpr double kMarginPt = 6.0;
constexpr double kLeftRoomPt = 44.0;
constexpr double kBottomRoomPt = 30.0;
// The heading, then a row of the legend.
constexpr double kHeadingRoomPt = 20.0;
constexpr double kLegendRoomPt = 14.0;
// Room on the right for the levels' labels.
constexpr double kRightRoomPt = 34.0;
constexpr int kFrameTicks = 8;
constexpr int kFretTicks = 6;
// The FRET axis shows at least [0, 1], and this share of its range more above and below.
constexpr double kFretPadding = 0.04;
// Consecutive frames kept lie this far apart at most; a larger step (frames left out) breaks
// the lines there.
constexpr double kContiguousStep = 1.0 + 1e-9;
constexpr double kLegendLinePt = 14.0;
constexpr double kLegendGapPt = 14.0;

constexpr Pixel kRawColour = 0x9E9E9E;
constexpr double kRawLinePt = 0.4;
constexpr Pixel kIdealColour = 0xC0392B;
constexpr double kIdealLinePt = 1.2;
constexpr Pixel kLevelColour = 0x3182BD;
constexpr double kLevelLinePt = 0.6;
constexpr double kDash[] = {3.0, 2.0};

// Page positions: frames across, FRET up.
struct TracePlot {
  Box plot;
  double firstFrame, lastFrame;
  double low, high;
  double X(double frame) const { return plot.x + plot.width * (frame - firstFrame) / (lastFrame - firstFrame); }
  double Y(double fret) const { return plot.Bottom() - plot.height * (fret - low) / (high - low); }
};

TracePlot ScaleOf(const Box& plot, const FretTrace& trace, const HmmModel& model) {
  double low = 0, high = 1;
  for (double value : trace.fret) {
    low = std::min(low, value);
    high = std::max(high, value);
  }
  for (double mean : model.means) {
    low = std::min(low, mean);
    high = std::max(high, mean);
  }
  const double pad = (high - low) * kFretPadding;
  const double first = trace.frames.front();
  const double last = std::max(trace.frames.back(), first + 1);
  return {plot, first, last, low - pad, high + pad};
}

// The values `value(t)` of every frame kept as a line, broken where frames were left out; as
// steps (each value held until the next frame) when `steps`.
template <class Value>
void TraceLine(cairo_t* cr, const TracePlot& scale, const FretTrace& trace, Value value, bool steps) {
  for (std::size_t t = 0; t < trace.frames.size(); ++t) {
    const double x = scale.X(trace.frames[t]), y = scale.Y(value(t));
    const bool joined = t > 0 && trace.frames[t] - trace.frames[t - 1] <= kContiguousStep;
    if (!joined) {
      cairo_move_to(cr, x, y);
    } else {
      if (steps) cairo_line_to(cr, x, scale.Y(value(t - 1)));
      cairo_line_to(cr, x, y);
    }
  }
  cairo_stroke(cr);
}

void DrawAxes(cairo_t* cr, const TracePlot& scale) {
  const Box& plot = scale.plot;
  SetColour(cr, kInk);
  cairo_set_line_width(cr, kAxisLinePt);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_stroke(cr);
  SetFont(cr, kTickFontPt);
  const double labelHeight = DigitHeight(cr);
  std::vector<AxisTick> frameTicks;
  for (double f : NiceTicks(scale.firstFrame, scale.lastFrame, kFrameTicks)) frameTicks.push_back({scale.X(f), TickText(f)});
  DrawHorizontalTicks(cr, plot.Bottom(), frameTicks, true);
  std::vector<AxisTick> fretTicks;
  for (double v : NiceTicks(scale.low, scale.high, kFretTicks)) fretTicks.push_back({scale.Y(v), TickText(v)});
  const double labels = DrawVerticalTicks(cr, plot.x, fretTicks, true);
  SetFont(cr, kAxisFontPt);
  DrawText(cr, "frame", plot.x + plot.width / 2, plot.Bottom() + kTickPt + kLabelGapPt + labelHeight + kTitleGapPt,
           {0.5, 0.0});
  DrawText(cr, "FRET", plot.x - kTickPt - kLabelGapPt - labels - kTitleGapPt, plot.y + plot.height / 2, {0.5, 1.0},
           -std::numbers::pi / 2);
}

// Which line is which, in a row centred above the plot.
void DrawLegend(cairo_t* cr, double centre, double y) {
  struct Entry {
    const char* text;
    Pixel colour;
    double width;
    bool dashed;
  };
  const Entry entries[] = {{"FRET per frame", kRawColour, kRawLinePt * 2, false},
                           {"idealised", kIdealColour, kIdealLinePt, false},
                           {"the model's states", kLevelColour, kLevelLinePt, true}};
  SetFont(cr, kTickFontPt);
  double total = 0;
  for (const Entry& e : entries) total += kLegendLinePt + kLabelGapPt + TextWidth(cr, e.text) + kLegendGapPt;
  double x = centre - (total - kLegendGapPt) / 2;
  for (const Entry& e : entries) {
    SetColour(cr, e.colour);
    cairo_set_line_width(cr, e.width);
    if (e.dashed) cairo_set_dash(cr, kDash, 2, 0);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + kLegendLinePt, y);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    SetColour(cr, kInk);
    DrawText(cr, e.text, x + kLegendLinePt + kLabelGapPt, y, {0.0, 0.5});
    x += kLegendLinePt + kLabelGapPt + TextWidth(cr, e.text) + kLegendGapPt;
  }
}

std::string Heading(const IdealisedTraces& idealised, std::size_t molecule) {
  const FretTrace& trace = idealised.traces[molecule];
  const std::vector<int>& path = idealised.idealisation.paths[molecule];
  std::size_t steps = 0;
  for (std::size_t t = 1; t < trace.frames.size(); ++t)
    if (idealised.IdealisedValue(molecule, t) != idealised.IdealisedValue(molecule, t - 1)) ++steps;
  const int states = idealised.idealisation.Model().states;
  std::string text = trace.name + ": " + WithThousands(static_cast<long long>(path.size())) + " frames, " +
                     WithThousands(static_cast<long long>(steps)) + (steps == 1 ? " transition" : " transitions") +
                     "; BIC chooses " + std::to_string(states) + (states == 1 ? " state" : " states");
  if (idealised.merged) text += ", merged into " + std::to_string(idealised.merged->states);
  return text;
}

void DrawFigure(cairo_t* cr, double width, double height, const IdealisedTraces& idealised, std::size_t molecule,
                const std::string& heading) {
  const FretTrace& trace = idealised.traces[molecule];
  const HmmModel& model = idealised.idealisation.Model();
  SetColour(cr, kInk);
  SetFont(cr, FittingFontSize(cr, heading, kHeadingFontPt, width - 2 * kMarginPt, true), true);
  DrawText(cr, heading, width / 2, kMarginPt, {0.5, 0.0});
  const double top = kHeadingRoomPt + kLegendRoomPt;
  const Box plot{kLeftRoomPt, top, width - kLeftRoomPt - kRightRoomPt, height - top - kBottomRoomPt};
  DrawLegend(cr, plot.x + plot.width / 2, kHeadingRoomPt + kLegendRoomPt / 2 - 2);
  const TracePlot scale = ScaleOf(plot, trace, model);

  cairo_save(cr);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_clip(cr);
  SetColour(cr, kLevelColour);
  cairo_set_line_width(cr, kLevelLinePt);
  cairo_set_dash(cr, kDash, 2, 0);
  for (double mean : model.means) {
    cairo_move_to(cr, plot.x, scale.Y(mean));
    cairo_line_to(cr, plot.Right(), scale.Y(mean));
  }
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  SetColour(cr, kRawColour);
  cairo_set_line_width(cr, kRawLinePt);
  TraceLine(cr, scale, trace, [&](std::size_t t) { return trace.fret[t]; }, false);
  SetColour(cr, kIdealColour);
  cairo_set_line_width(cr, kIdealLinePt);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  TraceLine(cr, scale, trace, [&](std::size_t t) { return idealised.IdealisedValue(molecule, t); }, true);
  cairo_restore(cr);

  DrawAxes(cr, scale);
  // Each state's mean beside the plot, at its level.
  SetFont(cr, kTickFontPt);
  SetColour(cr, kLevelColour);
  for (double mean : model.means) DrawText(cr, FixedText(mean, 3), plot.Right() + kLabelGapPt, scale.Y(mean), {0.0, 0.5});
}

}  // namespace

std::string TraceFigureFile(FigureFormat format, const IdealisedTraces& idealised, std::size_t molecule) {
  if (molecule >= idealised.traces.size() || molecule >= idealised.idealisation.paths.size() ||
      idealised.traces[molecule].frames.empty())
    return {};
  const std::string heading = Heading(idealised, molecule);
  const FigureText text{heading,
                        "A molecule's raw trace: its FRET value in every frame kept, the idealised value of its most "
                        "likely path of states, and the mean of each state of the chosen model (dashed)."};
  return RenderFigure(format, {kTraceFigureWidthMm, kTraceFigureHeightMm}, text,
                      [&](cairo_t* cr, double w, double h) { DrawFigure(cr, w, h, idealised, molecule, heading); });
}
