// An export: every figure in the chosen formats and the tables, made in memory, then written
// into one folder all together or not at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/figuredata.h"
#include "export/figureformat.h"
#include "export/figurestyle.h"

struct ExportOptions {
  std::vector<FigureFormat> formats = {FigureFormat::Svg, FigureFormat::Pdf, FigureFormat::Png};
  MapOrientation orientation = MapOrientation::InitialAcross;
  MapColours colours = MapColours::Table;
  ColourScale scale = ColourScale::Linear;
  std::string initialName = kDefaultInitialName;  // the map's axis titles
  std::string finalName = kDefaultFinalName;
  HistogramRange range = HistogramRange::Fixed;
  int digits = kDefaultHeadingDigits;  // of the rates in the class headings
};

MapStyle MapStyleOf(const ExportOptions& options);
ClassStyle ClassStyleOf(const ExportOptions& options);

struct ExportFile {
  std::string name;  // within the folder
  std::string bytes;
};

// The overview sheet: the map and every fitted class, three panels to a row, two journal
// columns wide.
inline constexpr double kOverviewWidthMm = 180.0;
inline constexpr int kOverviewColumns = 3;
// A panel's height with a heading of one line; each further line of the longest heading of
// the sheet makes every panel that much taller.
inline constexpr double kOverviewPanelHeightMm = 52.0;
inline constexpr double kOverviewHeadingMm = 9.0;

// The files of an export, in this order: for each format "map", "class-I-J" for each fitted
// class and, when there is one, "overview"; then "density.csv", "histograms.csv" and
// "results.csv". Nothing when Cairo could not draw a figure.
std::optional<std::vector<ExportFile>> ExportFiles(const ExportData& data, const ExportOptions& options);

// The figure files alone, in that order; nothing when a figure could not be drawn. A build
// without Cairo draws none: it gives nothing unless no format is asked for.
std::optional<std::vector<ExportFile>> FigureFiles(const ExportData& data, const ExportOptions& options);

// Writes the files into `folder`, which is made when it is missing. Every file is written
// whole and synced before the first one replaces a file of the folder, so a folder that cannot
// be written, or a disk that fills up, leaves every file there as it was. Nothing when the
// files were written, otherwise the message for the user.
std::optional<std::string> WriteExport(const std::string& folder, const std::vector<ExportFile>& files);
