#include "fit/results.h"

#include <algorithm>
#include <charconv>

#include "fit/gaussfit.h"

namespace {

constexpr int kDigits = 6;
// What a cell of the intervals says while their replicates still run.
constexpr const char* kComputing = "computing...";

std::string Number(double value) {
  char text[40];
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, kDigits).ptr);
}

std::string Optional(const std::optional<double>& value) { return value ? Number(*value) : std::string(); }

std::string Joined(const std::vector<std::string>& cells, char separator) {
  std::string line;
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (k) line += separator;
    line += cells[k];
  }
  return line + "\n";
}

// Flags in one cell: a bar between them, which no flag and no separator of the tables holds.
std::string JoinedFlags(const std::vector<std::string>& flags) {
  std::string cell;
  for (const std::string& flag : flags) cell += (cell.empty() ? "" : " | ") + flag;
  return cell;
}

}  // namespace

std::vector<std::string> ResultColumns() {
  return {"class",       "rate",       "rate_low",    "rate_high", "width",          "pooled_rate",
          "pooled_low",  "pooled_high", "transitions", "molecules", "replicates_used", "source",
          "exposure_s",  "flags",      "estimator",   "pooled_corrected_rate", "pooled_frames_unknown"};
}

namespace {

// What the Gaussian's bounds say of its fit.
std::vector<std::string> BoundFlags(const ClassFit& fit) {
  std::vector<std::string> flags;
  const BoundsReached bounds = BoundsOf(fit.gaussian);
  if (bounds.centre) flags.push_back("at bound: the class's rates lie beyond the fit's range; the rate is a limit");
  if (bounds.width) flags.push_back("width at bound: the class is narrower than the fit can show; the stdev is a limit");
  if (bounds.amplitude) flags.push_back("amplitude at bound: the fit found next to nothing");
  return flags;
}

// What the class's sample and bootstrap say, of the Gaussian's rate and the pooled rate alike.
std::vector<std::string> SampleFlags(const ClassFit& fit) {
  const ClassUncertainty& u = fit.uncertainty;
  std::vector<std::string> flags;
  if (u.molecules < kLeastMoleculesForInterval)
    flags.push_back("too few molecules for an interval (" + std::to_string(u.molecules) + " of at least " +
                    std::to_string(kLeastMoleculesForInterval) + ")");
  if (u.state == IntervalState::kStopped) flags.push_back("interval stopped before it was computed: fit again for one");
  if (u.framesUnknown > 0)
    flags.push_back(std::to_string(u.framesUnknown) + (u.framesUnknown == 1 ? " molecule" : " molecules") +
                    " left out of the pooled rate: frames in the initial state not known");
  if (u.state == IntervalState::kComputed && u.failed > 0)
    flags.push_back(std::to_string(u.failed) + " of " + std::to_string(u.replicates) + " replicates failed");
  return flags;
}

}  // namespace

std::vector<std::string> ResultFlags(const ClassFit& fit) {
  std::vector<std::string> flags = BoundFlags(fit);
  for (std::string& flag : SampleFlags(fit)) flags.push_back(std::move(flag));
  return flags;
}

std::vector<std::string> ResultCells(const ResultRow& row) {
  const ClassUncertainty& u = row.fit.uncertainty;
  const bool computing = u.state == IntervalState::kComputing;
  const auto end = [&](const std::optional<Interval>& interval, bool high) {
    if (computing) return std::string(kComputing);
    return interval ? Number(high ? interval->high : interval->low) : std::string();
  };
  return {ClassName(row.from, row.to),
          Number(row.fit.rate),
          end(u.Rate(), false),
          end(u.Rate(), true),
          Number(row.fit.stdev),
          Optional(u.pooledRate),
          end(u.Pooled(), false),
          end(u.Pooled(), true),
          std::to_string(row.fit.transitions),
          std::to_string(u.molecules),
          computing ? std::string(kComputing) : std::to_string(u.state == IntervalState::kStopped ? 0 : u.replicates - u.failed),
          row.fit.rule.circle ? "circle" : "cutoffs",
          Number(row.fit.exposureTime),
          JoinedFlags(ResultFlags(row.fit)),
          "gaussian",
          Optional(row.pooledCorrected),
          std::to_string(u.framesUnknown)};
}

