#include "export/exportset.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "export/tables.h"
#include "platform/outputfile.h"

namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

std::string CannotExport(const std::string& folder, const std::string& why) {
  return "Cannot export into \"" + folder + "\": " + why + ". Nothing was written.";
}

}  // namespace

const char* FormatExtension(FigureFormat format) {
  switch (format) {
    case FigureFormat::Svg: return "svg";
    case FigureFormat::Pdf: return "pdf";
    case FigureFormat::Png: return "png";
  }
  return "";
}

MapStyle MapStyleOf(const ExportOptions& options) {
  return {options.orientation, options.scale, options.initialName, options.finalName};
}

ClassStyle ClassStyleOf(const ExportOptions& options) { return {options.digits, options.range}; }

std::optional<std::vector<ExportFile>> ExportFiles(const ExportData& data, const ExportOptions& options) {
  auto files = FigureFiles(data, options);
  if (!files) return std::nullopt;
  files->push_back({"density.csv", DensityCsv(data.map.grid)});
  files->push_back({"histograms.csv", HistogramsCsv(data.classes)});
  files->push_back({"results.csv", ResultsCsv(data.source, data.results)});
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
