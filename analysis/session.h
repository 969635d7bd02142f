// One analysis: the reports and their records, the density map, the states and their cutoffs,
// the lock with its class lists and histograms, the circles and every class's fit. The window,
// scripts and tests all drive it through these operations. It shows nothing, reads no control and
// draws nothing: each operation takes plain values and returns what the user must be told.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/intervalqueue.h"
#include "analysis/outcome.h"
#include "domain/analysis_types.h"
#include "display/colortable.h"
#include "dwell/dwellreport.h"
#include "export/figuredata.h"
#include "fit/classfit.h"
#include "fit/results.h"
#include "kinetics/ratematrix.h"
#include "reports/densitygrid.h"
#include "reports/records.h"
#include "selection/classlists.h"
#include "selection/histograms.h"

struct ImportOptions;
struct ExportOptions;
struct IdealiseArguments;
struct IdealisedTraces;
struct MoleculeRule;

// The member of a circle that one step moves.
using CircleField = std::int32_t SelectionCircle::*;

class Session {
 public:
  Session();
  ~Session();
  Session(Session&&) noexcept;
  Session& operator=(Session&&) noexcept;

  // --- Settings: what the next operation uses ------------------------------------------------
  // Each is refused, with what the field takes, when the value is outside it.
  double Exposure() const { return exposure_; }
  Outcome SetExposure(double seconds);
  int Peaks() const { return peaks_; }
  Outcome SetPeaks(int peaks);
  bool Weighted() const { return weighted_; }
  // Takes effect at the next map rebuild, lock or circle.
  void SetWeighted(bool weighted) { weighted_ = weighted; }
  void SetColours(const ColorTable& colours) { colours_ = colours; }
  const ColorTable& Colours() const { return colours_; }

  // --- States and cutoffs ------------------------------------------------------------------------
  // N, 0 until one is given.
  int States() const { return states_; }
  // N states with evenly spaced cutoffs: slot k at (k + 1) / N, the last at 1.
  Outcome SetStates(int states);
  const Cutoffs& CutoffValues() const { return cutoffs_; }
  // Cutoff slot `slot` (0 ... 9) to `value`, pulled into [0, 1]; returns what it became.
  double SetCutoff(int slot, double value);
  // The upper bounds of states 1 ... N - 1, in order, each as SetCutoff takes it.
  Outcome SetCutoffs(std::span<const double> values);