std::vector<std::string> ResultCells(const DwellResultRow& row) {
  const auto end = [&](bool high) {
    if (row.interval) return Number(high ? row.interval->high : row.interval->low);
    return high && row.upperLimit ? Number(*row.upperLimit) : std::string();
  };
  return {ClassName(row.from, row.to),
          Number(row.rate),
          end(false),
          end(true),
          "",
          "",
          "",
          "",
          std::to_string(row.transitions),
          std::to_string(row.molecules),
          std::to_string(row.replicates),
          "dwells",
          Number(row.exposureTime),
          JoinedFlags(row.flags),
          row.estimator,
          "",
          ""};
}

std::string ResultsCsv(const ResultsSource& source, const std::vector<ResultRow>& rows,
                       const std::vector<DwellResultRow>& dwellRows, const std::vector<DwellResultRow>& rateRows) {
  // No "#" line holds the separator: a reader that skips them finds one table.
  std::string text = "# Varnel " VARNEL_VERSION " results of " + source.dateTime + "\n";
  text += "# reports: " + std::to_string(source.reports) + " in " + (source.folder.empty() ? "." : source.folder) + "\n";
  // One exposure for all rows, as it should be; otherwise each class's.
  bool oneExposure = true;
  for (const ResultRow& row : rows) oneExposure = oneExposure && row.fit.exposureTime == rows.front().fit.exposureTime;
  text += "# exposure time (s):";
  if (rows.empty() || oneExposure) {
    // Without a Gaussian fit, the exposure the other rates were worked out at.
    const DwellResultRow* other = !rateRows.empty() ? &rateRows.front() : !dwellRows.empty() ? &dwellRows.front() : nullptr;
    text += !rows.empty() ? " " + Number(rows.front().fit.exposureTime)
            : other      ? " " + Number(other->exposureTime)
                         : std::string(" -");
  } else {
    for (const ResultRow& row : rows) text += " " + ClassName(row.from, row.to) + " " + Number(row.fit.exposureTime) + ";";
    text.pop_back();
  }
  text += "\n";
  text += "# states: " + std::to_string(source.states) + "\n";
  text += "# cutoffs:";
  for (int k = 0; k < source.states && k < kMaxStates; ++k) text += " " + Number(source.cutoffs[static_cast<std::size_t>(k)]);
  text += "\n# weighted by number of transitions: " + std::string(source.weighted ? "yes" : "no") + "\n";
  // The kind of interval, one for all rows as the program gives them; otherwise each class's.
  const auto kindOf = [](const ResultRow& row) { return row.fit.uncertainty.kind; };
  bool oneKind = true, anyBca = rows.empty() && kDefaultIntervalKind == IntervalKind::kBca;
  for (const ResultRow& row : rows) {
    oneKind = oneKind && kindOf(row) == kindOf(rows.front());
    anyBca = anyBca || kindOf(row) == IntervalKind::kBca;
  }
  const std::string origin = "intervals from a bootstrap over the reports as molecules";
  if (rows.empty() || oneKind) {
    text += "# intervals: 95 % " +
            std::string(IntervalKindName(rows.empty() ? kDefaultIntervalKind : kindOf(rows.front()))) + " " + origin;
  } else {
    text += "# intervals: 95 % " + origin + ":";
    for (const ResultRow& row : rows)
      text += " " + ClassName(row.from, row.to) + " " + std::string(IntervalKindName(kindOf(row))) + ";";
    text.pop_back();
  }
  text += anyBca ? " (BCa: bias-corrected and accelerated)\n" : "\n";
  for (const ResultRow& row : rows)
    if (row.fit.rule.circle)
      text += "# class " + ClassName(row.from, row.to) + " from a circle: centre row " +
              std::to_string(row.fit.rule.circle->row) + " column " + std::to_string(row.fit.rule.circle->col) +
              " radius " + std::to_string(row.fit.rule.circle->radius) + " (map cells of 0.005)\n";
  if (!dwellRows.empty())
    text += "# estimator dwell: the exit rate of each state from the maximum-likelihood fit of its dwell times "
            "split by where its transitions go; intervals from a bootstrap over the molecules\n";
  const auto hasEstimator = [&](std::string_view name) {
    return std::any_of(rateRows.begin(), rateRows.end(), [&](const DwellResultRow& row) { return row.estimator == name; });
  };
  if (hasEstimator("rate-matrix"))
    text += "# estimator rate-matrix: the rate constants whose matrix exponential over one exposure best gives "
            "how often a frame in each state is followed by one in each other (maximum likelihood); intervals from "
            "a bootstrap over the molecules; a path never seen has its one-sided 95 % upper limit as rate_high\n";
  if (hasEstimator("hmm-rate-matrix"))
    text += "# estimator hmm-rate-matrix: the same fit to the frame-to-frame steps the idealisation's hidden Markov "
            "model expects of each molecule, which keeps the short visits its most likely path misses\n";
  text += Joined(ResultColumns(), ',');
  for (const DwellResultRow& row : rateRows) text += Joined(ResultCells(row), ',');
  for (const ResultRow& row : rows) text += Joined(ResultCells(row), ',');
  for (const DwellResultRow& row : dwellRows) text += Joined(ResultCells(row), ',');
  return text;
}

