// An export: every figure in the chosen formats and the tables, made in memory, then written
// into one folder all together or not at all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/figuredata.h"
#include "export/figureformat.h"
#include "export/figurestyle.h"
#include "platform/pendingfolder.h"
#include "reports/parallel.h"

struct ExportOptions {
  std::vector<FigureFormat> formats = {FigureFormat::Svg, FigureFormat::Pdf, FigureFormat::Png};
  MapOrientation orientation = MapOrientation::InitialAcross;
  // A figure for print reads evenly in the perceptual colours; the window keeps the table's.
  MapColours colours = MapColours::Perceptual;
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

// The overview sheet: the rate matrix's table at its head when there is one, then the map and
// every fitted class, three panels to a row, two journal columns wide.
inline constexpr double kOverviewWidthMm = 180.0;
inline constexpr int kOverviewColumns = 3;
// A panel's height with a heading of one line; each further line of the longest heading of
// the sheet makes every panel that much taller.
inline constexpr double kOverviewPanelHeightMm = 52.0;
inline constexpr double kOverviewHeadingMm = 9.0;

// The files of an export, in this order: for each format "map", "scheme" when there is a rate
// matrix, "class-I-J" for each fitted class, "overview" when there is a class or a rate matrix,
// and "dwell-K" for each state of the dwell times when they were analysed; then "density.csv",
// "histograms.csv", "results.csv", "rates.csv" and, when the reports have dwells, "dwells.csv". Nothing when Cairo could not draw a figure, or when
// `progress` (whose steps are the figures) was asked to stop before every figure was drawn.
std::optional<std::vector<ExportFile>> ExportFiles(const ExportData& data, const ExportOptions& options,
                                                   WorkProgress* progress = nullptr);

// The figure files alone, in that order; nothing when a figure could not be drawn or the
// drawing was stopped. A build without Cairo draws none: it gives nothing unless no format is
// asked for.
std::optional<std::vector<ExportFile>> FigureFiles(const ExportData& data, const ExportOptions& options,
                                                   WorkProgress* progress = nullptr);

// What an export writes into a folder: its figures and tables ("map.svg", "class-1-2.pdf",
// "results.csv", ...), and temporary files of theirs that an earlier version left.
bool IsExportEntry(const HeldFolder::Entry& entry);
inline constexpr FolderWriter kExportWriter{"export", "export", "file of an export", "files of an export",
                                          IsExportEntry, true};

// The folder of the set inside a folder the user keeps other things in.
inline constexpr std::string_view kSetFolderName = "figures";

// Writes the files as the set in `folder`, made when it is missing, or, when `folder` holds
// anything but an export's set (the user's notes, the reports, a subfolder), in its folder
// "figures" (kSetFolderName): a folder the user keeps things in, or stands in, is never replaced
// and nothing of it is moved. The files are written and synced into a hidden folder beside the
// set's, which then takes its place in one step; the old set goes. A stop at any moment leaves
// the old set or the new, never a mix, and a folder that cannot be written, or a disk that
// fills up, leaves the old one as it was. An export never replaces a folder whose only file of
// an export's names is a dwells.csv or a results.csv (an import and "Dump Log" write those).
// Nothing when the files were written, otherwise the message for the user; `notice`, when given,
// gets where the set went when it is not `folder`, what was cleared of stopped exports into the
// same place and what is left of the old set ("" when nothing).
std::optional<std::string> WriteExport(const std::string& folder, const std::vector<ExportFile>& files,
                                       std::string* notice = nullptr);
