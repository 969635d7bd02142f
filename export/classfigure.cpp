#include "export/classfigure.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>
#include <vector>

#include "domain/numbertext.h"

namespace {

// At most this many ticks of the ln axis: -10, -8, ..., 0 over the fixed range.
constexpr int kLnTicks = 6;
// A rate axis with fewer labelled decades than this labels the 2 and 5 between them too, and
// then, if still short of it, every tick.
constexpr int kFewestRateLabels = 2;
// The counts axis reaches this share above the highest bar or curve, and has at most this many
// labelled values.
constexpr double kHeadroom = 1.05;
constexpr int kCountTicks = 6;
// The curve is drawn through this many points over the ln axis.
constexpr int kCurvePoints = 401;
// Room beside the plot on the right, for the half of the last tick label that reaches out.
constexpr double kRightRoomPt = 10.0;
// Heading lines are this many times their font size apart; the first starts this far below
// the figure's top, for the superscript of s^-1.
constexpr double kHeadingLineSpacing = 1.3;
constexpr double kHeadingTopPt = 1.0;
constexpr char kArrow[] = " \xE2\x86\x92 ";
// A flagged rate is marked so in its heading, and its footnote so.
constexpr char kNoteMark[] = "*";
constexpr double kNotesGapPt = 3.0;
constexpr char kEnDash[] = "\xE2\x80\x93";

constexpr Pixel kCurveColour = 0xC0392B;

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
  LnRange range;
  double X(double lnRate) const { return plot.x + (lnRate - range.low) / (range.high - range.low) * plot.width; }
  double Y(double count) const { return plot.Bottom() - count / top * plot.height; }
};

// Whether the multiple m of a decade is labelled at level 0 (decades alone), 1 (1, 2 and 5)
// or 2 (every multiple).
bool LabelledAt(int m, int level) { return m == 1 || (level >= 1 && (m == 2 || m == 5)) || level >= 2; }

