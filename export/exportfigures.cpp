// The figures of an export, drawn with Cairo.
#include <algorithm>
#include <cmath>
#include <functional>

#include "export/classfigure.h"
#include "export/dwellfigure.h"
#include "export/exportset.h"
#include "export/figurefile.h"
#include "export/mapcolours.h"
#include "export/mapfigure.h"
#include "export/schemefigure.h"

namespace {

constexpr double kSheetMarginPt = 4.0;
// The overview's own heading, above the panels.
constexpr double kOverviewTitlePt = kHeadingFontPt;
// Between the rate matrix's table and the panels below it.
constexpr double kOverviewTableGapPt = 8.0;

FigureText MapText(const ExportData& data, const ExportOptions& options) {
  const double maximum = data.map.grid.maximum;
  const std::string scale =
      options.scale == ColourScale::Log
          ? "on a log scale from " + TickText(maximum / std::pow(10.0, kLogScaleDecades)) +
                " (a thousandth of the maximum, and every density below it) to " + TickText(maximum)
          : "from 0 to " + TickText(maximum);
  const std::string spot = data.map.weighted ? "the record's transitions" : "1";
  const std::string axes = options.orientation == MapOrientation::AsOnScreen
                               ? options.finalName + " across and " + options.initialName + " down"
                               : options.initialName + " across and " + options.finalName + " up";
  return {"Transition density map",
          axes + ", each from 0 to 1, in the colours of the colour bar (" +
              DensityName(data.map) + ", " + scale + "). Each cell holds, summed over the records, " + spot +
              " times exp(-d^2 / " + TickText(kSpotSpread) +
              "), d the distance from the record's point (initial, final) to the cell's: a spot of height 1 and "
              "standard deviation " + TickText(std::sqrt(kSpotSpread / 2), 2) + " around each record."};
}

FigureText ClassText(const ClassFigureData& fitted, const ClassStyle& style) {
  const std::string sample = ClassSampleText(fitted);
  return {ClassHeading(fitted, style.digits) + (sample.empty() ? "" : "; " + sample),
          "Histogram of ln(rate per frame) of the class with the fitted Gaussian; Count against ln(rate per frame), "
          "and the rate in s^-1 above."};
}

FigureText SchemeText(const SchemeData& scheme) {
  return {SchemeHeading(scheme),
          "Kinetic scheme of the rate matrix: each state with its number, the mean value of its frames and its share "
          "of all frames; an arrow for each free path with its rate in s^-1 and 95 % bootstrap interval, or its upper "
          "limit where no step was counted (dashed); flagged rates grey, their marks explained below."};
}

std::string OverviewHeading(const ExportData& data) {
  const std::size_t classes = data.classes.size();
  std::string heading = std::to_string(data.source.reports) + (data.source.reports == 1 ? " report, " : " reports, ") +
                        std::to_string(data.source.states) + " states";
  if (classes > 0 || !data.scheme)
    heading += ", " + std::to_string(classes) + (classes == 1 ? " fitted class" : " fitted classes");
  if (data.scheme) heading += ", rate matrix";
  return heading;
}

// The sheet's heading and, when there is a rate matrix, its table: where the panels begin.
// The tables that head the overview: the rate matrix's, then the dwell times' rates.
std::vector<RateTable> OverviewTables(const ExportData& data) {
  std::vector<RateTable> tables;
  if (data.scheme) tables.push_back(MatrixRateTable(*data.scheme));
  if (RateTable dwells = DwellRateTable(data.dwellResults); !dwells.rows.empty()) tables.push_back(std::move(dwells));
  return tables;
}

double OverviewPanelsTop(cairo_t* cr, double width, const ExportData& data) {
  double top = kOverviewHeadingMm * kPointsPerMm;
  for (const RateTable& table : OverviewTables(data))
    top += RateTableHeight(cr, table, width - 4 * kSheetMarginPt) + kOverviewTableGapPt;
  return top;
}

std::size_t OverviewRows(const ExportData& data) {
  return (data.classes.size() + 1 + kOverviewColumns - 1) / kOverviewColumns;
}

// A panel of the sheet: `k` counts from the map, row by row, in a sheet of width `width` whose
// panels begin at `top`.
Box OverviewCell(double width, double top, double cellHeight, std::size_t k) {
  const double cellWidth = (width - 2 * kSheetMarginPt) / kOverviewColumns;
  const double x = kSheetMarginPt + static_cast<double>(k % kOverviewColumns) * cellWidth;
  const double y = top + static_cast<double>(k / kOverviewColumns) * cellHeight;
  return Box{x + kSheetMarginPt, y, cellWidth - 2 * kSheetMarginPt, cellHeight - kSheetMarginPt};
}

// Every heading of the sheet in one size, the largest at which each line fits (never below the
// tick labels' size), room above every plot for the longest of them and below it for the
// longest footnote.
std::vector<ClassHeadingLayout> OverviewHeadings(cairo_t* cr, double width, const ExportData& data,
                                                 const ClassStyle& style) {
  const double headingWidth = OverviewCell(width, 0, 0, 0).width;
  double sizePt = kHeadingFontPt;
  for (const ClassFigureData& fitted : data.classes)
    sizePt = std::min(sizePt, ClassHeadingSize(cr, fitted, style, headingWidth));
  std::vector<ClassHeadingLayout> headings;
  std::size_t room = 1, notes = 0;
  for (const ClassFigureData& fitted : data.classes) {
    headings.push_back(ClassHeadingAt(cr, fitted, style, sizePt, headingWidth));
    room = std::max(room, headings.back().lines.size());
    notes = std::max(notes, headings.back().notes.size());
  }
  for (ClassHeadingLayout& heading : headings) {
    heading.roomLines = room;
    heading.roomNotes = notes;
  }
  return headings;
}

// The sheet grows with its headings: each line beyond the first, and each line of the longest
// footnote, makes every panel taller.
FigureSize OverviewSize(const ExportData& data, const ClassStyle& style) {
  const double width = kOverviewWidthMm * kPointsPerMm;
  // Measured as the vector surfaces measure text: without hinted metrics.
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  cairo_font_options_t* font = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(font, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, font);
  const std::vector<ClassHeadingLayout> headings = OverviewHeadings(cr, width, data, style);
  const double panelsTopPt = OverviewPanelsTop(cr, width, data);
  cairo_font_options_destroy(font);
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  double extraPt = 0;
  if (!headings.empty()) {
    const ClassHeadingLayout& longest = headings.front();
    extraPt = HeadingHeight(longest.sizePt, longest.roomLines) - HeadingHeight(longest.sizePt, 1) +
              NotesHeight(longest.roomNotes);
  }
  const double panelMm = kOverviewPanelHeightMm + extraPt / kPointsPerMm;
  return {kOverviewWidthMm, panelsTopPt / kPointsPerMm + static_cast<double>(OverviewRows(data)) * panelMm};
}

void DrawOverview(cairo_t* cr, double width, double height, const ExportData& data, const MapFigureData& map,
                  const ExportOptions& options) {
  SetFont(cr, kOverviewTitlePt, true);
  SetColour(cr, 0x000000);
  DrawText(cr, OverviewHeading(data), width / 2, kOverviewHeadingMm * kPointsPerMm / 2, {0.5, 0.5});
  // The tables of rates head the sheet, over the panels' full width.
  const double left = 2 * kSheetMarginPt, tableWidth = width - 2 * left;
  double tableTop = kOverviewHeadingMm * kPointsPerMm;
  for (const RateTable& table : OverviewTables(data)) {
    const double tableHeight = RateTableHeight(cr, table, tableWidth);
    DrawRateTable(cr, {left, tableTop, tableWidth, tableHeight}, table);
    tableTop += tableHeight + kOverviewTableGapPt;
  }
  const double top = OverviewPanelsTop(cr, width, data);
  const double cellHeight = (height - top) / static_cast<double>(OverviewRows(data));
  DrawMapFigure(cr, OverviewCell(width, top, cellHeight, 0), map, MapStyleOf(options));
  const ClassStyle style = ClassStyleOf(options);
  const std::vector<ClassHeadingLayout> headings = OverviewHeadings(cr, width, data, style);
  for (std::size_t k = 0; k < data.classes.size(); ++k)
    DrawClassFigure(cr, OverviewCell(width, top, cellHeight, k + 1), data.classes[k], style, headings[k]);
}

}  // namespace

