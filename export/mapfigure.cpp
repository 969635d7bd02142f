#include "export/mapfigure.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "export/mapcolours.h"

namespace {

// The steps of the value axes' ticks, finest first (0, 0.2, ..., 1.0 where there is room), and
// the room two neighbouring labels keep between them at least.
constexpr double kValueTickSteps[] = {0.2, 0.5, 1.0};
constexpr double kValueLabelGapPt = 4.0;
// The colour bar: its width, its gap to the map, and at most this many labelled values, fewer
// on a short bar: one more than the bar's height holds of this spacing.
constexpr double kBarWidthPt = 7.0;
constexpr double kBarGapPt = 8.0;
constexpr int kBarTicks = 6;
constexpr double kBarLabelSpacingPt = 15.0;
// The title lines beside the colour bar: a line to the next is this many of its font size.
constexpr double kBarTitleLineSpacing = 1.2;
// Room above the plot for the half of the top tick label that reaches over it.
constexpr double kTopRoomPt = 5.0;
// Cutoff lines and the circle.
constexpr double kOverlayLinePt = 0.75;
// The arms of the cross at a class's states' means.
constexpr double kMeanMarkPt = 2.5;
constexpr Pixel kFrameColour = 0x000000;
// The colour bar shows entries 0 ... 254 over densities 0 ... maximum: entry e for e / 255 of
// the maximum and up; entry 255 is the maximum alone.
constexpr int kBarEntries = kColorEntries - 1;

double ValueSpan() { return kMapAxisHigh - kMapAxisLow; }

// Where (initial, final) lies on the page.
struct PagePoint {
  double x;
  double y;
};

PagePoint PointOf(const Box& plot, MapOrientation orientation, double initial, double final) {
  const auto along = [&](double value) { return (value - kMapAxisLow) / ValueSpan() * plot.width; };
  if (orientation == MapOrientation::AsOnScreen) return {plot.x + along(final), plot.y + along(initial)};
  return {plot.x + along(initial), plot.Bottom() - along(final)};
}

std::vector<AxisTick> ValueTicks(double from, double length, bool upwards, double step) {
  std::vector<AxisTick> ticks;
  const int steps = static_cast<int>(std::lround(1.0 / step));
  for (int k = 0; k <= steps; ++k) {
    const double value = k * step;
    const double offset = (value - kMapAxisLow) / ValueSpan() * length;
    ticks.push_back({upwards ? from - offset : from + offset, FixedText(value, 1)});
  }
  return ticks;
}

int BarTickCount(double heightPt) {
  return std::clamp(1 + static_cast<int>(heightPt / kBarLabelSpacingPt), 2, kBarTicks);
}

// The colour bar's ticks: labelled values of the linear scale, or the decades of the log scale
// with their 2 ... 9 as short ticks.
struct BarTick {
  double value;
  bool minor;
};
std::vector<BarTick> BarTicks(double maximum, ColourScale scale, double heightPt) {
  std::vector<BarTick> ticks;
  if (scale == ColourScale::Linear) {
    for (double value : NiceTicks(0.0, maximum, BarTickCount(heightPt))) ticks.push_back({value, false});
    return ticks;
  }
  const double floor = maximum / std::pow(10.0, kLogScaleDecades);
  for (double decade : LogBarDecades(maximum)) {
    ticks.push_back({decade, false});
    for (int m = 2; m <= 9; ++m)
      if (m * decade <= maximum) ticks.push_back({m * decade, true});
  }
  // The multiples below the lowest decade that still lie above the floor.
  if (!ticks.empty())
    for (int m = 2; m <= 9; ++m)
      if (m * ticks.front().value / 10 >= floor) ticks.push_back({m * ticks.front().value / 10, true});
  return ticks;
}

// The widest label the bar may have, whatever its height.
double WidestBarLabel(cairo_t* cr, double maximum, ColourScale scale) {
  SetFont(cr, kTickFontPt);
  double widest = 0;
  for (int most = 2; most <= kBarTicks; ++most)
    for (const BarTick& tick : BarTicks(maximum, scale, (most - 1) * kBarLabelSpacingPt))
      if (!tick.minor) widest = std::max(widest, TextWidth(cr, TickText(tick.value)));
  return widest;
}

// The words of the bar's title, each a place where it may break.
std::vector<std::string> BarTitleWords(const MapFigureData& map, ColourScale scale) {
  std::vector<std::string> words = {map.weighted ? "Transitions," : "Records,", "Gaussian-weighted"};
  if (scale == ColourScale::Log) words.push_back("(log scale)");
  return words;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += (line.empty() ? "" : " ") + word;
  return line;
}

// `words` on as few lines of `length` as they go at the axis titles' size.
std::vector<std::string> BarTitleLines(cairo_t* cr, const std::vector<std::string>& words, double length) {
  SetFont(cr, kAxisFontPt);
  std::vector<std::string> lines;
  for (const std::string& word : words) {
    if (!lines.empty() && TextWidth(cr, lines.back() + " " + word) <= length)
      lines.back() += " " + word;
    else
      lines.push_back(word);
  }
  return lines;
}

// An axis title at the axis titles' size, smaller where it is longer than its axis, but never
// below the tick labels' size.
void SetTitleFont(cairo_t* cr, const std::string& title, double length) {
  SetFont(cr, std::max(kTickFontPt, FittingFontSize(cr, title, kAxisFontPt, length)));
}

// An RGB24 image whose pixels `fill` sets, row by row; the caller destroys it.
template <typename Fill>
cairo_surface_t* MakeImage(int width, int height, Fill fill) {
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(image);
  unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  if (data) {
    for (int row = 0; row < height; ++row) {
      auto* line = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
      for (int col = 0; col < width; ++col) line[col] = fill(row, col) & 0xFFFFFFu;
    }
  }
  cairo_surface_mark_dirty(image);
  return image;
}

// Paints `image` over `target`, every image pixel a sharp rectangle.
void PaintImage(cairo_t* cr, cairo_surface_t* image, const Box& target) {
  cairo_save(cr);
  cairo_rectangle(cr, target.x, target.y, target.width, target.height);
  cairo_clip(cr);
  cairo_translate(cr, target.x, target.y);
  cairo_scale(cr, target.width / cairo_image_surface_get_width(image),
              target.height / cairo_image_surface_get_height(image));
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
}

void DrawDensity(cairo_t* cr, const Box& plot, const MapFigureData& map, MapOrientation orientation,
                 ColourScale scale) {
  const DensityGrid& grid = map.grid;
  const auto colourAt = [&](int initial, int final) {
    return TablePixel(map.colours, ScaledColourIndex(grid.at(initial, final), grid.maximum, scale));
  };
  cairo_surface_t* image = MakeImage(kMapCells, kMapCells, [&](int row, int col) {
    // On screen, rows are initial values downwards; otherwise rows are final values upwards.
    return orientation == MapOrientation::AsOnScreen ? colourAt(row, col) : colourAt(col, kMapCells - 1 - row);
  });
  PaintImage(cr, image, plot);
  cairo_surface_destroy(image);
}

void Line(cairo_t* cr, PagePoint from, PagePoint to) {
  cairo_move_to(cr, from.x, from.y);
  cairo_line_to(cr, to.x, to.y);
}

// The cutoffs cut the final value always, the initial value too once locked: as in the window.
void DrawCutoffs(cairo_t* cr, const Box& plot, const MapFigureData& map, MapOrientation orientation) {
  cairo_save(cr);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_clip(cr);
  SetColour(cr, TablePixel(map.colours, kColorEntries - 1));
  cairo_set_line_width(cr, kOverlayLinePt);
  for (int slot = 0; slot <= std::min(map.states, kMaxStates) - 2; ++slot) {
    const double c = map.cutoffs[static_cast<std::size_t>(slot)];
    if (!(c >= 0.0 && c <= 1.0)) continue;
    Line(cr, PointOf(plot, orientation, kMapAxisLow, c), PointOf(plot, orientation, kMapAxisHigh, c));
    if (map.locked) Line(cr, PointOf(plot, orientation, c, kMapAxisLow), PointOf(plot, orientation, c, kMapAxisHigh));
  }
  // A small cross where each class's spot belongs.
  for (const std::optional<double>& initial : map.stateMeans)
    for (const std::optional<double>& final : map.stateMeans) {
      if (!initial || !final) continue;
      const PagePoint at = PointOf(plot, orientation, *initial, *final);
      Line(cr, {at.x - kMeanMarkPt, at.y}, {at.x + kMeanMarkPt, at.y});
      Line(cr, {at.x, at.y - kMeanMarkPt}, {at.x, at.y + kMeanMarkPt});
    }
  cairo_stroke(cr);
  if (map.circle && map.circle->radius >= 0) {
    // The circle takes the records within radius / 200 of (row / 200, column / 200).
    const SelectionCircle& circle = *map.circle;
    const PagePoint centre = PointOf(plot, orientation, circle.row * kCellStep, circle.col * kCellStep);
    const double radius = circle.radius * kCellStep / ValueSpan() * plot.width;
    cairo_new_sub_path(cr);
    cairo_arc(cr, centre.x, centre.y, radius, 0, 2 * std::numbers::pi);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

void DrawAxes(cairo_t* cr, const Box& plot, const MapStyle& style) {
  SetColour(cr, kFrameColour);
  cairo_set_line_width(cr, kAxisLinePt);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_stroke(cr);
  SetFont(cr, kTickFontPt);
  const bool onScreen = style.orientation == MapOrientation::AsOnScreen;
  const double step = ValueTickStep(cr, plot.width);
  DrawHorizontalTicks(cr, plot.Bottom(), ValueTicks(plot.x, plot.width, false, step), true);
  const double labels = DrawVerticalTicks(
      cr, plot.x, ValueTicks(onScreen ? plot.y : plot.Bottom(), plot.height, !onScreen, step), true);
  const double belowLabels = plot.Bottom() + kTickPt + kLabelGapPt + DigitHeight(cr) + kTitleGapPt;
  const std::string& across = onScreen ? style.finalName : style.initialName;
  const std::string& up = onScreen ? style.initialName : style.finalName;
  SetTitleFont(cr, across, plot.width);
  DrawText(cr, across, plot.x + plot.width / 2, belowLabels, {0.5, 0.0});
  const double leftOfLabels = plot.x - kTickPt - kLabelGapPt - labels - kTitleGapPt;
  SetTitleFont(cr, up, plot.height);
  DrawText(cr, up, leftOfLabels, plot.y + plot.height / 2, {0.5, 1.0}, -std::numbers::pi / 2);
}

void DrawColourBar(cairo_t* cr, const MapLayout& layout, const MapFigureData& map, ColourScale scale) {
  const Box& bar = layout.colourBar;
  cairo_surface_t* image = MakeImage(1, kBarEntries, [&](int row, int) {
    return TablePixel(map.colours, kBarEntries - 1 - row);
  });
  PaintImage(cr, image, bar);
  cairo_surface_destroy(image);
  SetColour(cr, kFrameColour);
  cairo_set_line_width(cr, kAxisLinePt);
  cairo_rectangle(cr, bar.x, bar.y, bar.width, bar.height);
  cairo_stroke(cr);

  const double maximum = map.grid.maximum;
  std::vector<AxisTick> ticks;
  for (const BarTick& tick : BarTicks(maximum, scale, bar.height))
    ticks.push_back({bar.Bottom() - ColourBarShare(tick.value, maximum, scale) * bar.height,
                     tick.minor ? std::string() : TickText(tick.value), tick.minor});
  SetFont(cr, kTickFontPt);
  const double labels = DrawVerticalTicks(cr, bar.Right(), ticks, false);
  SetFont(cr, kAxisFontPt);
  const double x = bar.Right() + kTickPt + kLabelGapPt + labels + kTitleGapPt;
  for (std::size_t k = 0; k < layout.barTitle.size(); ++k)
    DrawText(cr, layout.barTitle[k], x + static_cast<double>(k) * kAxisFontPt * kBarTitleLineSpacing,
             bar.y + bar.height / 2, {0.5, 0.0}, -std::numbers::pi / 2);
}

}  // namespace

std::string DensityName(const MapFigureData& map) {
  return map.weighted ? "Transitions, Gaussian-weighted" : "Records, Gaussian-weighted";
}

double ValueTickStep(cairo_t* cr, double sidePt) {
  SetFont(cr, kTickFontPt);
  const double room = TextWidth(cr, "0.0") + kValueLabelGapPt;
  for (double step : kValueTickSteps)
    if (step / ValueSpan() * sidePt >= room) return step;
  return kValueTickSteps[std::size(kValueTickSteps) - 1];
}

MapLayout PlaceMap(cairo_t* cr, const Box& box, const MapFigureData& map, const MapStyle& style) {
  SetFont(cr, kTickFontPt);
  const double tickLabels = kTickPt + kLabelGapPt;
  const double left = tickLabels + TextWidth(cr, "0.0") + kTitleGapPt + kTitleLinePt;
  const double bottom = tickLabels + DigitHeight(cr) + kTitleGapPt + kTitleLinePt;
  const double barLabels = WidestBarLabel(cr, map.grid.maximum, style.scale);
  const std::vector<std::string> words = BarTitleWords(map, style.scale);
  const auto rightFor = [&](std::size_t titleLines) {
    return kBarGapPt + kBarWidthPt + tickLabels + barLabels + kTitleGapPt + kTitleLinePt +
           static_cast<double>(titleLines - 1) * kAxisFontPt * kBarTitleLineSpacing;
  };
  const auto sideFor = [&](double right) {
    return std::max(0.0, std::min(box.width - left - right, box.height - kTopRoomPt - bottom));
  };
  // The title's lines take room beside the bar, which makes the bar shorter, which may break
  // the title into more lines: each round adds a line, until the title fits the bar it leaves.
  std::vector<std::string> title = {Joined(words)};
  for (std::size_t lines = 1; lines <= words.size(); ++lines) {
    title = BarTitleLines(cr, words, sideFor(rightFor(lines)));
    if (title.size() <= lines) break;
  }
  const double right = rightFor(title.size());
  const double side = sideFor(right);
  // The map and its labels in the middle of the box.
  const double x = box.x + left + (box.width - left - right - side) / 2;
  const double y = box.y + kTopRoomPt + (box.height - kTopRoomPt - bottom - side) / 2;
  const Box plot{x, y, side, side};
  return {plot, {plot.Right() + kBarGapPt, plot.y, kBarWidthPt, side}, title};
}

void DrawMapFigure(cairo_t* cr, const Box& box, const MapFigureData& map, const MapStyle& style) {
  const MapLayout layout = PlaceMap(cr, box, map, style);
  DrawDensity(cr, layout.plot, map, style.orientation, style.scale);
  DrawCutoffs(cr, layout.plot, map, style.orientation);
  DrawAxes(cr, layout.plot, style);
  if (map.grid.maximum > 0) DrawColourBar(cr, layout, map, style.scale);
}