  // --- Records ---------------------------------------------------------------------------------
  // Reads the reports at `chosen`, Peaks() x Peaks() records each; the program's own output
  // files among them are left out. A load replaces the records, ends the lock and forgets every
  // class list, histogram and fit (cutoffs, N and circles stay), then rebuilds the map. Refused,
  // the records before kept, when none of the files could be read or they cannot be held, or
  // when `progress` (whose steps are the reports read) is asked to stop before they all are.
  // The dwells of the reports come with them from the "dwells.csv" beside them, where there is one.
  Outcome Load(const std::vector<std::string>& chosen, WorkProgress* progress = nullptr);
  // Takes `records` as a load would (from memory, `files` the molecules they came from, each the
  // same number of records, `dwells` their dwells), without rebuilding the map.
  void Adopt(TransitionRecords records, std::vector<std::string> files = {}, std::string outputFolder = {},
             DwellTable dwells = {});
  // Makes reports of idealised traces (K from the options, or Peaks()) and loads them.
  Outcome Import(const std::vector<std::string>& paths, const ImportOptions& options);
  // Idealises the raw traces at `paths` by a hidden Markov model as `arguments` say, writes the
  // table of idealised traces (`--out`, or "idealised.csv" beside the first file) and imports it
  // into a new "varnel-reports" folder beside the table, K raised to the chosen number of states
  // unless `--peaks` names it. Refused, nothing written and the records kept, when the traces
  // cannot be read, no model can be fitted, or `progress` (a step a number of states) is asked
  // to stop; a table whose import fails stays, and says so. Molecules left out, by the reading
  // or by the import, are an error that counts them (the rest is done and kept). A time column
  // of the traces, or --frame-time, sets the exposure.
  Outcome Idealise(const std::vector<std::string>& paths, const IdealiseArguments& arguments,
                   WorkProgress* progress = nullptr);
  // The last idealisation that was written: its molecules, models, paths and table; null before.
  std::shared_ptr<const IdealisedTraces> Idealised() const { return idealised_; }
  // Which molecules of the last idealisation stand in the rates, in its order: every one after
  // an idealisation; none before.
  const std::vector<bool>& KeptMolecules() const { return kept_; }
  // Keeps (`keep`) or rejects the molecules of the last idealisation named in `names` (every one
  // when empty), or, by `rule`, keeps those that pass it and rejects the rest. The records become
  // the reports of the molecules kept, the map is rebuilt, a lock is made again in the same
  // states (its fits, dwell analyses and rate matrix forgotten) and the model's rate matrix is
  // fitted again from the expected counts of the molecules kept (`progress` counts its
  // replicates); the states of the model stay as fitted to every molecule. Refused, nothing
  // changed, before an idealisation, once other reports have been loaded, for a name of no
  // molecule, when no molecule would be kept, or when `progress` is asked to stop.
  Outcome ChooseMolecules(const std::vector<std::string>& names, bool keep, WorkProgress* progress = nullptr);
  Outcome ChooseMolecules(const MoleculeRule& rule, WorkProgress* progress = nullptr);
  // The rate matrix of the last idealisation's chosen model itself, fitted at the exposure of
  // the idealisation to the frame-to-frame counts the model expects of each molecule, with
  // bootstrap intervals over the molecules (kinetics/hmmrates.h); `trouble` says why there is
  // none (molecules each with their own transition matrix, say). Null before an idealisation,
  // or when it was asked to stop.
  const kinetics::RateMatrix* HmmRateAnalysis() const { return hmmRateMatrix_ ? &*hmmRateMatrix_ : nullptr; }
  // Its rates as rows of the results, estimator "hmm-rate-matrix", states numbered as the
  // model's; none once reports other than those of the idealisation are loaded.
  std::vector<DwellResultRow> HmmRateResults() const;
  const TransitionRecords& Records() const { return records_; }
  const std::vector<std::string>& Files() const { return files_; }
  // Every loaded report's dwells, in load order, from the "dwells.csv" beside the reports (an
  // import writes it); empty when there is none.
  const DwellTable& Dwells() const { return dwells_; }
  // The folder every output file goes to: the first report's, with its final separator; empty
  // (the current directory) before the first load.
  const std::string& OutputFolder() const { return outputFolder_; }
  std::string OutputPath(const std::string& name) const { return outputFolder_ + name; }
  // Output goes into `folder` (with its final separator) until the next load.
  void SetOutputFolder(std::string folder) { outputFolder_ = std::move(folder); }

  // --- The density map -------------------------------------------------------------------------
  // Rebuilt from the records, weighted as Weighted() says, and written to "3dgrid.dat".
  Outcome RebuildMap();
  const DensityGrid& Grid() const { return grid_; }

  // --- The lock ----------------------------------------------------------------------------------
  // Sorts every record into the class of its states under the current N and cutoffs, histograms
  // every class, places the default circles; classes beyond N x N lose their fits.
  Outcome Lock();
  bool Locked() const { return lockedStates_ > 0; }
  int LockedStates() const { return lockedStates_; }
  // Whether class from->to (1-based) is one of the last lock; the refusal says why not.
  Outcome CheckLockedClass(int from, int to) const;
  // Every list of the last lock, class i->j (0-based) at i x N + j; none before a lock.
  const ClassLists& Lists() const { return classLists_; }
  // The list of class from->to of the last lock (1-based); null when it is none.
  const std::vector<double>* ClassList(int from, int to) const;
  // The histogram of class [from][to], 0-based, as the last lock or circle left it.
  const ClassHistogram& Histogram(int from, int to) const;

  // --- Circles -----------------------------------------------------------------------------------
  const CircleTable& Circles() const { return circles_; }
  // Shows the circle of class from->to (1-based) of the lock, one `field` step further.
  Outcome MoveCircle(int from, int to, CircleField field, int step);
  // Puts the circle of class from->to (1-based) of the lock at row, col (map cells) with
  // `radius` cells, and shows it.
  Outcome PlaceCircle(int from, int to, int row, int col, int radius);
  // Rebuilds class from->to (1-based) of the lock from the records inside its circle.
  Outcome SetCircle(int from, int to);

