#include "export/tracefigure.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
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
constexpr Pixel kDonorColour = 0x2CA02C;
constexpr Pixel kAcceptorColour = 0xD62728;
constexpr double kChannelLinePt = 0.5;
constexpr Pixel kCutShade = 0xE4E4E4;
// The intensities' panel's share of the room both panels take, and the room between them.
constexpr double kChannelShare = 0.45;
constexpr double kPanelGapPt = 10.0;

// Page positions: frames across, FRET up.
struct TracePlot {
  Box plot;
  double firstFrame, lastFrame;
  double low, high;
  double X(double frame) const { return plot.x + plot.width * (frame - firstFrame) / (lastFrame - firstFrame); }
  double Y(double fret) const { return plot.Bottom() - plot.height * (fret - low) / (high - low); }
};

TracePlot ScaleOf(const Box& plot, const FretTrace& trace, const HmmModel& model, std::pair<double, double> span) {
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
  return {plot, span.first, std::max(span.second, span.first + 1), low - pad, high + pad};
}

// The intensities' scale over the same frames: from 0 (or below, where a channel is) to the
// brightest frame.
TracePlot ChannelScaleOf(const Box& plot, const FretTrace& trace, const TracePlot& frames) {
  double low = 0, high = 1;
  for (const std::vector<double>* channel : {&trace.donor, &trace.acceptor})
    for (double value : *channel) {
      low = std::min(low, value);
      high = std::max(high, value);
    }
  const double pad = (high - low) * kFretPadding;
  return {plot, frames.firstFrame, frames.lastFrame, low - pad, high + pad};
}

// The values `value(t)` of every frame kept as a line, broken where frames were left out; as
// steps (each value held until the next frame) when `steps`.
template <class Value>
void TraceLine(cairo_t* cr, const TracePlot& scale, const std::vector<double>& frames, Value value, bool steps) {
  for (std::size_t t = 0; t < frames.size(); ++t) {
    const double x = scale.X(frames[t]), y = scale.Y(value(t));
    const bool joined = t > 0 && frames[t] - frames[t - 1] <= kContiguousStep;
    if (!joined) {
      cairo_move_to(cr, x, y);
    } else {
      if (steps) cairo_line_to(cr, x, scale.Y(value(t - 1)));
      cairo_line_to(cr, x, y);
    }
  }
  cairo_stroke(cr);
}

void DrawAxes(cairo_t* cr, const TracePlot& scale, const char* quantity, bool frameTitle) {
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
  if (frameTitle)
    DrawText(cr, "frame", plot.x + plot.width / 2, plot.Bottom() + kTickPt + kLabelGapPt + labelHeight + kTitleGapPt,
             {0.5, 0.0});
  DrawText(cr, quantity, plot.x - kTickPt - kLabelGapPt - labels - kTitleGapPt, plot.y + plot.height / 2, {0.5, 1.0},
           -std::numbers::pi / 2);
}

struct LegendEntry {
  const char* text;
  Pixel colour;
  double width;
  bool dashed;
};

constexpr LegendEntry kFretLegend[] = {{"FRET per frame", kRawColour, kRawLinePt * 2, false},
                                       {"idealised", kIdealColour, kIdealLinePt, false},
                                       {"the model's states", kLevelColour, kLevelLinePt, true}};
constexpr LegendEntry kChannelLegend[] = {{"donor", kDonorColour, kChannelLinePt * 2, false},
                                          {"acceptor", kAcceptorColour, kChannelLinePt * 2, false},
                                          {"bleached or blinking: not fitted", kCutShade, kLegendLinePt / 2, false}};

