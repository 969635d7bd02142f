// Raw traces idealised by a hidden Markov model and imported: the table of idealised traces
// written beside them, and its reports loaded as any import's.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/fields.h"
#include "analysis/molecules.h"
#include "analysis/session.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "kinetics/hmmrates.h"
#include "reports/parallel.h"
#include "reports/reportwriter.h"

namespace {

constexpr const char* kNothingWritten = " Nothing was written; the records loaded before are kept.";

std::string CannotIdealise(const std::string& why) { return "Cannot idealise the traces: " + why + "." + kNothingWritten; }

// "idealised.csv" beside `first`, or "idealised-2.csv", ... when that is taken.
std::string FreeTableBeside(const std::string& first) {
  const std::filesystem::path folder = std::filesystem::path(first).parent_path();
  std::error_code error;
  for (int number = 1;; ++number) {
    const std::filesystem::path candidate =
        folder / (number == 1 ? std::string("idealised.csv") : "idealised-" + std::to_string(number) + ".csv");
    if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) return candidate.string();
  }
}

// Whether the file at `path` begins with the header of a table of idealised traces.
bool IsIdealisedTable(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string first;
  if (!std::getline(file, first)) return false;
  if (!first.empty() && first.back() == '\r') first.pop_back();
  const std::string offsets = kIdealisedOffsetColumn;
  if (first.ends_with(offsets)) first.resize(first.size() - offsets.size());
  return first == kIdealisedHeader || first == kIdealisedBlinkHeader;
}

// The files at `paths` but the tables of idealised traces among files of one molecule each, which
// would be read as one molecule of all their frames (a pattern such as raw/*.csv takes the table
// of the last idealisation up again); those left out are said in `outcome`.
std::vector<std::string> LeaveOutTables(const std::vector<std::string>& paths, TraceLayout layout, Outcome& outcome) {
  std::vector<std::string> raw;
  std::string tables;
  for (const std::string& path : paths) {
    if (layout == TraceLayout::OnePerFile && IsIdealisedTable(path))
      tables += "\n" + path;
    else
      raw.push_back(path);
  }
  if (!tables.empty())
    outcome.Notice("Left out of the idealisation, as tables of idealised traces and no raw traces:" + tables);
  return raw;
}

// The import of the table: one table, its molecules, frames and idealised values by name.
ImportOptions TableImport(int peaks) {
  ImportOptions options;
  options.layout = TraceLayout::Table;
  options.molecule = {"--molecule", 0, "molecule"};
  options.value = {"--value", 0, "idealised"};
  options.frame = ColumnRef{"--frame", 0, "frame"};
  options.peaks = peaks;
  return options;
}

// "0.2, 0.5, 0.8": the values with three decimals.
std::string ListOf(const std::vector<double>& values) {
  std::string text;
  for (double value : values) {
    char number[64];
    std::snprintf(number, sizeof number, "%.3f", value);
    text += (text.empty() ? "" : ", ") + std::string(number);
  }
  return text;
}

std::string Counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The rate matrix of the chosen model, from the counts it expects of each molecule, at the
// exposure `exposure`; nothing when `progress` was asked to stop. `outcome` says why there is
// none, but for a model that gave each molecule its own matrix, as it was asked to.
std::optional<kinetics::RateMatrix> ModelRateMatrix(const Idealisation& idealisation, TransitionSharing sharing,
                                                    double exposure, WorkProgress* progress, Outcome& outcome) {
  kinetics::RateOptions options;
  options.exposure = exposure;
  std::optional<kinetics::RateMatrix> matrix =
      kinetics::FitHmmRateMatrix(idealisation.fits[idealisation.chosen], options, progress);
  if (!matrix)
    outcome.Notice("The rate matrix of the model was stopped; the idealisation stands without it.");
  else if (!matrix->trouble.empty() && sharing == TransitionSharing::Shared)
    outcome.Notice("No rate matrix of the model: " + matrix->trouble + ".");
  return matrix;
}

// The report of each of the `traces` molecules of an idealisation among the `reports` its import
// loaded, or empty where it got none: the import names the report of the table's molecule m
// (the traces' order) "moleculeM.dat", numbered as NumberedName numbers them.
std::vector<std::string> ReportsOfMolecules(const std::vector<std::string>& reports, std::size_t traces) {
  std::map<std::string, std::string> byName;
  for (const std::string& report : reports) byName[std::filesystem::path(report).filename().string()] = report;
  std::vector<std::string> found(traces);
  for (std::size_t m = 0; m < traces; ++m) {
    const auto it = byName.find(NumberedName("molecule", static_cast<long>(m) + 1, static_cast<long>(traces), ".dat"));
    if (it != byName.end()) found[m] = it->second;
  }
  return found;
}