  // --- Fits --------------------------------------------------------------------------------------
  // Fits class from->to (1-based) of the lock at the current exposure, keeps the result and
  // writes the class's rate file "I,Jrates.dat". Refused, the previous result kept, when the class
  // has no rate to fit or the fit does not finish. The fit's intervals come with it, unless the
  // session computes them in the background: then the fit stands at once, its intervals
  // IntervalState::kComputing until CollectIntervals takes them in.
  Outcome Fit(int from, int to);
  // Whether Fit leaves the intervals to worker threads (off until set).
  void SetIntervalsInBackground(bool background) { intervalsInBackground_ = background; }
  // Takes the intervals computed since the last call into their fits; returns the classes
  // (1-based) that got theirs. Never waits.
  std::vector<std::pair<int, int>> CollectIntervals();
  // Waits for every interval still computing, and takes them in; the classes that got theirs.
  std::vector<std::pair<int, int>> AwaitIntervals();
  // Waits, from any thread, until no interval is computing or `stop` is requested; takes
  // nothing in (CollectIntervals does). Whether none is computing.
  bool WaitForIntervals(std::stop_token stop) const { return intervals_->WaitUntilIdle(std::move(stop)); }
  // Stops computing intervals: every fit still waiting for one keeps none, and says so. Returns
  // the classes of those fits (1-based).
  std::vector<std::pair<int, int>> StopIntervals();
  // The fits of `classes` (1-based) keep no interval, computed or not, as if stopped while
  // computing; returns those that have a fit.
  std::vector<std::pair<int, int>> StopIntervals(const std::vector<std::pair<int, int>>& classes);
  // How far the intervals being computed are; nothing when none is.
  struct IntervalProgress {
    int from = 0, to = 0;  // the class computing now, 1-based
    int replicatesDone = 0;
    int replicates = 0;
    int waiting = 0;  // classes behind it
  };
  std::optional<IntervalProgress> IntervalsProgress() const;
  // The fit of class from->to (1-based); null when it has none.
  const ClassFit* FitOf(int from, int to) const;
  const ClassFits& Fits() const { return fits_; }
  // Every fitted class of the current N, in the log's order.
  std::vector<ResultRow> Results() const;
  // The rates of the last analysis of the dwells, when it was made for the current N.
  std::vector<DwellResultRow> DwellResults() const;
  ResultsSource Source(std::string dateTime) const;
  // What the result files hold: every table of rates worked out at the exposure in force, and
  // in `leftOut` a notice for each that had rows of another exposure.
  ResultTables FileTables(std::vector<std::string>& leftOut) const;

  // --- Dwell times ------------------------------------------------------------------------------
  // Fits every state's dwells, in the states of the lock, and the rate matrix they give, with
  // its bootstrap intervals (`progress` counts the replicates). Refused before a lock, without
  // dwells, or when `progress` is asked to stop; the last analysis is kept then.
  Outcome AnalyseDwells(const DwellOptions& options, WorkProgress* progress = nullptr);
  // The last analysis of the dwells, until the next load or lock; null when there is none.
  const DwellTimes* DwellAnalysis() const { return dwellTimes_ ? &*dwellTimes_ : nullptr; }

  // --- The rate matrix ----------------------------------------------------------------------------
  // Counts each molecule's frames from its dwells in the states of the lock and fits the rate
  // constants behind them at the current exposure, `paths` (0-based i -> j) free and the others
  // held at 0, every path when empty; `progress` counts the bootstrap replicates. Refused before
  // a lock, without dwells, or when `progress` is asked to stop; the last matrix is kept then.
  Outcome AnalyseRates(const std::vector<std::pair<int, int>>& paths = {}, WorkProgress* progress = nullptr);
  // The last rate matrix, until the next load or lock; null when there is none.
  const kinetics::RateMatrix* RateAnalysis() const { return rateMatrix_ ? &*rateMatrix_ : nullptr; }
  // Its rates as rows of the results, estimator "rate-matrix", none when it was not made for
  // the current N; then those of HmmRateResults.
  std::vector<DwellResultRow> RateResults() const;
  // The same matrix with what the lock knows of its states (their values between the cutoffs,
  // the mean value of their frames), for the export's scheme; none when RateResults has none.
  std::optional<SchemeData> RateScheme() const;

