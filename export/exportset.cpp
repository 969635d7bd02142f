#include "export/exportset.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "export/classfigure.h"
#include "export/mapfigure.h"
#include "export/tables.h"
#include "platform/outputfile.h"

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

std::string InFolder(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

std::string CannotExport(const std::string& folder, const std::string& why) {
  return "Cannot export into \"" + folder + "\": " + why + ". Nothing was written.";
}

}  // namespace

std::optional<std::vector<ExportFile>> ExportFiles(const ExportData& data, const ExportOptions& options) {
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
  files.push_back({"density.csv", DensityCsv(data.map.grid)});
  files.push_back({"histograms.csv", HistogramsCsv(data.classes)});
  files.push_back({"results.csv", ResultsCsv(data.source, data.results)});
  return files;
}

std::optional<std::string> WriteExport(const std::string& folder, const std::vector<ExportFile>& files) {
  namespace fs = std::filesystem;
  if (folder.empty()) return CannotExport(folder, "no folder was named");
  std::error_code error;
  if (!fs::exists(fs::symlink_status(folder, error))) {
    fs::create_directories(folder, error);
    if (error) return CannotExport(folder, error.message());
  }
  if (!fs::is_directory(folder, error)) return CannotExport(folder, "it is not a folder");
  // A folder in a file's place would stop the renames half-way through.
  for (const ExportFile& file : files)
    if (fs::is_directory(fs::symlink_status(InFolder(folder, file.name), error)))
      return CannotExport(folder, "\"" + file.name + "\" there is a folder");

  std::vector<std::unique_ptr<OutputFile>> outputs;
  for (const ExportFile& file : files) {
    outputs.push_back(std::make_unique<OutputFile>(InFolder(folder, file.name)));
    outputs.back()->Write(file.bytes);
  }
  for (std::size_t k = 0; k < files.size(); ++k)
    if (const auto failure = outputs[k]->Finish()) return CannotExport(folder, "\"" + files[k].name + "\": " + *failure);
  for (std::size_t k = 0; k < files.size(); ++k)
    if (const auto failure = outputs[k]->Commit())
      return "Cannot write \"" + InFolder(folder, files[k].name) + "\": " + *failure + ".";
  return std::nullopt;
}
