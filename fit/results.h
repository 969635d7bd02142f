// The results table: every fitted class with its interval, pooled rate and provenance, as
// "results.csv", as the window's table and as tab-separated text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "domain/analysis_types.h"
#include "fit/bootstrap.h"
#include "fit/classfit.h"
#include "selection/classlists.h"

// One fitted class.
struct ResultRow {
  int from = 0;  // 1-based, as the user names the class
  int to = 0;
  ClassFit fit;
  // The pooled rate as the rate constant of a process sampled once per frame, s^-1
  // (FrameCorrectedRates over the pooled rates of the class's row); none without them.
  std::optional<double> pooledCorrected = std::nullopt;
};

// One rate of a rate matrix: the dwell times' (estimator "dwell"), or the frame-to-frame one
// of the lock's dwells (estimator "rate-matrix").
struct DwellResultRow {
  int from = 0;  // 1-based
  int to = 0;
  double rate = 0;  // s^-1
  std::optional<Interval> interval;
  // A path with no counted step has no interval but a one-sided 95 % limit, s^-1: the row
  // shows it as the high end with an empty low end.
  std::optional<double> upperLimit;
  std::int64_t transitions = 0;  // the dwells in `from` left for `to` (rate-matrix: frames in i followed by j)
  std::int64_t molecules = 0;    // with a dwell in `from` (rate-matrix: that made the step)
  int replicates = 0;            // that gave the interval
  double exposureTime = 0;
  std::vector<std::string> flags;
  std::string estimator = "dwell";
};

// What data and settings the rows come from.
struct ResultsSource {
  std::string dateTime;  // when the table was written, local time
  std::size_t reports = 0;
  std::string folder;
  int states = 0;
  Cutoffs cutoffs{};
  bool weighted = true;
};

// Every table of rates the result files hold, in the order results.csv gives them.
struct ResultTables {
  std::vector<DwellResultRow> rateRows;   // the rate matrices'
  std::vector<ResultRow> rows;            // the Gaussian fits, with their pooled rates
  std::vector<DwellResultRow> dwellRows;  // the dwell k_ij
  std::vector<DwellResultRow> exitRows;   // each state's exit rate, estimator "dwell-exit", `to` 0
};

// The rows of `tables` worked out at `exposure` (s): a file holds the rates of one exposure. A
// notice in `leftOut` for each table that loses rows, with the command that works them out again.
ResultTables AtOneExposure(ResultTables tables, double exposure, std::vector<std::string>& leftOut);

// The columns of the table, in order.
std::vector<std::string> ResultColumns();

// What a reader of the rate must know of it, each a phrase without comma: a fit that ended on
// a bound (BoundsOf), a class of too few molecules for an interval, replicates that failed.
std::vector<std::string> ResultFlags(const ClassFit& fit);

// The cells of a row under those columns: numbers with 6 significant digits and a point, an
// empty cell where there is no value (an interval no replicate gave). A dwell rate's row leaves
// the cells of the Gaussian fit and the pooled rate empty.
std::vector<std::string> ResultCells(const ResultRow& row);
std::vector<std::string> ResultCells(const DwellResultRow& row);

// "results.csv": `#` lines saying where the numbers come from, a header row, a row per rate of
// the rate matrix (the rates to report, first), one row per class, then a row per rate of the
// dwell times.
std::string ResultsCsv(const ResultsSource& source, const std::vector<ResultRow>& rows,
                       const std::vector<DwellResultRow>& dwellRows = {},
                       const std::vector<DwellResultRow>& rateRows = {});

// "rates.csv": every rate of `tables` in one long table, a row a rate and estimator, no comment
// lines, so that a data frame reads it as it stands: rate-matrix and hmm-rate-matrix, gaussian,
// pooled, pooled-frame-corrected, dwell and dwell-exit (class "i->*"). Rates and interval ends
// in s^-1; n is the transitions (frame-to-frame steps for the matrices, dwells for an exit).
std::vector<std::string> RateTableColumns();
std::string RatesCsv(const ResultTables& tables);

// `columns` and the cells of `rows` as tab-separated lines, as a spreadsheet takes them from
// the clipboard.
std::string TabSeparated(const std::vector<std::string>& columns, const std::vector<std::vector<std::string>>& rows);

// The header and the rows as tab-separated lines, as a spreadsheet takes them from the clipboard.
std::string ResultsTabText(const std::vector<ResultRow>& rows, const std::vector<DwellResultRow>& dwellRows = {},
                           const std::vector<DwellResultRow>& rateRows = {});

// A notice for every class whose pooled rate and dwell rate lie further apart than their 95 %
// intervals reach (neither interval holds any point of the other): both measure the same k_ij
// only when the traces start in steady state and each state leaves at one rate. Classes with
// either interval missing, or still computing, are passed over.
std::vector<std::string> PooledDwellDisagreements(const std::vector<ResultRow>& rows,
                                                  const std::vector<DwellResultRow>& dwellRows);

// What the rate's edit says of its fit, in one line: how sure the rate is, and the exposure it
// was divided by when that is no longer `exposureNow`, the exposure the window shows.
std::string RateTip(const ClassFit& fit, double exposureNow);
