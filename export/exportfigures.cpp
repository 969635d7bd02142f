// The figures of an export, drawn with Cairo.
#include <algorithm>

#include "export/classfigure.h"
#include "export/exportset.h"
#include "export/figurefile.h"
#include "export/mapfigure.h"

namespace {

constexpr double kSheetMarginPt = 4.0;

FigureText MapText(const ExportData& data) {
  return {"Transition density map",
          "Initial value against final value, each from 0 to 1, in the colours of the colour bar "
          "(Transition density, 0 to " + TickText(data.map.grid.maximum) + ")."};
}

FigureText ClassText(const ClassFigureData& fitted) {
  return {ClassHeading(fitted),
          "Histogram of ln(rate per frame) of the class with the fitted Gaussian; Count against ln(rate per frame), "
          "and the rate in s^-1 above."};
}

std::string OverviewHeading(const ExportData& data) {
  const std::size_t classes = data.classes.size();
  return std::to_string(data.source.reports) + (data.source.reports == 1 ? " report, " : " reports, ") +
         std::to_string(data.source.states) + " states, " + std::to_string(classes) +
         (classes == 1 ? " fitted class" : " fitted classes");
}

FigureSize OverviewSize(const ExportData& data) {
  const std::size_t panels = data.classes.size() + 1;
  const std::size_t rows = (panels + kOverviewColumns - 1) / kOverviewColumns;
  return {kOverviewWidthMm, kOverviewHeadingMm + static_cast<double>(rows) * kOverviewPanelHeightMm};
}

void DrawOverview(cairo_t* cr, double width, const ExportData& data, MapOrientation orientation) {
  SetFont(cr, kHeadingFontPt, true);
  SetColour(cr, 0x000000);
  DrawText(cr, OverviewHeading(data), width / 2, kOverviewHeadingMm * kPointsPerMm / 2, {0.5, 0.5});
  const double cellWidth = (width - 2 * kSheetMarginPt) / kOverviewColumns;
  const double cellHeight = kOverviewPanelHeightMm * kPointsPerMm;
  const auto cell = [&](std::size_t k) {
    const double x = kSheetMarginPt + static_cast<double>(k % kOverviewColumns) * cellWidth;
    const double y = kOverviewHeadingMm * kPointsPerMm + static_cast<double>(k / kOverviewColumns) * cellHeight;
    return Box{x + kSheetMarginPt, y, cellWidth - 2 * kSheetMarginPt, cellHeight - kSheetMarginPt};
  };
  DrawMapFigure(cr, cell(0), data.map, orientation);
  // Every heading of the sheet in one size, the largest at which each fits.
  double headingPt = kHeadingFontPt;
  for (const ClassFigureData& fitted : data.classes)
    headingPt = std::min(headingPt, ClassHeadingSize(cr, fitted, cell(0).width));
  for (std::size_t k = 0; k < data.classes.size(); ++k) DrawClassFigure(cr, cell(k + 1), data.classes[k], headingPt);
}

}  // namespace

std::optional<std::vector<ExportFile>> FigureFiles(const ExportData& data, const ExportOptions& options) {
  std::vector<ExportFile> files;
  bool drawn = true;
  const auto add = [&](const std::string& stem, FigureFormat format, FigureSize size, const FigureText& text,
                       const FigurePainter& paint) {
    std::string bytes = RenderFigure(format, size, text, paint);
    drawn = drawn && !bytes.empty();
    files.push_back({stem + "." + FormatExtension(format), std::move(bytes)});
  };
  for (FigureFormat format : options.formats) {
    add("map", format, {kMapFigureWidthMm, kMapFigureHeightMm}, MapText(data), [&](cairo_t* cr, double w, double h) {
      DrawMapFigure(cr, {0, 0, w, h}, data.map, options.orientation);
    });
    for (const ClassFigureData& fitted : data.classes)
      add(ClassFileStem(fitted), format, {kClassFigureWidthMm, kClassFigureHeightMm}, ClassText(fitted),
          [&](cairo_t* cr, double w, double h) {
            DrawClassFigure(cr, {0, 0, w, h}, fitted, ClassHeadingSize(cr, fitted, w));
          });
    if (!data.classes.empty())
      add("overview", format, OverviewSize(data), {"Varnel overview: " + OverviewHeading(data), MapText(data).description},
          [&](cairo_t* cr, double w, double) { DrawOverview(cr, w, data, options.orientation); });
  }
  if (!drawn) return std::nullopt;
  return files;
}
