#include "import/importtraces.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <new>

#include "domain/analysis_types.h"

#include "import/counting.h"
#include "import/dwelltable.h"
#include "import/states.h"
#include "import/tracefile.h"
#include "platform/foldersystem.h"
#include "reports/parallel.h"
#include "reports/reportwriter.h"

namespace {

// A summary names at most this many molecules of each kind it skipped; the rest are counted.
constexpr std::size_t kNamesShown = 10;
constexpr std::int64_t kLeastFrames = 2;

// A header line may not break: control bytes of a name become '?'.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ') c = '?';
  return text;
}

std::string ReportOf(const Molecule& molecule, const LevelCounts& counts, int peaks) {
  const std::array<std::string, 4> header = {"varnel-import transition report", "source: " + OneLine(molecule.source),
                                             "levels " + std::to_string(counts.LevelCount()) + ", frames " +
                                                 std::to_string(counts.frames) + ", peaks " + std::to_string(peaks),
                                             "initial final rate_per_frame mean_dwell_frames transitions"};
  return ReportText(header, ReportRecords(counts, peaks));
}

enum class Outcome { Written, TooManyLevels, TooFewFrames, Failed };

std::string NumberText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// "a.dwt as dwt, b.json as smd"
std::string RecognisedText(const std::vector<RecognisedFile>& recognised) {
  std::string text;
  for (std::size_t k = 0; k < recognised.size() && k < kNamesShown; ++k)
    ((text += k ? ", " : "") += recognised[k].path + " as ") += LayoutName(recognised[k].layout);
  if (recognised.size() > kNamesShown) text += ", and " + std::to_string(recognised.size() - kNamesShown) + " more";
  return text;
}

std::string Plural(std::size_t count, const std::string& one, const std::string& more) {
  return std::to_string(count) + " " + (count == 1 ? one : more);
}

// "2 with more than 10 levels (a.txt, b.txt)"
std::string SkippedOfKind(const std::vector<SkippedMolecule>& skipped, SkipReason reason, const std::string& what) {
  std::vector<std::string> names;
  for (const SkippedMolecule& molecule : skipped)
    if (molecule.reason == reason) names.push_back(molecule.source);
  if (names.empty()) return {};
  std::string text = std::to_string(names.size()) + " with " + what + " (";
  for (std::size_t k = 0; k < names.size() && k < kNamesShown; ++k) text += (k ? ", " : "") + names[k];
  if (names.size() > kNamesShown) text += ", and " + std::to_string(names.size() - kNamesShown) + " more";
  return text + ")";
}

std::string SkippedText(const ImportResult& result) {
  std::string text;
  for (const std::string& part : {SkippedOfKind(result.skipped, SkipReason::TooManyLevels,
                                                "more than " + std::to_string(result.peaks) + " levels"),
                                  SkippedOfKind(result.skipped, SkipReason::TooFewFrames, "fewer than 2 frames")})
    if (!part.empty()) text += (text.empty() ? "" : ", ") + part;
  return text;
}

// Every molecule of every file, in the order of the files; or the first file's error. The
// layouts recognised and the frame time the files hold go into `result`.
std::vector<Molecule> ReadMolecules(const std::vector<std::string>& paths, const ImportOptions& options,
                                    ImportResult& result) {
  std::string& error = result.error;
  std::vector<TraceReading> readings(paths.size());
  ForEachInParallel(paths.size(), [&](std::size_t f) {
    try {
      readings[f] = ReadTraceFile(paths[f], options);
    } catch (const std::bad_alloc&) {
      readings[f].error = paths[f] + ": there is not enough memory to read it";
    }
  });
  std::vector<Molecule> molecules;
  result.frameTime = options.frameTime;
  for (std::size_t f = 0; f < readings.size(); ++f) {
    TraceReading& reading = readings[f];
    if (!reading.error.empty()) {
      error = reading.error;
      return {};
    }
    if (options.recognise && reading.layout != TraceLayout::OnePerFile)
      result.recognised.push_back({paths[f], reading.layout});
    if (reading.frameTime && !result.frameTimeFrom.empty() && *reading.frameTime != *result.frameTime) {
      error = paths[f] + ": a frame time of " + NumberText(*reading.frameTime) + " s, where " + result.frameTimeFrom +
              " holds " + NumberText(*result.frameTime) + " s";
      return {};
    }
    if (reading.frameTime && result.frameTimeFrom.empty()) {
      result.frameTime = reading.frameTime;
      result.frameTimeFrom = paths[f];
    }
    std::move(reading.molecules.begin(), reading.molecules.end(), std::back_inserter(molecules));
  }
  return molecules;
}

