#include "export/exportset.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <variant>

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
  files->push_back({"results.csv", ResultsCsv(data.source, data.results, data.dwellResults, data.rateResults)});
  files->push_back({"rates.csv", RatesCsv({data.rateResults, data.results, data.dwellResults, data.exitResults})});
  if (!data.dwellTable.empty()) files->push_back({std::string(kDwellsFileName), DwellsCsv(data.dwellTable)});
  return files;
}

namespace {

std::string CannotExport(const std::string& folder, const std::string& why) {
  return "Cannot export into \"" + folder + "\": " + why + ". Nothing was written.";
}

// "map.svg", "scheme.svg", "overview.png", "class-I-J.pdf", or a table.
bool IsExportName(std::string_view name) {
  if (name == "density.csv" || name == "histograms.csv" || name == "results.csv" || name == "rates.csv" ||
      name == kDwellsFileName)
    return true;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view stem = name.substr(0, dot);
  const std::string_view extension = name.substr(dot + 1);
  if (extension != "svg" && extension != "pdf" && extension != "png") return false;
  if (stem == "map" || stem == "overview" || stem == "scheme") return true;
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

namespace {

namespace fs = std::filesystem;

// The name NAME of a new file ".NAME.PROCESS.N.new", whichever process writes it.
std::optional<std::string_view> NewFileOf(std::string_view name) {
  constexpr std::string_view kNew = ".new";
  if (!name.starts_with('.') || !name.ends_with(kNew)) return std::nullopt;
  std::string_view rest = name.substr(1, name.size() - 1 - kNew.size());
  for (int part = 0; part < 2; ++part) {
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || !AllDigits(rest.substr(dot + 1))) return std::nullopt;
    rest = rest.substr(0, dot);
  }
  return rest;
}

// A file no other part of the program writes: a figure, or the map's or the histograms' table.
// An import writes a dwells.csv beside its reports, "Dump Log" a results.csv and a rates.csv.
bool OnlyAnExportWrites(std::string_view name) {
  return IsExportName(name) && name != kDwellsFileName && name != "results.csv" && name != "rates.csv";
}

enum class Holds { Nothing, ASet, More };

// What the folder at `path` holds: nothing, an export's set and nothing else (every entry one an
// export writes or a new file of one, and one of them a file only an export writes), or more.
Holds WhatFolderHolds(const fs::path& path, std::error_code& error) {
  const std::optional<HeldFolder> folder = HeldFolder::Open(path.string(), error);
  if (!folder) return Holds::More;
  const std::vector<HeldFolder::Entry> entries = folder->Entries();
  if (entries.empty()) return Holds::Nothing;
  bool exportsOwn = false;
  for (const HeldFolder::Entry& entry : entries) {
    const std::string_view name = NewFileOf(entry.name).value_or(entry.name);
    if (entry.folder || !IsExportName(name)) return Holds::More;
    exportsOwn = exportsOwn || OnlyAnExportWrites(name);
  }
  return exportsOwn ? Holds::ASet : Holds::More;
}

// The folder the set goes in for the folder `target` the user named: the target itself when it
// is missing, empty or holds a set alone; otherwise, so that neither the folder nor anything
// the user keeps there is ever moved (a shell or a program may stand in it, a disk may be
// mounted inside), the folder "figures" in it, which must itself be missing, empty or a set.
std::variant<fs::path, std::string> SetFolderFor(const fs::path& target) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(target, error))) return target;
  if (WhatFolderHolds(target, error) != Holds::More) return target;
  if (error) return error.message();
  const fs::path inside = target / kSetFolderName;
  const fs::file_status status = fs::symlink_status(inside, error);
  if (!fs::exists(status)) return inside;
  const std::string named = "it holds files that are no export's, and its \"" + std::string(kSetFolderName) + "\" ";
  if (!fs::is_directory(status)) return named + "is no folder";
  if (WhatFolderHolds(inside, error) == Holds::More)
    return named + (error ? "cannot be read (" + error.message() + ")" : "too: name a folder for the set");
  return inside;
}

}  // namespace

std::optional<std::string> WriteExport(const std::string& folder, const std::vector<ExportFile>& files,
                                       std::string* notice) {
  if (folder.empty()) return CannotExport(folder, "no folder was named");
  std::error_code error;
  // A link to a folder stays: the set goes where it leads.
  fs::path target = fs::absolute(folder, error).lexically_normal();
  if (error) return CannotExport(folder, error.message());
  if (!target.has_filename() && target.has_parent_path()) target = target.parent_path();
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
  const std::variant<fs::path, std::string> chosen = SetFolderFor(target);
  if (const std::string* why = std::get_if<std::string>(&chosen)) return CannotExport(folder, *why);
  const fs::path set = std::get<fs::path>(chosen);
  // A folder in a file's place belongs to the user, not to the old set.
  for (const ExportFile& file : files)
    if (fs::is_directory(fs::symlink_status(set / file.name, error)))
      return CannotExport(folder, "\"" + file.name + "\" there is a folder");
  // A process that works in the folder of the set goes on in the new one.
  const std::optional<FileIdentity> here = IdentityOf(".");
  const bool workingThere = here && here == IdentityOf(set.string());

  std::string why;
  std::unique_ptr<PendingFolder> pending = PendingFolder::Create(set.string(), kExportWriter, why);
  if (!pending) return CannotExport(folder, why);
  const auto failed = [&] {
    const std::string left = pending->Discard();
    if (left.empty()) return CannotExport(folder, why);
    return "Cannot export into \"" + folder + "\": " + why + ". The folder is as it was, but " + left + ".";
  };
  for (const ExportFile& file : files)
    if (!pending->Write(file.name, file.bytes, why)) return failed();
  if (!pending->Commit(why)) return failed();
  if (workingThere) fs::current_path(set, error);
  if (notice) {
    std::string text;
    if (set != target)
      text = "they are in its folder \"" + std::string(kSetFolderName) + "\", beside files that are no export's";
    const auto add = [&](const std::string& part) {
      if (!part.empty()) text += (text.empty() ? "" : "; ") + part;
    };
    add(StoppedRunsText(pending->Stopped(), kExportWriter.run));
    if (!pending->LeftOfOld().empty()) add("of the files it replaced, " + pending->LeftOfOld());
    *notice = std::move(text);
  }
  return std::nullopt;
}
