// Reading transition reports into the session, importing idealised traces, and the density map
// built from what was read.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "analysis/fields.h"
#include "analysis/session.h"
#include "import/dwellcheck.h"
#include "import/dwelltable.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "platform/system.h"
#include "reports/gridfile.h"
#include "reports/outputdir.h"
#include "reports/parallel.h"
#include "reports/reportfile.h"

namespace {

constexpr std::uint64_t kBytesPerRecord = 5 * sizeof(double);

struct Shortfall {
  std::string path;
  std::string problem;  // why it could not be opened; empty when it was
  std::size_t missing;
};

// The directory of `path` with its final separator; empty for a bare file name.
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file name of `path`, without its folder.
std::string FileNameOf(const std::string& path) { return path.substr(DirectoryOf(path).size()); }

// Megabytes, for messages.
std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + 999'999) / 1'000'000) + " MB"; }

// Why a load of `files` reports of K x K records cannot be held, or its map file not be written
// into `folder`, if it cannot: said before anything is read or written.
std::optional<std::string> SizeRefusal(std::uint64_t records, int peaks, std::size_t files, const std::string& folder) {
  const std::string what = "Cannot load " + std::to_string(files) + " files of " + std::to_string(peaks) + " x " +
                           std::to_string(peaks) + " records: ";
  const std::string kept = " The records loaded before are kept.";
  if (records > static_cast<std::uint64_t>(INT32_MAX))
    return what + std::to_string(records) + " records are more than Varnel can hold." + kept;
  const auto memory = AvailableMemory();
  if (memory && records * kBytesPerRecord > *memory)
    return what + "they need " + Megabytes(records * kBytesPerRecord) + " of memory, and " + Megabytes(*memory) +
           " are available." + kept;
  const auto space = FreeSpace(folder);
  const std::uint64_t fileSize = GridFileSize(static_cast<std::size_t>(records));
  if (space && fileSize > *space)
    return what + "their \"3dgrid.dat\" would take " + Megabytes(fileSize) + ", and " + Megabytes(*space) +
           " are free in \"" + (folder.empty() ? std::string(".") : folder) + "\"." + kept;
  return std::nullopt;
}

// `records` all-zero records, built aside so that a refused load leaves the old ones alone; or
// nothing when the memory cannot be had.
std::optional<TransitionRecords> AllocateRecords(std::size_t records) {
  try {
    return TransitionRecords(records);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

// Reads every report into its place in `records`, several reports at a time; returns how each
// was read, in the order of `file_names`. With `progress`, each report read is a step, and none
// is read once it is asked to stop.
std::vector<ReportReading> ReadReports(const std::vector<std::string>& file_names, std::size_t perFile,
                                       TransitionRecords& records, WorkProgress* progress) {
  std::vector<ReportReading> readings(file_names.size());
  ForEachInParallel(file_names.size(), [&](std::size_t f) {
    if (progress && progress->StopRequested()) return;
    readings[f] = ReadReport(file_names[f], perFile, records, f * perFile);
    if (progress) progress->Step();
  });
  return readings;
}

// The reports that fell short of `perFile` records, in the order of `file_names`.
std::vector<Shortfall> ShortfallsOf(const std::vector<std::string>& file_names,
                                    const std::vector<ReportReading>& readings, std::size_t perFile) {
  std::vector<Shortfall> shortfalls;
  for (std::size_t f = 0; f < file_names.size(); ++f)
    if (readings[f].supplied < perFile)
      shortfalls.push_back({file_names[f], readings[f].problem, perFile - readings[f].supplied});
  return shortfalls;
}

// At most this many files are named in one message; the rest are counted.
constexpr std::size_t kNamesShown = 20;

// The file names (without their folders) of `paths`, one per line.
std::string NameList(const std::vector<std::string>& paths) {
  std::string text;
  for (std::size_t k = 0; k < paths.size() && k < kNamesShown; ++k) {
    text += '\n';
    text += FileNameOf(paths[k]);
  }
  if (paths.size() > kNamesShown) text += "\nand " + std::to_string(paths.size() - kNamesShown) + " more";
  return text;
}

// The chosen files that are reports: the program's own output files are left out, with a word.
std::vector<std::string> LeaveOutOwnFiles(const std::vector<std::string>& chosen, Outcome& outcome) {
  std::vector<std::string> reports, own;
  for (const std::string& path : chosen) (IsOwnOutputName(FileNameOf(path)) ? own : reports).push_back(path);
  if (!own.empty())
    outcome.Notice("Left out " + std::to_string(own.size()) + (own.size() == 1 ? " file" : " files") +
                   " that Varnel writes itself and that are no reports:" + NameList(own));
  return reports;
}

std::string ShortfallMessage(const std::vector<Shortfall>& shortfalls, std::size_t perFile) {
  std::string text = "Some reports did not hold all their records; the missing records count as zeros:";
  for (std::size_t k = 0; k < shortfalls.size() && k < kNamesShown; ++k) {
    const Shortfall& s = shortfalls[k];
    text += "\n" + s.path + ": ";
    if (!s.problem.empty()) text += "cannot be opened (" + s.problem + "), ";
    text += std::to_string(s.missing) + " of " + std::to_string(perFile) + " records missing";
  }
  if (shortfalls.size() > kNamesShown)
    text += "\nand " + std::to_string(shortfalls.size() - kNamesShown) + " more reports";
  return text;
}

// The dwells of the reports at `file_names`, in their order, from the "dwells.csv" in each
// report's folder; a report's molecule is its file name without ".dat". Reports without dwells
// (no table beside them, or none of theirs in it) are said in `outcome` when others have them.
// Dwells that are not those the report's records (`perFile` of them from report f's place f x
// perFile in `records`) were counted from are left out, and the molecules named.
DwellTable DwellsBeside(const std::vector<std::string>& file_names, const TransitionRecords& records,
                        std::size_t perFile, Outcome& outcome) {
  std::map<std::string, std::map<std::string, std::vector<LevelDwell>, std::less<>>> folders;
  std::vector<std::string> unreadable;
  for (const std::string& path : file_names) {
    const std::string folder = DirectoryOf(path);
    if (folders.contains(folder)) continue;
    auto& molecules = folders[folder];
    const std::string table = folder + std::string(kDwellsFileName);
    // A link that leads nowhere, or round in a loop, is a table that cannot be read, not none.
    if (std::error_code missing; !std::filesystem::exists(std::filesystem::symlink_status(table, missing))) continue;
    DwellsReading reading = ReadDwellsCsv(table);
    if (!reading.error.empty()) {
      unreadable.push_back(reading.error);
      continue;
    }
    for (MoleculeDwells& molecule : reading.table) molecules.emplace(molecule.molecule, std::move(molecule.dwells));
  }
  DwellTable dwells;
  std::size_t without = 0;
  std::vector<std::string> disagreeing;
  for (std::size_t f = 0; f < file_names.size(); ++f) {
    const std::string& path = file_names[f];
    std::string name = FileNameOf(path);
    if (name.size() > 4 && name.ends_with(".dat")) name.resize(name.size() - 4);
    auto& molecules = folders[DirectoryOf(path)];
    const auto found = molecules.find(name);
    if (found == molecules.end()) {
      ++without;
      continue;
    }
    if (const std::string why = DwellsDisagreement(found->second, records, f * perFile, perFile); !why.empty())
      disagreeing.push_back(path + ": " + why);
    else
      dwells.push_back({std::move(name), std::move(found->second)});
    molecules.erase(found);
  }
  if (!disagreeing.empty()) {
    std::string text = "The dwells in \"" + std::string(kDwellsFileName) + "\" of " +
                       std::to_string(disagreeing.size()) + " of the " + std::to_string(file_names.size()) +
                       " reports are not those their reports were counted from (a table of another import, or "
                       "changed since); the dwell times leave them out:";
    for (std::size_t k = 0; k < disagreeing.size() && k < kNamesShown; ++k) text += "\n" + disagreeing[k];
    if (disagreeing.size() > kNamesShown) text += "\nand " + std::to_string(disagreeing.size() - kNamesShown) + " more";
    outcome.Notice(std::move(text));
  }
  for (const std::string& error : unreadable)
    outcome.Notice("The dwells beside the reports cannot be read, and the dwell times leave them out: " + error);
  if (!dwells.empty() && without > 0)
    outcome.Notice(std::to_string(without) + " of the " + std::to_string(file_names.size()) +
                   " reports have no dwells in a \"" + std::string(kDwellsFileName) +
                   "\" beside them; the dwell times count the others.");
  return dwells;
}

}  // namespace

Outcome Session::Load(const std::vector<std::string>& chosen, WorkProgress* progress) {
  Outcome outcome;
  outcome.done = false;
  if (chosen.empty()) return outcome;
  const std::vector<std::string> file_names = LeaveOutOwnFiles(chosen, outcome);
  if (file_names.empty()) return outcome;

  // SetPeaks keeps K within 0 ... 1000; this only guards the arithmetic below.
  const int peaks = std::clamp(peaks_, 0, kMaxPeaks);
  const auto perFile = static_cast<std::size_t>(peaks) * static_cast<std::size_t>(peaks);
  const std::uint64_t records = static_cast<std::uint64_t>(perFile) * file_names.size();
  if (const auto refusal = SizeRefusal(records, peaks, file_names.size(), DirectoryOf(file_names.front())))
    return outcome.Error(*refusal);

  std::optional<TransitionRecords> loaded = AllocateRecords(static_cast<std::size_t>(records));
  if (!loaded)
    return outcome.Error("Cannot load " + std::to_string(records) +
                         " records: there is not enough memory. The records loaded before are kept.");
  if (progress) progress->total = file_names.size();
  const std::vector<ReportReading> readings = ReadReports(file_names, perFile, *loaded, progress);
  if (progress && progress->StopRequested())
    return outcome.Notice("Stopped reading the reports. The records loaded before are kept.");
  const bool anyRead =
      std::any_of(readings.begin(), readings.end(), [](const ReportReading& r) { return r.supplied > 0; });
  if (perFile > 0 && !anyRead)
    return outcome.Error(
        "None of the chosen files could be read as a report (four header lines, then records of five numbers). "
        "The records loaded before are kept:" +
        NameList(file_names));

  // New records: what was computed from the old ones goes with them.
  DwellTable dwells = DwellsBeside(file_names, *loaded, perFile, outcome);
  Adopt(std::move(*loaded), file_names, DirectoryOf(file_names.front()), std::move(dwells));
  outcome.done = true;
  outcome.Then(RebuildMap());
  const std::vector<Shortfall> shortfalls = ShortfallsOf(file_names, readings, perFile);
  if (!shortfalls.empty()) outcome.Error(ShortfallMessage(shortfalls, perFile));
  return outcome;
}

void Session::Adopt(TransitionRecords records, std::vector<std::string> files, std::string outputFolder,
                    DwellTable dwells) {
  records_ = std::move(records);
  files_ = std::move(files);
  dwells_ = std::move(dwells);
  // The dwells stand in report order, each named by its report's file name without ".dat".
  moleculeDwells_.assign(files_.size(), std::nullopt);
  for (std::size_t m = 0, d = 0; m < files_.size() && d < dwells_.size(); ++m) {
    std::string name = FileNameOf(files_[m]);
    if (name.size() > 4 && name.ends_with(".dat")) name.resize(name.size() - 4);
    if (dwells_[d].molecule == name) moleculeDwells_[m] = d++;
  }
  outputFolder_ = std::move(outputFolder);
  ClearResults();
}

Outcome Session::Import(const std::vector<std::string>& paths, const ImportOptions& options) {
  std::size_t skipped = 0;
  return ImportCounting(paths, options, skipped);
}

Outcome Session::ImportCounting(const std::vector<std::string>& paths, const ImportOptions& options,
                                std::size_t& skipped) {
  // The reports have as many slots as the reports the session reads, unless the import names
  // its own number.
  const int peaks = options.peaks.value_or(peaks_);
  if (!FieldTakes(Field::ImportPeaks, peaks)) return Outcome::Refused(FieldRuleText(Field::ImportPeaks));
  const ImportResult result = ImportTraces(paths, options, peaks, ReportFolderFor(options, paths));
  if (!result.error.empty()) return Outcome::Refused(CannotImportMessage(result));
  skipped = result.skipped.size();
  Outcome outcome;
  if (ImportHasNotices(result)) outcome.Notice(ImportSummary(result) + ".");
  peaks_ = peaks;
  Outcome loaded = Load(result.reports);
  // The files' frame time is the exposure of their frames.
  if (loaded.done && result.frameTime && FieldTakes(Field::Exposure, *result.frameTime)) exposure_ = *result.frameTime;
  return outcome.Then(std::move(loaded));
}

Outcome Session::RebuildMap() {
  const std::string path = OutputPath("3dgrid.dat");
  grid_ = FastDensityGrid(records_, weighted_);
  // The map is there all the same; the user must know the file is not.
  if (const auto failure = WriteGridFile(path, records_, grid_)) return Outcome{}.Error(CannotWriteMessage(path, *failure));
  return {};
}