// Which line is which, in a row centred above the plot.
void DrawLegend(cairo_t* cr, double centre, double y, std::span<const LegendEntry> entries) {
  SetFont(cr, kTickFontPt);
  double total = 0;
  for (const LegendEntry& e : entries) total += kLegendLinePt + kLabelGapPt + TextWidth(cr, e.text) + kLegendGapPt;
  double x = centre - (total - kLegendGapPt) / 2;
  for (const LegendEntry& e : entries) {
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

// The frames not fitted shaded across the plot: the bleached tail, and each blink a frame wide.
void ShadeCutFrames(cairo_t* cr, const TracePlot& scale, const FretTrace& trace) {
  SetColour(cr, kCutShade);
  const Box& plot = scale.plot;
  const auto band = [&](double first, double last) {
    const double left = scale.X(first - 0.5), right = scale.X(last + 0.5);
    cairo_rectangle(cr, left, plot.y, right - left, plot.height);
  };
  for (double frame : trace.blinks) band(frame, frame);
  if (trace.bleached > 0 && trace.bleached <= trace.channelFrames.size())
    band(trace.channelFrames[trace.channelFrames.size() - trace.bleached], trace.channelFrames.back());
  cairo_fill(cr);
}

std::string Heading(const IdealisedTraces& idealised, std::size_t molecule, bool rejected) {
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
  if (rejected) text += " (rejected: out of the rates)";
  return text;
}

// Draws inside the plot alone from here to the cairo_restore that ends it, the frames not fitted
// shaded first.
void BeginPlot(cairo_t* cr, const TracePlot& scale, const FretTrace& trace) {
  cairo_save(cr);
  cairo_rectangle(cr, scale.plot.x, scale.plot.y, scale.plot.width, scale.plot.height);
  cairo_clip(cr);
  ShadeCutFrames(cr, scale, trace);
}

void DrawFretPanel(cairo_t* cr, const TracePlot& scale, const IdealisedTraces& idealised, std::size_t molecule) {
  const FretTrace& trace = idealised.traces[molecule];
  const HmmModel& model = idealised.idealisation.Model();
  const Box& plot = scale.plot;
  BeginPlot(cr, scale, trace);
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
  TraceLine(cr, scale, trace.frames, [&](std::size_t t) { return trace.fret[t]; }, false);
  SetColour(cr, kIdealColour);
  cairo_set_line_width(cr, kIdealLinePt);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  TraceLine(cr, scale, trace.frames, [&](std::size_t t) { return idealised.IdealisedValue(molecule, t); }, true);
  cairo_restore(cr);

  DrawAxes(cr, scale, "FRET", true);
  // Each state's mean beside the plot, at its level.
  SetFont(cr, kTickFontPt);
  SetColour(cr, kLevelColour);
  for (double mean : model.means) DrawText(cr, FixedText(mean, 3), plot.Right() + kLabelGapPt, scale.Y(mean), {0.0, 0.5});
}

void DrawChannelPanel(cairo_t* cr, const TracePlot& scale, const FretTrace& trace) {
  BeginPlot(cr, scale, trace);
  cairo_set_line_width(cr, kChannelLinePt);
  SetColour(cr, kDonorColour);
  TraceLine(cr, scale, trace.channelFrames, [&](std::size_t t) { return trace.donor[t]; }, false);
  SetColour(cr, kAcceptorColour);
  TraceLine(cr, scale, trace.channelFrames, [&](std::size_t t) { return trace.acceptor[t]; }, false);
  cairo_restore(cr);
  DrawAxes(cr, scale, "intensity", false);
}

void DrawFigure(cairo_t* cr, double width, double height, const IdealisedTraces& idealised, std::size_t molecule,
                const std::string& heading, std::pair<double, double> span) {
  const FretTrace& trace = idealised.traces[molecule];
  const bool channels = !trace.channelFrames.empty();
  SetColour(cr, kInk);
  SetFont(cr, FittingFontSize(cr, heading, kHeadingFontPt, width - 2 * kMarginPt, true), true);
  DrawText(cr, heading, width / 2, kMarginPt, {0.5, 0.0});
  const double plotWidth = width - kLeftRoomPt - kRightRoomPt;
  double top = kHeadingRoomPt;
  if (channels) {
    const double room = height - kHeadingRoomPt - 2 * kLegendRoomPt - kPanelGapPt - kBottomRoomPt;
    const Box plot{kLeftRoomPt, top + kLegendRoomPt, plotWidth, room * kChannelShare};
    DrawLegend(cr, plot.x + plot.width / 2, top + kLegendRoomPt / 2 - 2, kChannelLegend);
    const TracePlot frames = ScaleOf(plot, trace, idealised.idealisation.Model(), span);
    DrawChannelPanel(cr, ChannelScaleOf(plot, trace, frames), trace);
    top = plot.Bottom() + kPanelGapPt;
  }
  const Box plot{kLeftRoomPt, top + kLegendRoomPt, plotWidth, height - top - kLegendRoomPt - kBottomRoomPt};
  DrawLegend(cr, plot.x + plot.width / 2, top + kLegendRoomPt / 2 - 2, kFretLegend);
  DrawFretPanel(cr, ScaleOf(plot, trace, idealised.idealisation.Model(), span), idealised, molecule);
}

}  // namespace

std::string TraceFigureFile(FigureFormat format, const IdealisedTraces& idealised, std::size_t molecule,
                            const TraceFigureView& view) {
  if (molecule >= idealised.traces.size() || molecule >= idealised.idealisation.paths.size() ||
      idealised.traces[molecule].frames.empty())
    return {};
  const FretTrace& trace = idealised.traces[molecule];
  const std::string heading = Heading(idealised, molecule, view.rejected);
  const std::pair<double, double> span = view.frames.value_or(FrameSpan(trace));
  const bool channels = !trace.channelFrames.empty();
  const FigureText text{heading,
                        "A molecule's raw trace: its FRET value in every frame kept, the idealised value of its most "
                        "likely path of states, and the mean of each state of the chosen model (dashed)."};
  return RenderFigure(format,
                      {kTraceFigureWidthMm, channels ? kChannelsFigureHeightMm : kTraceFigureHeightMm}, text,
                      [&](cairo_t* cr, double w, double h) { DrawFigure(cr, w, h, idealised, molecule, heading, span); });
}