// `fit` with the expected counts of the molecules `kept` only.
StateCountFit KeptOnly(const StateCountFit& fit, const std::vector<bool>& kept) {
  StateCountFit only = fit;
  const auto k = static_cast<std::size_t>(fit.states);
  only.expectedSteps.clear();
  only.expectedFrames.clear();
  for (std::size_t m = 0; m < kept.size() && (m + 1) * k <= fit.expectedFrames.size(); ++m) {
    if (!kept[m]) continue;
    only.expectedSteps.insert(only.expectedSteps.end(), fit.expectedSteps.begin() + static_cast<std::ptrdiff_t>(m * k * k),
                              fit.expectedSteps.begin() + static_cast<std::ptrdiff_t>((m + 1) * k * k));
    only.expectedFrames.insert(only.expectedFrames.end(), fit.expectedFrames.begin() + static_cast<std::ptrdiff_t>(m * k),
                               fit.expectedFrames.begin() + static_cast<std::ptrdiff_t>((m + 1) * k));
  }
  return only;
}

constexpr const char* kChoiceStays = " The choice of molecules stays as it was.";

}  // namespace

Outcome Session::Idealise(const std::vector<std::string>& paths, const IdealiseArguments& arguments,
                          WorkProgress* progress) {
  if (arguments.peaks && !FieldTakes(Field::ImportPeaks, *arguments.peaks))
    return Outcome::Refused(FieldRuleText(Field::ImportPeaks));
  Outcome outcome;
  const std::vector<std::string> raw = LeaveOutTables(paths, arguments.raw.layout.layout, outcome);
  if (raw.empty()) return outcome.Then(Outcome::Refused(CannotIdealise("no raw trace file was given")));
  auto result = std::make_shared<IdealisedTraces>();
  RawReading reading = ReadRawTraces(raw, arguments.raw);
  if (!reading.error.empty()) return outcome.Then(Outcome::Refused(CannotIdealise(reading.error)));
  const std::size_t read = reading.traces.size() + reading.left.size();
  if (!reading.left.empty()) {
    std::string text = Counted(reading.left.size(), "molecule", "molecules") + " of " + std::to_string(read) +
                       " left out of the idealisation:";
    for (const std::string& left : reading.left) text += "\n" + left;
    outcome.Error(std::move(text));
  }
  if (const std::string dark = DarkFramesText(reading.traces); !dark.empty()) outcome.Notice(dark + ".");
  result->traces = std::move(reading.traces);
  result->idealisation = IdealiseTraces(result->traces, arguments, progress, &result->brightnessReference);
  if (result->idealisation.stopped)
    return outcome.Then(
        Outcome::Refused("Stopped idealising the traces." + std::string(kNothingWritten), Severity::Notice));
  if (!result->idealisation.error.empty())
    return outcome.Then(Outcome::Refused(CannotIdealise(result->idealisation.error)));
  if (arguments.merge) result->merged = MergedStates(result->idealisation, *arguments.merge);

  result->table = arguments.out.value_or(FreeTableBeside(raw.front()));
  if (const auto why = WriteIdealisedTable(result->table, result->traces, result->idealisation,
                                           result->merged ? &*result->merged : nullptr))
    return outcome.Then(Outcome::Refused(CannotIdealise("cannot write " + result->table + ": " + *why)));
  std::size_t frames = 0;
  for (const FretTrace& trace : result->traces) frames += trace.fret.size();
  const HmmModel& model = result->idealisation.Model();
  const std::size_t states = result->merged ? result->merged->states : static_cast<std::size_t>(model.states);
  const double reference = result->brightnessReference;
  std::string summary = Counted(result->traces.size(), "molecule", "molecules") + " of " +
                        Counted(frames, "frame", "frames") + " idealised: BIC chooses " +
                        Counted(static_cast<std::size_t>(model.states), "state", "states") + " (means " +
                        ListOf(model.means) + "; widths " + ListOf(model.widths) +
                        (reference > 0 ? " at the median brightness " + ListOf({reference}) : "") + ")";
  if (!model.offsets.empty()) summary += "; each molecule's own offset, rms " + ListOf({model.OffsetsRms()});
  if (result->merged) summary += "; " + StatesText(*result->merged);
  outcome.Notice(summary + "; the idealised traces are in " + result->table + ".");
  if (const std::string top = TopOfRangeText(result->idealisation, arguments.hmm); !top.empty())
    outcome.Notice(top + ".");

  // Every molecule's levels are the model's states: K must hold them all.
  const int peaks = arguments.peaks.value_or(std::max(peaks_, static_cast<int>(states)));
  if (!arguments.peaks && peaks != peaks_)
    outcome.Notice("\"Peaks in report\" became " + std::to_string(peaks) + ", the number of states.");
  std::size_t skipped = 0;
  Outcome imported = ImportCounting({result->table}, TableImport(peaks), skipped);
  if (!imported.done)
    outcome.Notice("The table of idealised traces " + result->table + " stays; its import failed.");
  if (skipped > 0)
    imported.Error(Counted(skipped, "molecule", "molecules") + " of " + std::to_string(result->traces.size()) +
                   " idealised got no report (see the import's notice): K = " + std::to_string(peaks) +
                   " holds fewer levels than their paths visit; --peaks " + std::to_string(states) +
                   " or more would hold them all.");
  hmmRateFiles_ = imported.done ? files_ : std::vector<std::string>{};
  moleculeReports_ = ReportsOfMolecules(hmmRateFiles_, result->traces.size());
  kept_.assign(result->traces.size(), true);
  if (reading.frameTime) {
    const std::string from =
        reading.frameTimeFrom.empty() ? "as --frame-time gives it" : "from the time column of " + reading.frameTimeFrom;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.6g s", *reading.frameTime);
    if (FieldTakes(Field::Exposure, *reading.frameTime)) {
      exposure_ = *reading.frameTime;
      outcome.Notice("The frame time is " + std::string(seconds) + ", " + from + ": the exposure became " + seconds +
                     ".");
    } else {
      outcome.Error("The frame time " + std::string(seconds) + ", " + from +
                    ", is no exposure: " + FieldRuleText(Field::Exposure) + " The exposure stays.");
    }
  }
  hmmRateMatrix_ = ModelRateMatrix(result->idealisation, arguments.hmm.transitions, exposure_, progress, outcome);
  idealised_ = std::move(result);
  return outcome.Then(std::move(imported));
}

