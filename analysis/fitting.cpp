// The fit of a class, the table of every fitted class, and what is written from them: the class
// rate files, "log.dat" with "results.csv", and the figures and tables of an export.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

#include "analysis/ratefile.h"
#include "analysis/session.h"
#include "dwell/dwelltimes.h"
#include "export/exportset.h"
#include "fit/gaussfit.h"
#include "fit/logreport.h"
#include "platform/outputfile.h"
#include "platform/system.h"
#include "reports/outputdir.h"
#include "selection/classlists.h"

std::optional<std::string> WriteRateFile(const std::string& path, const std::vector<double>& list) {
  OutputFile file(path);
  char text[40];
  for (double v : list) {
    if (!InFitRange(v)) continue;
    char* end = std::to_chars(text, text + sizeof text - 1, v, std::chars_format::general, 6).ptr;
    *end++ = '\n';
    file.Write(std::string_view(text, static_cast<std::size_t>(end - text)));
  }
  return file.Commit();
}

namespace {

// Now, in local time, as the results table dates itself.
std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalTime(now);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local));
}

}  // namespace

Outcome Session::Fit(int from, int to) {
  const std::vector<double>* list = ClassList(from, to);
  if (!list) return CheckLockedClass(from, to);
  const std::string name = ClassName(from, to);
  // The list can hold millions of values: it is read where it lies, never copied.
  const std::optional<double> meanLn = InRangeMeanLn(*list);
  if (!meanLn) return Outcome::Refused("Class " + name + " has no rates to fit.", Severity::Notice);

  // A fit that does not finish, or finishes on no finite rate, leaves everything as it was.
  const auto i = static_cast<std::size_t>(from - 1), j = static_cast<std::size_t>(to - 1);
  const ClassHistogram& histogram = histograms_[i][j];
  const std::optional<GaussFit> fit = FitGaussianFromMean(histogram, *meanLn);
  if (!fit) return Outcome::Refused("The fit of class " + name + " did not converge; no result was stored.");
  const KineticRate rate = KineticRateOf(fit->fitted, exposure_);
  if (!std::isfinite(rate.rate) || !std::isfinite(rate.stdev))
    return Outcome::Refused("The fit of class " + name + " gave no finite rate; no result was stored.");

  const std::string ratePath = OutputPath(std::to_string(from) + "," + std::to_string(to) + "rates.dat");
  const std::optional<std::string> failure = WriteRateFile(ratePath, *list);
  ClassFit& stored = fits_[i][j].emplace();
  stored.histogram = histogram;
  stored.gaussian = fit->fitted;
  stored.lastEvaluated = fit->lastEvaluated;
  stored.rule = rules_[i][j];
  stored.exposureTime = exposure_;
  stored.rate = rate.rate;
  stored.stdev = rate.stdev;
  stored.transitions = static_cast<std::int32_t>(list->size());
  // How sure the rate is: the reports are the molecules a bootstrap draws. A new fit's interval
  // replaces whatever the class's last fit was still waiting for.
  CancelInterval(i, j);
  const StateFrames frames = StateFramesOf(stored.rule);
  UncertaintyTask task(records_, RecordsPerMolecule(), stored.rule, exposure_, kDefaultReplicates,
                       kDefaultIntervalKind, &frames);
  if (intervalsInBackground_ && task.HasReplicates()) {
    stored.uncertainty = task.Known();
    stored.uncertainty.state = IntervalState::kComputing;
    intervalTickets_[i][j] = intervals_->Add(std::move(task));
  } else {
    stored.uncertainty = *task.Run();
  }

  Outcome outcome;
  // The fit stands; the user must know that its file does not.
  if (failure) outcome.Error(CannotWriteMessage(ratePath, *failure));
  if (fit->startMoved)
    outcome.Notice("Class " + name +
                   ": its rates lie outside the range the fit takes (ln of the rate per frame from -9 to -1). "
                   "The fit started from the nearest end of that range, and its rate cannot lie beyond it.");
  return outcome;
}

StateFrames Session::StateFramesOf(const ClassRule& rule) const {
  StateFrames frames = StateFramesOfRecords(records_, RecordsPerMolecule(), rule);
  for (std::size_t m = 0; m < frames.size() && m < moleculeDwells_.size(); ++m) {
    if (moleculeDwells_[m]) frames[m] = FramesInState(dwells_[*moleculeDwells_[m]], rule);
  }
  return frames;
}

std::vector<std::pair<int, int>> Session::CollectIntervals() { return TakeAnswers(intervals_->Take()); }

std::vector<std::pair<int, int>> Session::AwaitIntervals() {
  intervals_->WaitUntilIdle();
  return CollectIntervals();
}

std::vector<std::pair<int, int>> Session::TakeAnswers(std::vector<IntervalQueue::Answer> answers) {
  std::vector<std::pair<int, int>> classes;
  for (IntervalQueue::Answer& answer : answers)
    for (std::size_t i = 0; i < kMaxStates; ++i)
      for (std::size_t j = 0; j < kMaxStates; ++j)
        if (intervalTickets_[i][j] == answer.ticket) {
          intervalTickets_[i][j].reset();
          if (fits_[i][j]) fits_[i][j]->uncertainty = std::move(answer.uncertainty);
          classes.emplace_back(static_cast<int>(i) + 1, static_cast<int>(j) + 1);
        }
  return classes;
}

