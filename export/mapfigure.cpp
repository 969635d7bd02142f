#include "export/mapfigure.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// Ticks of both value axes: 0, 0.2, ..., 1.0.
constexpr int kValueTicks = 6;
constexpr double kValueTickStep = 0.2;
// The colour bar: its width, its gap to the map, and at most this many labelled values.
constexpr double kBarWidthPt = 7.0;
constexpr double kBarGapPt = 8.0;
constexpr int kBarTicks = 6;
// Room above the plot for the half of the top tick label that reaches over it.
constexpr double kTopRoomPt = 5.0;
// Cutoff lines and the circle.
constexpr double kOverlayLinePt = 0.75;
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

std::vector<AxisTick> ValueTicks(double from, double length, bool upwards) {
  std::vector<AxisTick> ticks;
  for (int k = 0; k < kValueTicks; ++k) {
    const double value = k * kValueTickStep;
    const double offset = (value - kMapAxisLow) / ValueSpan() * length;
    ticks.push_back({upwards ? from - offset : from + offset, FixedText(value, 1)});
  }
  return ticks;
}

std::vector<double> BarValues(double maximum) { return NiceTicks(0.0, maximum, kBarTicks); }

double WidestBarLabel(cairo_t* cr, double maximum) {
  SetFont(cr, kTickFontPt);
  double widest = 0;
  for (double value : BarValues(maximum)) widest = std::max(widest, TextWidth(cr, TickText(value)));
  return widest;
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

void DrawDensity(cairo_t* cr, const Box& plot, const MapFigureData& map, MapOrientation orientation) {
  const DensityGrid& grid = map.grid;
  const auto colourAt = [&](int initial, int final) {
    return TablePixel(map.colours, ColorIndexOf(grid.at(initial, final), grid.maximum));
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

void DrawAxes(cairo_t* cr, const Box& plot, MapOrientation orientation) {
  SetColour(cr, kFrameColour);
  cairo_set_line_width(cr, kAxisLinePt);
  cairo_rectangle(cr, plot.x, plot.y, plot.width, plot.height);
  cairo_stroke(cr);
  SetFont(cr, kTickFontPt);
  const bool onScreen = orientation == MapOrientation::AsOnScreen;
  DrawHorizontalTicks(cr, plot.Bottom(), ValueTicks(plot.x, plot.width, false), true);
  const double labels =
      DrawVerticalTicks(cr, plot.x, ValueTicks(onScreen ? plot.y : plot.Bottom(), plot.height, !onScreen), true);
  const double belowLabels = plot.Bottom() + kTickPt + kLabelGapPt + DigitHeight(cr) + kTitleGapPt;
  SetFont(cr, kAxisFontPt);
  DrawText(cr, onScreen ? "Final value" : "Initial value", plot.x + plot.width / 2, belowLabels, {0.5, 0.0});
  const double leftOfLabels = plot.x - kTickPt - kLabelGapPt - labels - kTitleGapPt;
  DrawText(cr, onScreen ? "Initial value" : "Final value", leftOfLabels, plot.y + plot.height / 2, {0.5, 1.0},
           -std::numbers::pi / 2);
}

void DrawColourBar(cairo_t* cr, const Box& bar, const MapFigureData& map) {
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
  for (double value : BarValues(maximum))
    ticks.push_back({bar.Bottom() - value / maximum * bar.height, TickText(value)});
  SetFont(cr, kTickFontPt);
  const double labels = DrawVerticalTicks(cr, bar.Right(), ticks, false);
  SetFont(cr, kAxisFontPt);
  const double x = bar.Right() + kTickPt + kLabelGapPt + labels + kTitleGapPt;
  DrawText(cr, "Transition density", x, bar.y + bar.height / 2, {0.5, 0.0}, -std::numbers::pi / 2);
}

}  // namespace

MapLayout PlaceMap(cairo_t* cr, const Box& box, const MapFigureData& map) {
  SetFont(cr, kTickFontPt);
  const double tickLabels = kTickPt + kLabelGapPt;
  const double left = tickLabels + TextWidth(cr, "0.0") + kTitleGapPt + kTitleLinePt;
  const double bottom = tickLabels + DigitHeight(cr) + kTitleGapPt + kTitleLinePt;
  const double right = kBarGapPt + kBarWidthPt + tickLabels + WidestBarLabel(cr, map.grid.maximum) + kTitleGapPt +
                       kTitleLinePt;
  const double side = std::max(0.0, std::min(box.width - left - right, box.height - kTopRoomPt - bottom));
  // The map and its labels in the middle of the box.
  const double x = box.x + left + (box.width - left - right - side) / 2;
  const double y = box.y + kTopRoomPt + (box.height - kTopRoomPt - bottom - side) / 2;
  const Box plot{x, y, side, side};
  return {plot, {plot.Right() + kBarGapPt, plot.y, kBarWidthPt, side}};
}

void DrawMapFigure(cairo_t* cr, const Box& box, const MapFigureData& map, MapOrientation orientation) {
  const MapLayout layout = PlaceMap(cr, box, map);
  DrawDensity(cr, layout.plot, map, orientation);
  DrawCutoffs(cr, layout.plot, map, orientation);
  DrawAxes(cr, layout.plot, orientation);
  if (map.grid.maximum > 0) DrawColourBar(cr, layout.colourBar, map);
}