  // --- Reports -----------------------------------------------------------------------------------
  // "log.dat" with every fitted class of the current N, and "results.csv" and "rates.csv"
  // beside it (FileTables).
  Outcome WriteLog() const;
  // What an export draws and tabulates; `shownCircle` is the circle the map figure draws.
  ExportData ExportContents(std::optional<SelectionCircle> shownCircle) const;
  // The figures and tables into `folder`; `shownCircle` is the circle the map figure draws.
  // Nothing is written when `progress` (whose steps are the figures drawn) is asked to stop
  // before they all are.
  Outcome Export(const std::string& folder, const ExportOptions& options, std::optional<SelectionCircle> shownCircle,
                 WorkProgress* progress = nullptr) const;

 private:
  // A test may set a class's list and histogram as a lock or a circle would leave them.
  friend struct SessionTestPeer;

  // Import, and the molecules it gave no report into `skipped`.
  Outcome ImportCounting(const std::vector<std::string>& paths, const ImportOptions& options, std::size_t& skipped);
  // Ends the lock and forgets every class list, histogram and fit.
  void ClearResults();
  // Puts the intervals of `answers` into the fits waiting for them; the classes, 1-based.
  std::vector<std::pair<int, int>> TakeAnswers(std::vector<IntervalQueue::Answer> answers);
  // Forgets the fit of class [i][j] (0-based), and the interval it waits for.
  void ForgetFit(std::size_t i, std::size_t j);
  // Drops the interval the fit of class [i][j] (0-based) waits for, if it waits for one.
  void CancelInterval(std::size_t i, std::size_t j);
  std::string TooManyTransitionsMessage() const;
  std::size_t RecordsPerMolecule() const;
  // F_i of every molecule for the pooled rate of the class `rule`: from its dwells where it has
  // them, which know every frame, else from its records.
  StateFrames StateFramesOf(const ClassRule& rule) const;
  // Takes `kept` as the molecules of the idealisation that stand in the rates (ChooseMolecules);
  // `why` the rejections said, by molecule.
  Outcome TakeMolecules(std::vector<bool> kept, const std::vector<std::string>& why, WorkProgress* progress);

  double exposure_ = 0.1;
  int peaks_ = 10;
  bool weighted_ = true;
  ColorTable colours_;

  int states_ = 0;
  Cutoffs cutoffs_{};

  TransitionRecords records_;
  std::vector<std::string> files_;
  DwellTable dwells_;
  // Per molecule (report), its dwells in dwells_, or none.
  std::vector<std::optional<std::size_t>> moleculeDwells_;
  std::optional<DwellTimes> dwellTimes_;
  std::optional<kinetics::RateMatrix> rateMatrix_;
  std::shared_ptr<const IdealisedTraces> idealised_;
  std::optional<kinetics::RateMatrix> hmmRateMatrix_;
  std::vector<std::string> hmmRateFiles_;  // the reports the idealisation's import loaded, of the molecules kept
  std::vector<bool> kept_;                  // per molecule of idealised_
  std::vector<std::string> moleculeReports_;  // per molecule of idealised_, its report, or empty for none
  std::string outputFolder_;
  DensityGrid grid_;

  int lockedStates_ = 0;
  ClassLists classLists_;  // laid out for lockedStates_ states
  std::array<std::array<ClassRule, kMaxStates>, kMaxStates> rules_{};
  std::array<std::array<ClassHistogram, kMaxStates>, kMaxStates> histograms_{};
  CircleTable circles_;
  ClassFits fits_;

  bool intervalsInBackground_ = false;
  std::unique_ptr<IntervalQueue> intervals_;
  // The request whose answer a fit waits for, per class [from][to], 0-based.
  std::array<std::array<std::optional<IntervalQueue::Ticket>, kMaxStates>, kMaxStates> intervalTickets_{};
};