namespace {

// An interval stopped before it came: what the fit knew without replicates, and no interval.
void DropInterval(ClassUncertainty& u) {
  u.state = IntervalState::kStopped;
  u.rateKinds = {};
  u.pooledKinds = {};
  u.rateAcceleration = 0.0;
  u.pooledAcceleration = 0.0;
  u.failed = 0;
}

}  // namespace

std::vector<std::pair<int, int>> Session::StopIntervals() {
  std::vector<std::pair<int, int>> stopped;
  intervals_->CancelAll();
  for (std::size_t i = 0; i < kMaxStates; ++i)
    for (std::size_t j = 0; j < kMaxStates; ++j)
      if (std::exchange(intervalTickets_[i][j], std::nullopt) && fits_[i][j]) {
        DropInterval(fits_[i][j]->uncertainty);
        stopped.emplace_back(static_cast<int>(i) + 1, static_cast<int>(j) + 1);
      }
  return stopped;
}

std::vector<std::pair<int, int>> Session::StopIntervals(const std::vector<std::pair<int, int>>& classes) {
  std::vector<std::pair<int, int>> stopped;
  for (const auto& [from, to] : classes) {
    if (!InClassTables(from, to)) continue;
    const auto i = static_cast<std::size_t>(from - 1), j = static_cast<std::size_t>(to - 1);
    if (!fits_[i][j]) continue;
    CancelInterval(i, j);
    DropInterval(fits_[i][j]->uncertainty);
    stopped.emplace_back(from, to);
  }
  return stopped;
}

std::optional<Session::IntervalProgress> Session::IntervalsProgress() const {
  const std::optional<IntervalQueue::Progress> now = intervals_->Now();
  if (!now) return std::nullopt;
  return IntervalProgress{now->rule.from + 1, now->rule.to + 1, now->replicatesDone, now->replicates, now->waiting};
}

const ClassFit* Session::FitOf(int from, int to) const {
  if (!InClassTables(from, to)) return nullptr;
  const std::optional<ClassFit>& fit = fits_[static_cast<std::size_t>(from - 1)][static_cast<std::size_t>(to - 1)];
  return fit ? &*fit : nullptr;
}