std::optional<std::vector<ExportFile>> FigureFiles(const ExportData& data, const ExportOptions& options,
                                                   WorkProgress* progress) {
  std::vector<ExportFile> files;
  bool drawn = true;
  // Per format: the map, the scheme of the rate matrix when there is one, a figure per class, and
  // the overview when there is a class or a table of rates.
  const std::size_t dwellStates = data.dwells ? data.dwells->perState.size() : 0;
  const bool overview = !data.classes.empty() || data.scheme || !DwellRateTable(data.dwellResults).rows.empty();
  if (progress)
    progress->total = options.formats.size() *
                      (1 + (data.scheme ? 1 : 0) + data.classes.size() + (overview ? 1 : 0) + dwellStates);
  const auto put = [&](const std::string& stem, FigureFormat format, const std::function<std::string()>& render) {
    if (!drawn) return;
    if (progress && progress->StopRequested()) {
      drawn = false;
      return;
    }
    std::string bytes = render();
    drawn = !bytes.empty();
    files.push_back({stem + "." + FormatExtension(format), std::move(bytes)});
    if (progress) progress->Step();
  };
  const auto add = [&](const std::string& stem, FigureFormat format, FigureSize size, const FigureText& text,
                       const FigurePainter& paint) {
    put(stem, format, [&] { return RenderFigure(format, size, text, paint); });
  };
  MapFigureData map = data.map;
  if (options.colours == MapColours::Perceptual) map.colours = PerceptualColours();
  const MapStyle mapStyle = MapStyleOf(options);
  const ClassStyle classStyle = ClassStyleOf(options);
  const FigureText mapText = MapText(data, options);
  for (FigureFormat format : options.formats) {
    add("map", format, {kMapFigureWidthMm, kMapFigureHeightMm}, mapText, [&](cairo_t* cr, double w, double h) {
      DrawMapFigure(cr, {0, 0, w, h}, map, mapStyle);
    });
    if (data.scheme)
      add("scheme", format, SchemeFigureSize(*data.scheme), SchemeText(*data.scheme),
          [&](cairo_t* cr, double w, double h) { DrawSchemeFigure(cr, w, h, *data.scheme); });
    for (const ClassFigureData& fitted : data.classes)
      add(ClassFileStem(fitted), format, {kClassFigureWidthMm, kClassFigureHeightMm}, ClassText(fitted, classStyle),
          [&](cairo_t* cr, double w, double h) {
            DrawClassFigure(cr, {0, 0, w, h}, fitted, classStyle, LayOutClassHeading(cr, fitted, classStyle, w));
          });
    if (overview)
      add("overview", format, OverviewSize(data, classStyle), {"Varnel overview: " + OverviewHeading(data), mapText.description},
          [&](cairo_t* cr, double w, double h) { DrawOverview(cr, w, h, data, map, options); });
    for (std::size_t state = 0; state < dwellStates; ++state)
      put("dwell-" + std::to_string(state + 1), format,
          [&] { return DwellFigureFile(format, *data.dwells, static_cast<int>(state)); });
  }
  if (!drawn) return std::nullopt;
  return files;
}
