// Raw traces idealised by a hidden Markov model and imported: the table of idealised traces
// written beside them, and its reports loaded as any import's.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/fields.h"
#include "analysis/session.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "reports/parallel.h"

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

}  // namespace

Outcome Session::Idealise(const std::vector<std::string>& paths, const IdealiseArguments& arguments,
                          WorkProgress* progress) {
  if (paths.empty()) return Outcome::Refused(CannotIdealise("no trace file was given"));
  if (arguments.peaks && !FieldTakes(Field::ImportPeaks, *arguments.peaks))
    return Outcome::Refused(FieldRuleText(Field::ImportPeaks));
  auto result = std::make_shared<IdealisedTraces>();
  RawReading reading = ReadRawTraces(paths, arguments.raw);
  if (!reading.error.empty()) return Outcome::Refused(CannotIdealise(reading.error));
  Outcome outcome;
  if (!reading.left.empty()) {
    std::string text = "Left out of the idealisation:";
    for (const std::string& left : reading.left) text += "\n" + left;
    outcome.Notice(std::move(text));
  }
  result->traces = std::move(reading.traces);
  std::vector<std::span<const double>> molecules;
  for (const FretTrace& trace : result->traces) molecules.emplace_back(trace.fret);
  result->idealisation = ::Idealise(molecules, arguments.hmm, progress);
  if (result->idealisation.stopped)
    return Outcome::Refused("Stopped idealising the traces." + std::string(kNothingWritten), Severity::Notice);
  if (!result->idealisation.error.empty()) return Outcome::Refused(CannotIdealise(result->idealisation.error));
  if (arguments.merge) result->merged = MergedStates(result->idealisation, *arguments.merge);

  result->table = arguments.out.value_or(FreeTableBeside(paths.front()));
  if (const auto why = WriteIdealisedTable(result->table, result->traces, result->idealisation,
                                           result->merged ? &*result->merged : nullptr))
    return Outcome::Refused(CannotIdealise("cannot write " + result->table + ": " + *why));
  std::size_t frames = 0;
  for (const FretTrace& trace : result->traces) frames += trace.fret.size();
  const HmmModel& model = result->idealisation.Model();
  const std::size_t states = result->merged ? result->merged->states : static_cast<std::size_t>(model.states);
  std::string summary = Counted(result->traces.size(), "molecule", "molecules") + " of " +
                        Counted(frames, "frame", "frames") + " idealised: BIC chooses " +
                        Counted(static_cast<std::size_t>(model.states), "state", "states") + " (means " +
                        ListOf(model.means) + "; widths " + ListOf(model.widths) + ")";
  if (result->merged) summary += "; " + StatesText(*result->merged);
  outcome.Notice(summary + "; the idealised traces are in " + result->table + ".");

  // Every molecule's levels are the model's states: K must hold them all.
  const int peaks = arguments.peaks.value_or(std::max(peaks_, static_cast<int>(states)));
  if (!arguments.peaks && peaks != peaks_)
    outcome.Notice("\"Peaks in report\" became " + std::to_string(peaks) + ", the number of states.");
  Outcome imported = Import({result->table}, TableImport(peaks));
  if (!imported.done)
    outcome.Notice("The table of idealised traces " + result->table + " stays; its import failed.");
  idealised_ = std::move(result);
  return outcome.Then(std::move(imported));
}