std::vector<ResultRow> Session::Results() const {
  std::vector<ResultRow> rows;
  const int shown = std::min(states_, kMaxStates);
  for (int i = 1; i <= shown; ++i) {
    // The pooled rates per frame of the row's classes, as the lock made them, for the rate
    // constants they give together; worked out once the row has a fit.
    std::optional<std::vector<double>> perFrame;
    for (int j = 1; j <= shown; ++j) {
      const ClassFit* fit = FitOf(i, j);
      if (!fit) continue;
      if (!perFrame && i <= lockedStates_) {
        perFrame.emplace();
        const auto& row = rules_[static_cast<std::size_t>(i - 1)];
        // Every class of the row counts the frames of state i, a class set from a circle too.
        const StateFrames frames = StateFramesOf(row[0]);
        for (int k = 0; k < lockedStates_; ++k)
          perFrame->push_back(k == i - 1 ? 0.0
                                         : PooledRate(records_, RecordsPerMolecule(), row[static_cast<std::size_t>(k)],
                                                      1.0, &frames)
                                               .value_or(0.0));
      }
      ResultRow row{i, j, *fit, std::nullopt};
      if (perFrame && j <= lockedStates_ && i != j && fit->uncertainty.pooledRate) {
        // The class's own pooled rate is the fit's, from its circle when it has one.
        std::vector<double> rates = *perFrame;
        rates[static_cast<std::size_t>(j - 1)] = *fit->uncertainty.pooledRate * fit->exposureTime;
        if (const auto corrected = FrameCorrectedRates(rates))
          row.pooledCorrected = (*corrected)[static_cast<std::size_t>(j - 1)] / fit->exposureTime;
      }
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

ResultsSource Session::Source(std::string dateTime) const {
  return {std::move(dateTime), files_.size(), outputFolder_, states_, cutoffs_, weighted_};
}

ResultTables Session::FileTables(std::vector<std::string>& leftOut) const {
  ResultTables tables{RateResults(), Results(), DwellResults(), {}};
  if (dwellTimes_ && dwellTimes_->states == states_)
    for (const StateDwellTimes& state : dwellTimes_->perState) {
      if (state.chosen < 0) continue;
      const ExponentialFit& fit = state.fits[static_cast<std::size_t>(state.chosen)];
      DwellResultRow row;
      row.from = state.state + 1;
      row.rate = fit.MeanRate() / dwellTimes_->exposure;
      row.transitions = state.dwells;
      row.molecules = state.molecules;
      row.exposureTime = dwellTimes_->exposure;
      row.estimator = "dwell-exit";
      if (fit.terms.size() > 1)
        row.flags.push_back("the inverse mean dwell of " + std::to_string(fit.terms.size()) + " exponentials");
      tables.exitRows.push_back(std::move(row));
    }
  return AtOneExposure(std::move(tables), exposure_, leftOut);
}

Outcome Session::WriteLog() const {
  Outcome outcome;
  const std::string path = OutputPath("log.dat");
  if (const auto failure = WriteWholeFile(path, LogReportText(states_, fits_)))
    outcome.Error(CannotWriteMessage(path, *failure));
  // Beside it, the tables with intervals and where the numbers come from.
  std::vector<std::string> leftOut;
  const ResultTables tables = FileTables(leftOut);
  const std::string results = OutputPath("results.csv");
  if (const auto failure = WriteWholeFile(
          results, ResultsCsv(Source(LocalDateTime()), tables.rows, tables.dwellRows, tables.rateRows)))
    outcome.Error(CannotWriteMessage(results, *failure));
  const std::string rates = OutputPath("rates.csv");
  if (const auto failure = WriteWholeFile(rates, RatesCsv(tables))) outcome.Error(CannotWriteMessage(rates, *failure));
  for (std::string& notice : leftOut) outcome.Notice(std::move(notice));
  for (std::string& notice : PooledDwellDisagreements(tables.rows, tables.dwellRows)) outcome.Notice(std::move(notice));
  return outcome;
}

ExportData Session::ExportContents(std::optional<SelectionCircle> shownCircle) const {
  ExportData data;
  // Every change of the weighting rebuilds the map: the grid is weighted as the session is.
  data.map = {grid_, colours_, states_, cutoffs_, Locked(), weighted_, shownCircle, {}};
  if (Locked()) {
    std::vector<double> sums(static_cast<std::size_t>(states_)), weights(static_cast<std::size_t>(states_));
    for (std::size_t r = 0; r < records_.size(); ++r)
      if (const TransitionRecord record = records_[r]; record.count > 0 && std::isfinite(record.count))
        if (const std::optional<int> state = StateOf(record.initial, states_, cutoffs_)) {
          sums[static_cast<std::size_t>(*state)] += record.initial * record.count;
          weights[static_cast<std::size_t>(*state)] += record.count;
        }
    for (std::size_t k = 0; k < sums.size(); ++k)
      data.map.stateMeans.push_back(weights[k] > 0 ? std::optional<double>(sums[k] / weights[k]) : std::nullopt);
  }
  ResultTables tables = FileTables(data.leftOut);
  data.results = std::move(tables.rows);
  data.dwellResults = std::move(tables.dwellRows);
  data.rateResults = std::move(tables.rateRows);
  data.exitResults = std::move(tables.exitRows);
  // The scheme draws the rate matrix only where the tables hold it.
  if (std::any_of(data.rateResults.begin(), data.rateResults.end(),
                  [](const DwellResultRow& row) { return row.estimator == "rate-matrix"; }))
    data.scheme = RateScheme();
  if (dwellTimes_ && dwellTimes_->states == states_) data.dwells = *dwellTimes_;
  data.dwellTable = dwells_;
  data.source = Source(LocalDateTime());
  // The transitions of a class as the window title counts those of a load: every record's
  // number of transitions above 0, summed, rounded to a whole number.
  const auto transitionsOf = [&](const ClassRule& rule) {
    double sum = 0;
    for (std::size_t r = 0; r < records_.size(); ++r)
      if (const TransitionRecord record = records_[r]; record.count > 0 && InClass(record, rule)) sum += record.count;
    constexpr double kMostTransitions = 1e18;  // keeps the conversion defined
    return std::isfinite(sum) ? std::llround(std::min(sum, kMostTransitions)) : 0LL;
  };
  for (const ResultRow& row : data.results)
    data.classes.push_back({row.from, row.to, row.fit.histogram, row.fit.gaussian, row.fit.exposureTime,
                            row.fit.rate, row.fit.uncertainty.Rate(), row.fit.uncertainty.molecules,
                            transitionsOf(row.fit.rule), ResultFlags(row.fit)});
  return data;
}

Outcome Session::Export(const std::string& folder, const ExportOptions& options,
                        std::optional<SelectionCircle> shownCircle, WorkProgress* progress) const {
  // Before a load the map is the start-up picture, not data.
  if (files_.empty()) return Outcome::Refused("Load reports first: there is nothing to export yet.");
  const ExportData data = ExportContents(shownCircle);
  const auto files = ExportFiles(data, options, progress);
  if (progress && progress->StopRequested())
    return Outcome::Refused("The export was stopped; nothing was written.", Severity::Notice);
  if (!files) return Outcome::Refused("The figures could not be drawn; nothing was written.");
  std::string cleared;
  if (const auto failure = WriteExport(folder, *files, &cleared)) return Outcome::Refused(*failure);
  // Many files appear at once in a folder the user may not be looking at: say where.
  Outcome outcome;
  for (const std::string& notice : data.leftOut) outcome.Notice(notice);
  return outcome.Notice("Exported " + std::to_string(files->size()) + " figures and tables into \"" + folder +
                          "\"" + (cleared.empty() ? "" : "; " + cleared) + ".");
}