// The rate in s^-1 that a point of the ln axis stands for is e^x / exposure: decades of s^-1
// with the 2 ... 9 between them as short ticks. A range too narrow for two decades labels more.
std::vector<AxisTick> RateTicks(const PlotScale& scale, double exposure) {
  std::vector<AxisTick> ticks;
  if (!(exposure > 0) || !std::isfinite(exposure)) return ticks;
  struct RateTick {
    double x;
    double rate;
    int m;
  };
  std::vector<RateTick> inRange;
  const double lowest = std::exp(scale.range.low) / exposure, highest = std::exp(scale.range.high) / exposure;
  for (double decade = std::floor(std::log10(lowest)); decade <= std::ceil(std::log10(highest)); decade += 1.0) {
    const double base = std::pow(10.0, decade);
    for (int m = 1; m <= 9; ++m) {
      const double rate = m * base;
      const double x = std::log(rate * exposure);
      if (x >= scale.range.low && x <= scale.range.high) inRange.push_back({x, rate, m});
    }
  }
  int level = 0;
  const auto labels = [&](int at) {
    return std::count_if(inRange.begin(), inRange.end(), [at](const RateTick& t) { return LabelledAt(t.m, at); });
  };
  while (level < 2 && labels(level) < kFewestRateLabels) ++level;
  for (const RateTick& t : inRange) {
    const bool labelled = LabelledAt(t.m, level);
    ticks.push_back({scale.X(t.x), labelled ? TickText(t.rate, 6) : std::string(), !labelled});
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
    const double x = scale.range.low + (scale.range.high - scale.range.low) * k / (kCurvePoints - 1);
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
  for (double x : NiceTicks(scale.range.low, scale.range.high, kLnTicks)) lnTicks.push_back({scale.X(x), TickText(x)});
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

// The words of a heading line, each a place where the line may break.
std::vector<std::string> HeadingWords(const ClassFigureData& fitted, int digits) {
  const int places = std::clamp(digits, kFewestHeadingDigits, kMostHeadingDigits);
  const bool fixed = fitted.rate > 0 && std::isfinite(fitted.rate);
  const int decimals = fixed ? DecimalsOf(fitted.rate, places) : 0;
  const auto number = [&](double value) { return fixed ? AtDecimals(value, decimals, places) : TickText(value, places); };
  std::vector<std::string> words = {std::to_string(fitted.from) + kArrow + std::to_string(fitted.to) + ": " +
                                    number(fitted.rate) + " " + kPerSecond};
  if (fitted.interval)
    words.push_back("(95 % CI " + number(fitted.interval->low) + kEnDash + number(fitted.interval->high) + ")");
  return words;
}

std::vector<std::string> SampleWords(const ClassFigureData& fitted) {
  std::vector<std::string> words;
  if (fitted.molecules > 0)
    words.push_back(WithThousands(fitted.molecules) + (fitted.molecules == 1 ? " molecule" : " molecules"));
  if (fitted.molecules > 0 || fitted.transitions > 0)
    words.push_back(WithThousands(fitted.transitions) + (fitted.transitions == 1 ? " transition" : " transitions"));
  if (words.empty()) return words;
  words.front() = "n = " + words.front();
  if (words.size() > 1) words.front() += ",";
  return words;
}

std::vector<std::string> WordsOf(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + word;
  return line;
}

// The heading's lines unbroken: the class with its rate, then the sample.
std::vector<std::string> WholeHeadingLines(const ClassFigureData& fitted, const ClassStyle& style) {
  std::vector<std::string> lines = {ClassHeading(fitted, style.digits)};
  if (const std::string sample = ClassSampleText(fitted); !sample.empty()) lines.push_back(sample);
  return lines;
}

// `words` on as few lines of `width` as they go, in the current font; a word wider than that
// stands on a line of its own.
void BreakInto(cairo_t* cr, const std::vector<std::string>& words, double width, std::vector<std::string>& lines) {
  std::string line;
  for (const std::string& word : words) {
    const std::string longer = line.empty() ? word : line + " " + word;
    if (line.empty() || TextWidth(cr, longer) <= width) {
      line = longer;
    } else {
      lines.push_back(line);
      line = word;
    }
  }
  if (!line.empty()) lines.push_back(line);
}

}  // namespace

std::string ClassHeading(const ClassFigureData& fitted, int digits) { return Joined(HeadingWords(fitted, digits)); }

std::string ClassSampleText(const ClassFigureData& fitted) { return Joined(SampleWords(fitted)); }

std::string ClassFileStem(const ClassFigureData& fitted) {
  return "class-" + std::to_string(fitted.from) + "-" + std::to_string(fitted.to);
}

LnRange ClassLnRange(const ClassHistogram& histogram, HistogramRange range) {
  const LnRange whole{kHistogramStart, kHistogramEnd};
  if (range == HistogramRange::Fixed) return whole;
  int first = kHistogramBins, last = -1;
  for (int k = 0; k < kHistogramBins; ++k)
    if (histogram.counts[static_cast<std::size_t>(k)] > 0) {
      first = std::min(first, k);
      last = k;
    }
  if (last < 0) return whole;
  const int from = std::max(0, first - kDataRangeMarginBins);
  const int to = std::min(kHistogramBins, last + 1 + kDataRangeMarginBins);
  return {kHistogramStart + from * kBinWidth, kHistogramStart + to * kBinWidth};
}

double ClassHeadingSize(cairo_t* cr, const ClassFigureData& fitted, const ClassStyle& style, double width) {
  double size = kHeadingFontPt;
  for (const std::string& line : WholeHeadingLines(fitted, style))
    size = std::min(size, FittingFontSize(cr, line, kHeadingFontPt, width - 2 * kHeadingMarginPt));
  return std::max(size, kTickFontPt);
}

ClassHeadingLayout ClassHeadingAt(cairo_t* cr, const ClassFigureData& fitted, const ClassStyle& style, double sizePt,
                                  double width) {
  ClassHeadingLayout heading;
  heading.sizePt = sizePt;
  SetFont(cr, sizePt);
  std::vector<std::string> words = HeadingWords(fitted, style.digits);
  if (!fitted.flags.empty()) words.back() += kNoteMark;
  BreakInto(cr, words, width - 2 * kHeadingMarginPt, heading.lines);
  BreakInto(cr, SampleWords(fitted), width - 2 * kHeadingMarginPt, heading.lines);
  heading.roomLines = heading.lines.size();
  SetFont(cr, kTickFontPt);
  for (std::size_t k = 0; k < fitted.flags.size(); ++k)
    BreakInto(cr, WordsOf((k == 0 ? std::string(kNoteMark) + " " : std::string()) + fitted.flags[k]),
              width - 2 * kHeadingMarginPt, heading.notes);
  heading.roomNotes = heading.notes.size();
  return heading;
}

ClassHeadingLayout LayOutClassHeading(cairo_t* cr, const ClassFigureData& fitted, const ClassStyle& style,
                                      double width) {
  return ClassHeadingAt(cr, fitted, style, ClassHeadingSize(cr, fitted, style, width), width);
}

double HeadingHeight(double sizePt, std::size_t lines) {
  return kHeadingTopPt + static_cast<double>(lines) * sizePt * kHeadingLineSpacing;
}

double NotesHeight(std::size_t lines) {
  return lines == 0 ? 0.0 : kNotesGapPt + static_cast<double>(lines) * kTickFontPt * kHeadingLineSpacing;
}

Box PlaceClassPlot(cairo_t* cr, const Box& box, const ClassFigureData& fitted, const ClassHeadingLayout& heading) {
  SetFont(cr, kTickFontPt);
  const double labels = kTickPt + kLabelGapPt + DigitHeight(cr) + kTitleGapPt + kTitleLinePt;
  const double left = kTickPt + kLabelGapPt + CountLabelWidth(cr, CountAxisTop(fitted)) + kTitleGapPt + kTitleLinePt;
  const double top = HeadingHeight(heading.sizePt, std::max(heading.roomLines, heading.lines.size())) + labels;
  const double notes = NotesHeight(std::max(heading.roomNotes, heading.notes.size()));
  return {box.x + left, box.y + top, std::max(0.0, box.width - left - kRightRoomPt),
          std::max(0.0, box.height - top - labels - notes)};
}

void DrawClassFigure(cairo_t* cr, const Box& box, const ClassFigureData& fitted, const ClassStyle& style,
                     const ClassHeadingLayout& heading) {
  const PlotScale scale{PlaceClassPlot(cr, box, fitted, heading), CountAxisTop(fitted),
                        ClassLnRange(fitted.histogram, style.range)};
  DrawBars(cr, scale, fitted.histogram);
  DrawCurve(cr, scale, fitted.gaussian);
  DrawAxes(cr, scale, fitted.exposureTime);
  SetFont(cr, heading.sizePt);
  SetColour(cr, kInk);
  for (std::size_t k = 0; k < heading.lines.size(); ++k)
    DrawText(cr, heading.lines[k], box.x + box.width / 2,
             box.y + kHeadingTopPt + static_cast<double>(k) * heading.sizePt * kHeadingLineSpacing, {0.5, 0.0});
  SetFont(cr, kTickFontPt);
  const double notesTop = box.Bottom() - NotesHeight(std::max(heading.roomNotes, heading.notes.size())) + kNotesGapPt;
  for (std::size_t k = 0; k < heading.notes.size(); ++k)
    DrawText(cr, heading.notes[k], box.x + kHeadingMarginPt,
             notesTop + static_cast<double>(k) * kTickFontPt * kHeadingLineSpacing, {0.0, 0.0});
}