std::string ReportName(const std::string& prefix, std::size_t molecule, std::size_t molecules) {
  return NumberedName(prefix, static_cast<long>(molecule) + 1, static_cast<long>(molecules), ".dat");
}

// The dwells of a molecule at the levels of its report: values of one level (each the level's
// smallest value) that follow each other are one dwell. The trace cuts its first and last.
std::vector<LevelDwell> LevelDwellsOf(const std::vector<Dwell>& dwells, const std::vector<double>& levels) {
  std::vector<LevelDwell> kept;
  std::int64_t start = 1;
  for (const Dwell& dwell : dwells) {
    // The level of a value is the greatest level not above it: each level's values reach up
    // from its smallest one.
    const auto above = std::upper_bound(levels.begin(), levels.end(), dwell.value);
    const double level = above == levels.begin() ? dwell.value : *std::prev(above);
    if (!kept.empty() && kept.back().level == level)
      kept.back().frames += dwell.frames;
    else
      kept.push_back({level, start, dwell.frames, kept.empty(), false});
    start += dwell.frames;
  }
  if (!kept.empty()) kept.back().cutAtEnd = true;
  return kept;
}

// Counts each molecule and writes its report, unless it is skipped; several molecules at a time.
// The dwells of every molecule with a report are kept in `dwells`, under the report's name.
std::vector<Outcome> CountAndWrite(std::vector<Molecule>& molecules, const std::string& prefix, int peaks,
                                   const PendingFolder& folder, std::vector<std::string>& errors, DwellTable& dwells) {
  std::vector<Outcome> outcomes(molecules.size());
  dwells.assign(molecules.size(), {});
  const auto mostLevels = static_cast<std::size_t>(peaks);
  ForEachInParallel(molecules.size(), [&](std::size_t m) {
    try {
      const LevelCounts counts = CountTransitions(molecules[m].dwells, mostLevels);
      if (counts.frames >= kLeastFrames && counts.LevelCount() <= mostLevels) {
        const std::string name = ReportName(prefix, m, molecules.size());
        dwells[m] = {name.substr(0, name.size() - std::string_view(".dat").size()),
                     LevelDwellsOf(molecules[m].dwells, counts.levels)};
      }
      std::vector<Dwell>().swap(molecules[m].dwells);  // counted: the memory can go
      if (counts.frames < kLeastFrames)
        outcomes[m] = Outcome::TooFewFrames;
      else if (counts.LevelCount() > mostLevels)
        outcomes[m] = Outcome::TooManyLevels;
      else if (folder.Write(ReportName(prefix, m, molecules.size()), ReportOf(molecules[m], counts, peaks), errors[m]))
        outcomes[m] = Outcome::Written;
      else
        outcomes[m] = Outcome::Failed;
    } catch (const std::bad_alloc&) {
      outcomes[m] = Outcome::Failed;
      errors[m] = "there is not enough memory for the report of " + molecules[m].source;
    }
  });
  return outcomes;
}

}  // namespace

std::string RepeatedText(const std::vector<RepeatedFile>& repeated) {
  std::string text;
  for (std::size_t k = 0; k < repeated.size() && k < kNamesShown; ++k)
    text += (k ? ", " : "") + repeated[k].first + " (again as " + repeated[k].path + ")";
  if (repeated.size() > kNamesShown) text += ", and " + std::to_string(repeated.size() - kNamesShown) + " more";
  return text;
}

std::vector<std::string> EachFileOnce(const std::vector<std::string>& paths, std::vector<RepeatedFile>& repeated) {
  std::vector<std::string> once;
  std::map<FileIdentity, std::size_t> seen;
  for (const std::string& path : paths) {
    // A path that leads nowhere is read, and named in the error that follows.
    const std::optional<FileIdentity> identity = IdentityOf(path);
    if (identity) {
      const auto [at, added] = seen.try_emplace(*identity, once.size());
      if (!added) {
        repeated.push_back({path, once[at->second]});
        continue;
      }
    }
    once.push_back(path);
  }
  return once;
}