ResultTables AtOneExposure(ResultTables tables, double exposure, std::vector<std::string>& leftOut) {
  const auto keep = [&](auto& rows, const auto& exposureOf, const std::string& one, const std::string& many,
                        const std::string& command) {
    std::vector<std::string> others;
    const auto stale = std::remove_if(rows.begin(), rows.end(), [&](const auto& row) {
      const double at = exposureOf(row);
      if (at == exposure) return false;
      if (std::find(others.begin(), others.end(), Number(at)) == others.end()) others.push_back(Number(at));
      return true;
    });
    const auto dropped = static_cast<std::size_t>(rows.end() - stale);
    rows.erase(stale, rows.end());
    if (dropped == 0) return;
    std::string at;
    for (const std::string& other : others) at += (at.empty() ? "" : ", ") + other + " s";
    const bool single = dropped == 1;
    leftOut.push_back("The result files hold the rates at the exposure in force, " + Number(exposure) + " s: " +
                      std::to_string(dropped) + " " + (single ? one : many) + " worked out at " + at +
                      (single ? " is" : " are") + " left out; \"" + command + "\" works " + (single ? "it" : "them") +
                      " out again.");
  };
  const auto ofDwell = [](const DwellResultRow& row) { return row.exposureTime; };
  keep(tables.rateRows, ofDwell, "rate of the rate matrix", "rates of the rate matrix", "rates");
  keep(tables.rows, [](const ResultRow& row) { return row.fit.exposureTime; }, "Gaussian fit", "Gaussian fits",
       "fit all");
  keep(tables.dwellRows, ofDwell, "dwell rate", "dwell rates", "dwell all");
  keep(tables.exitRows, ofDwell, "exit rate", "exit rates", "dwell all");
  return tables;
}

std::vector<std::string> RateTableColumns() {
  return {"class", "estimator", "rate", "low", "high", "unit", "n", "molecules", "flags", "exposure_s"};
}

std::string RatesCsv(const ResultTables& tables) {
  std::string text = Joined(RateTableColumns(), ',');
  const auto add = [&](const std::string& name, const std::string& estimator, const std::optional<double>& rate,
                       const std::optional<Interval>& interval, const std::optional<double>& high, std::int64_t n,
                       std::int64_t molecules, const std::vector<std::string>& flags, double exposure) {
    if (!rate) return;
    text += Joined({name, estimator, Number(*rate), interval ? Number(interval->low) : "",
                    interval ? Number(interval->high) : Optional(high), "s^-1", std::to_string(n),
                    std::to_string(molecules), JoinedFlags(flags), Number(exposure)},
                   ',');
  };
  const auto addRow = [&](const DwellResultRow& row, const std::string& name) {
    add(name, row.estimator, row.rate, row.interval, row.upperLimit, row.transitions, row.molecules, row.flags,
        row.exposureTime);
  };
  for (const DwellResultRow& row : tables.rateRows) addRow(row, ClassName(row.from, row.to));
  for (const ResultRow& row : tables.rows) {
    const ClassUncertainty& u = row.fit.uncertainty;
    // A cell a reader takes as a number holds one: an interval still computing is a flag.
    std::vector<std::string> flags = SampleFlags(row.fit);
    if (u.state == IntervalState::kComputing) flags.push_back("interval still computing: write the tables again");
    std::vector<std::string> fitFlags = BoundFlags(row.fit);
    fitFlags.insert(fitFlags.end(), flags.begin(), flags.end());
    const bool computed = u.state == IntervalState::kComputed;
    const std::string name = ClassName(row.from, row.to);
    add(name, "gaussian", row.fit.rate, computed ? u.Rate() : std::nullopt, std::nullopt, row.fit.transitions,
        u.molecules, fitFlags, row.fit.exposureTime);
    // What the Gaussian's bounds say is not the pooled rate's.
    add(name, "pooled", u.pooledRate, computed ? u.Pooled() : std::nullopt, std::nullopt, row.fit.transitions,
        u.molecules, flags, row.fit.exposureTime);
    add(name, "pooled-frame-corrected", row.pooledCorrected, std::nullopt, std::nullopt, row.fit.transitions,
        u.molecules, {}, row.fit.exposureTime);
  }
  for (const DwellResultRow& row : tables.dwellRows) addRow(row, ClassName(row.from, row.to));
  for (const DwellResultRow& row : tables.exitRows) addRow(row, std::to_string(row.from) + "->*");
  return text;
}