Outcome Session::ChooseMolecules(const std::vector<std::string>& names, bool keep, WorkProgress* progress) {
  if (!idealised_) return Outcome::Refused("There are no molecules to choose: idealise raw traces first.");
  std::vector<bool> kept = kept_;
  std::vector<std::string> why(kept.size());
  if (names.empty()) kept.assign(kept.size(), keep);
  for (const std::string& name : names) {
    const auto& traces = idealised_->traces;
    const auto found = std::find_if(traces.begin(), traces.end(), [&](const FretTrace& t) { return t.name == name; });
    if (found == traces.end())
      return Outcome::Refused("No molecule of the idealisation is named \"" + name + "\"." + kChoiceStays);
    const auto m = static_cast<std::size_t>(found - traces.begin());
    kept[m] = keep;
    if (!keep) why[m] = "by hand";
  }
  return TakeMolecules(std::move(kept), why, progress);
}

Outcome Session::ChooseMolecules(const MoleculeRule& rule, WorkProgress* progress) {
  if (!idealised_) return Outcome::Refused("There are no molecules to choose: idealise raw traces first.");
  const std::vector<MoleculeMeasures> measures = MeasureMolecules(*idealised_);
  std::vector<bool> kept(kept_.size(), true);
  std::vector<std::string> why(kept_.size());
  for (std::size_t m = 0; m < measures.size() && m < kept.size(); ++m) {
    why[m] = RuleFailure(rule, measures[m]);
    kept[m] = why[m].empty();
  }
  return TakeMolecules(std::move(kept), why, progress);
}

Outcome Session::TakeMolecules(std::vector<bool> kept, const std::vector<std::string>& why, WorkProgress* progress) {
  if (hmmRateFiles_.empty() || files_ != hmmRateFiles_)
    return Outcome::Refused("The molecules of the idealisation are no longer the records: other reports have been "
                            "loaded since. Idealise the traces again to choose among them." +
                            std::string(kChoiceStays));
  std::vector<std::string> reports;
  std::size_t count = 0;
  std::string rejected;
  for (std::size_t m = 0; m < kept.size(); ++m) {
    if (kept[m]) {
      ++count;
      if (!moleculeReports_[m].empty()) reports.push_back(moleculeReports_[m]);
    } else if (!why[m].empty()) {
      rejected += "\n" + idealised_->traces[m].name + ": " + why[m];
    }
  }
  if (reports.empty())
    return Outcome::Refused("No molecule with a report would be kept; the rates need at least one." +
                            std::string(kChoiceStays));
  std::optional<kinetics::RateMatrix> matrix;
  if (hmmRateMatrix_) {
    kinetics::RateOptions options;
    options.exposure = hmmRateMatrix_->exposure > 0 ? hmmRateMatrix_->exposure : exposure_;
    const Idealisation& idealisation = idealised_->idealisation;
    matrix = kinetics::FitHmmRateMatrix(KeptOnly(idealisation.fits[idealisation.chosen], kept), options, progress);
    if (!matrix) return Outcome::Refused("Stopped choosing the molecules." + std::string(kChoiceStays), Severity::Notice);
  }
  const bool locked = Locked();
  Outcome outcome = Load(reports);
  if (!outcome.done) return outcome;
  kept_ = std::move(kept);
  hmmRateFiles_ = files_;
  hmmRateMatrix_ = std::move(matrix);
  std::string text = Counted(count, "molecule", "molecules") + " of " + std::to_string(kept_.size()) +
                     " kept in the rates; the states stay as the model fitted them to every molecule";
  if (!rejected.empty()) text += ". Rejected:" + rejected;
  outcome.Notice(text + (rejected.empty() ? "." : ""));
  if (locked) outcome.Then(Lock());
  return outcome;
}