ImportResult ImportTraces(const std::vector<std::string>& paths, const ImportOptions& options, int peaks,
                          const std::string& folder) {
  ImportResult result;
  result.folder = folder;
  result.peaks = peaks;
  if (paths.empty()) {
    result.error = "no trace files were given";
    return result;
  }
  if (peaks < 1 || peaks > kMaxPeaks) {
    result.error = "reports hold 1 to " + std::to_string(kMaxPeaks) + " peaks, not " + std::to_string(peaks);
    return result;
  }
  std::vector<Molecule> molecules = ReadMolecules(EachFileOnce(paths, result.repeated), options, result);
  if (!result.error.empty()) return result;
  result.molecules = molecules.size();
  if (options.states) {
    std::vector<std::vector<Dwell>> traces(molecules.size());
    for (std::size_t m = 0; m < molecules.size(); ++m) traces[m].swap(molecules[m].dwells);
    result.states = FindStates(traces, *options.states);
    for (std::size_t m = 0; m < molecules.size(); ++m) {
      molecules[m].dwells = InStates(traces[m], *result.states);
      std::vector<Dwell>().swap(traces[m]);
    }
  }
  const std::unique_ptr<PendingFolder> pending = PendingFolder::Create(folder, kImportWriter, result.error);
  if (!pending) return result;
  result.stopped = pending->Stopped();

  std::vector<std::string> errors(molecules.size());
  DwellTable dwells;
  const std::vector<Outcome> outcomes = CountAndWrite(molecules, options.prefix, peaks, *pending, errors, dwells);
  for (std::size_t m = 0; m < molecules.size(); ++m) {
    if (outcomes[m] == Outcome::Failed) {
      result.error = errors[m];
      result.reports.clear();
      result.leftBehind = pending->Discard();
      return result;
    }
    if (outcomes[m] == Outcome::Written)
      result.reports.push_back(
          (std::filesystem::path(folder) / ReportName(options.prefix, m, molecules.size())).string());
    if (outcomes[m] == Outcome::TooManyLevels)
      result.skipped.push_back({molecules[m].source, SkipReason::TooManyLevels});
    if (outcomes[m] == Outcome::TooFewFrames) result.skipped.push_back({molecules[m].source, SkipReason::TooFewFrames});
  }
  if (result.reports.empty()) {
    result.error = "no molecule gives a report: " + SkippedText(result);
    // A file read as one molecule that has too many levels is often a file of many molecules.
    const bool wholeFileSkipped = std::any_of(result.skipped.begin(), result.skipped.end(), [&](const SkippedMolecule& s) {
      return s.reason == SkipReason::TooManyLevels && std::find(paths.begin(), paths.end(), s.source) != paths.end();
    });
    if (wholeFileSkipped)
      result.error += "; a file read as one molecule may hold many: give its layout, --layout stacked for a stacked "
                      "export without its header, or --layout table with --molecule and --value";
    result.leftBehind = pending->Discard();
    return result;
  }
  std::erase_if(dwells, [](const MoleculeDwells& molecule) { return molecule.dwells.empty(); });
  if (!pending->Write(std::string(kDwellsFileName), DwellsCsv(dwells), result.error) ||
      !pending->Commit(result.error)) {
    result.reports.clear();
    result.leftBehind = pending->Discard();
  }
  return result;
}

bool IsReportEntry(const HeldFolder::Entry& entry) {
  constexpr std::string_view kEnding = ".dat";
  if (entry.file && entry.name == kDwellsFileName) return true;
  return entry.file && entry.name.size() > kEnding.size() &&
         entry.name.compare(entry.name.size() - kEnding.size(), kEnding.size(), kEnding) == 0;
}

std::string ReportFolderFor(const ImportOptions& options, const std::vector<std::string>& paths) {
  if (options.out) return *options.out;
  return FreeFolderBeside(paths.empty() ? std::string() : paths.front(), "varnel-reports");
}

std::string ImportSummary(const ImportResult& result) {
  std::string text = Plural(result.molecules, "molecule", "molecules") + " read, " +
                     Plural(result.reports.size(), "report", "reports") + " written to " + result.folder;
  if (result.states) text += "; " + StatesText(*result.states);
  if (!result.skipped.empty()) text += "; skipped: " + SkippedText(result);
  if (!result.repeated.empty()) text += "; named more than once, read once: " + RepeatedText(result.repeated);
  if (const std::string stopped = StoppedRunsText(result.stopped, kImportWriter.run); !stopped.empty())
    text += "; " + stopped;
  if (!result.recognised.empty()) text += "; recognised: " + RecognisedText(result.recognised);
  if (!result.frameTimeFrom.empty())
    text += "; frame time " + NumberText(*result.frameTime) + " s, from " + result.frameTimeFrom;
  return text;
}

bool ImportHasNotices(const ImportResult& result) {
  return result.states || !result.skipped.empty() || !result.repeated.empty() ||
         !StoppedRunsText(result.stopped, "").empty() || !result.recognised.empty() || !result.frameTimeFrom.empty();
}

std::string CannotImportMessage(const std::string& why) {
  return "Cannot import the traces: " + why + ". Nothing was written; the records loaded before are kept.";
}

std::string CannotImportMessage(const ImportResult& result) {
  if (result.leftBehind.empty()) return CannotImportMessage(result.error);
  return "Cannot import the traces: " + result.error + ". No reports folder was made, but " + result.leftBehind +
         "; the records loaded before are kept.";
}