std::string TabSeparated(const std::vector<std::string>& columns, const std::vector<std::vector<std::string>>& rows) {
  std::string text = Joined(columns, '\t');
  for (const std::vector<std::string>& cells : rows) text += Joined(cells, '\t');
  return text;
}

std::string ResultsTabText(const std::vector<ResultRow>& rows, const std::vector<DwellResultRow>& dwellRows,
                           const std::vector<DwellResultRow>& rateRows) {
  std::vector<std::vector<std::string>> cells;
  for (const DwellResultRow& row : rateRows) cells.push_back(ResultCells(row));
  for (const ResultRow& row : rows) cells.push_back(ResultCells(row));
  for (const DwellResultRow& row : dwellRows) cells.push_back(ResultCells(row));
  return TabSeparated(ResultColumns(), cells);
}

std::string RateTip(const ClassFit& fit, double exposureNow) {
  const ClassUncertainty& u = fit.uncertainty;
  std::string tip;
  if (u.state == IntervalState::kComputing)
    tip = "95 % interval " + std::string(kComputing) + " (bootstrap over " + std::to_string(u.molecules) +
          " molecules, " + std::to_string(u.replicates) + " replicates)";
  else if (u.Rate())
    tip = "95 % interval " + Number(u.Rate()->low) + " ... " + Number(u.Rate()->high) + " s^-1 (bootstrap over " +
          std::to_string(u.molecules) + " molecules, " + std::to_string(u.replicates - u.failed) + " of " +
          std::to_string(u.replicates) + " replicates, " + std::string(IntervalKindName(u.kind)) + ")";
  else
    tip = "no interval";
  for (const std::string& flag : ResultFlags(fit)) tip += "; " + flag;
  if (u.pooledRate) {
    tip += "; pooled rate " + Number(*u.pooledRate) + " s^-1";
    if (u.state == IntervalState::kComputing)
      tip += " (interval " + std::string(kComputing) + ")";
    else if (u.Pooled())
      tip += " (" + Number(u.Pooled()->low) + " ... " + Number(u.Pooled()->high) + ")";
  }
  // A rate is the fit's centre over the exposure it was fitted with: a new exposure in the window
  // changes no rate until the class is fitted again.
  if (fit.exposureTime != exposureNow)
    tip += "; fitted with exposure " + Number(fit.exposureTime) + " s, not the " + Number(exposureNow) +
           " s shown now: fit again to use it";
  return tip;
}

std::vector<std::string> PooledDwellDisagreements(const std::vector<ResultRow>& rows,
                                                  const std::vector<DwellResultRow>& dwellRows) {
  std::vector<std::string> notices;
  for (const ResultRow& row : rows) {
    const ClassUncertainty& u = row.fit.uncertainty;
    if (u.state != IntervalState::kComputed || !u.pooledRate || !u.Pooled()) continue;
    const auto dwell = std::find_if(dwellRows.begin(), dwellRows.end(), [&](const DwellResultRow& d) {
      return d.from == row.from && d.to == row.to && d.interval;
    });
    if (dwell == dwellRows.end()) continue;
    const Interval& pooled = *u.Pooled();
    const Interval& dwelt = *dwell->interval;
    if (pooled.high >= dwelt.low && dwelt.high >= pooled.low) continue;
    notices.push_back("Class " + std::to_string(row.from) + "->" + std::to_string(row.to) + ": the pooled rate " +
                      Number(*u.pooledRate) + " s^-1 (" + Number(pooled.low) + " ... " + Number(pooled.high) +
                      ") and the dwell rate " + Number(dwell->rate) + " s^-1 (" + Number(dwelt.low) + " ... " +
                      Number(dwelt.high) +
                      ") differ by more than their intervals allow: traces that do not start in steady state, or "
                      "a state that leaves at more than one rate, do this. The rate matrix takes every frame.");
  }
  return notices;
}
