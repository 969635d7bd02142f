#include "export/exportset.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "export/tables.h"
#include "platform/outputfile.h"
#include "platform/pendingfolder.h"
#include "platform/system.h"

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

std::optional<std::vector<ExportFile>> ExportFiles(const ExportData& data, const ExportOptions& options,
                                                   WorkProgress* progress) {
  auto files = FigureFiles(data, options, progress);
  if (!files) return std::nullopt;
  files->push_back({"density.csv", DensityCsv(data.map.grid)});
  files->push_back({"histograms.csv", HistogramsCsv(data.classes)});
  files->push_back({"results.csv", ResultsCsv(data.source, data.results, data.dwellResults)});
  if (!data.dwellTable.empty()) files->push_back({std::string(kDwellsFileName), DwellsCsv(data.dwellTable)});
  return files;
}

namespace {

std::string CannotExport(const std::string& folder, const std::string& why) {
  return "Cannot export into \"" + folder + "\": " + why + ". Nothing was written.";
}

// "map.svg", "overview.png", "class-I-J.pdf", or a table.
bool IsExportName(std::string_view name) {
  if (name == "density.csv" || name == "histograms.csv" || name == "results.csv" || name == kDwellsFileName)
    return true;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view stem = name.substr(0, dot);
  const std::string_view extension = name.substr(dot + 1);
  if (extension != "svg" && extension != "pdf" && extension != "png") return false;
  if (stem == "map" || stem == "overview") return true;
  constexpr std::string_view kDwell = "dwell-";
  if (stem.starts_with(kDwell) && stem.size() > kDwell.size() && AllDigits(stem.substr(kDwell.size()))) return true;
  constexpr std::string_view kClass = "class-";
  const std::size_t dash = stem.find('-', kClass.size());
  return stem.starts_with(kClass) && dash != std::string_view::npos &&
         AllDigits(stem.substr(kClass.size(), dash - kClass.size())) && AllDigits(stem.substr(dash + 1));
}

}  // namespace

bool IsExportEntry(const HeldFolder::Entry& entry) {
  // An earlier version wrote each file of the set beside it, as a new file of its own.
  const std::optional<std::string_view> written = StoppedNewFileOf(entry.name);
  return !entry.folder && (IsExportName(entry.name) || (written && IsExportName(*written)));
}

std::optional<std::string> WriteExport(const std::string& folder, const std::vector<ExportFile>& files,
                                       std::string* notice) {
  namespace fs = std::filesystem;
  if (folder.empty()) return CannotExport(folder, "no folder was named");
  std::error_code error;
  // A link to a folder stays: the set goes where it leads.
  fs::path target = fs::absolute(folder, error).lexically_normal();
  if (error) return CannotExport(folder, error.message());
  if (fs::is_symlink(fs::symlink_status(target, error))) {
    target = fs::canonical(target, error);
    if (error) return CannotExport(folder, error.message());
  }
  const fs::file_status status = fs::symlink_status(target, error);
  if (!fs::exists(status)) {
    // The folders above it are made; the folder itself appears whole, with the files.
    if (const fs::path parent = target.parent_path(); !parent.empty() && !fs::is_directory(parent, error)) {
      fs::create_directories(parent, error);
      if (error) return CannotExport(folder, error.message());
    }
  } else if (!fs::is_directory(status)) {
    return CannotExport(folder, "it is not a folder");
  }
  // A folder in a file's place belongs to the user, not to the old set.
  for (const ExportFile& file : files)
    if (fs::is_directory(fs::symlink_status(target / file.name, error)))
      return CannotExport(folder, "\"" + file.name + "\" there is a folder");
  // A process that works in the folder it replaces goes on in the new one.
  const std::optional<FileIdentity> here = IdentityOf(".");
  const bool workingThere = here && here == IdentityOf(target.string());

  std::string why;
  std::unique_ptr<PendingFolder> pending = PendingFolder::Create(target.string(), kExportWriter, why);
  if (!pending) return CannotExport(folder, why);
  const auto failed = [&] {
    const std::string left = pending->Discard();
    if (left.empty()) return CannotExport(folder, why);
    return "Cannot export into \"" + folder + "\": " + why + ". The folder is as it was, but " + left + ".";
  };
  for (const ExportFile& file : files)
    if (!pending->Write(file.name, file.bytes, why)) return failed();
  if (!pending->Commit(why)) return failed();
  if (workingThere) fs::current_path(target, error);
  if (notice) {
    std::string text = StoppedRunsText(pending->Stopped(), kExportWriter.run);
    if (!pending->LeftOfOld().empty())
      text += (text.empty() ? "of the files it replaced, " : "; of the files it replaced, ") + pending->LeftOfOld();
    *notice = std::move(text);
  }
  return std::nullopt;
}
