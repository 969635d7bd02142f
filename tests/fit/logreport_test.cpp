// "log.dat": the report of every fitted class within the current number of states.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>

#include "analysis/commands.h"
#include "analysis/session.h"
#include "fit/logreport.h"
#include "fit/results.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kHeader =
    "Transition:        Rate (s^-1):             Width (s^-1):         Number of transitions:\n";

// A table of fits with the given classes fitted.
struct Fits {
  ClassFits table;
  Fits& Fitted(int from, int to, double rate, double width, int transitions) {
    ClassFit& fit = table[static_cast<std::size_t>(from - 1)][static_cast<std::size_t>(to - 1)].emplace();
    fit.rate = rate;
    fit.stdev = width;
    fit.transitions = transitions;
    return *this;
  }
};

TEST(LogReport, TwoFittedClassesOfTwoStates) {
  const Fits fits = Fits().Fitted(1, 2, 12.34567, 3.141592, 154).Fitted(2, 1, 0.5, 0.0625, 37);
  EXPECT_EQ(LogReportText(2, fits.table),
            "Assumed there were 2 real states\n"
            "\n" +
                kHeader +
                "1->2                  12.3457                  3.14159                      154\n"
                "2->1                      0.5                   0.0625                       37\n");
}

TEST(LogReport, BeforeAnyStatesOrFits) {
  EXPECT_EQ(LogReportText(0, Fits().table), "Assumed there were 0 real states\n\n" + kHeader);
}

TEST(LogReport, OnlyClassesWithinTheCurrentStatesAreListed) {
  const Fits fits = Fits().Fitted(3, 3, 2.0, 0.25, 9).Fitted(1, 1, 1.0, 0.125, 4);
  EXPECT_EQ(LogReportText(2, fits.table),
            "Assumed there were 2 real states\n\n" + kHeader +
                "1->1                        1                    0.125                        4\n");
  EXPECT_EQ(LogReportText(3, fits.table),
            "Assumed there were 3 real states\n\n" + kHeader +
                "1->1                        1                    0.125                        4\n"
                "3->3                        2                     0.25                        9\n");
}

TEST(LogReport, StateTenWidensTheFrontOnly) {
  const Fits fits = Fits().Fitted(10, 9, 1.5e-7, 123456789.0, 1000000);
  EXPECT_EQ(LogReportText(10, fits.table),
            "Assumed there were 10 real states\n\n" + kHeader +
                "10->9                  1.5e-07              1.23457e+08                  1000000\n");
}

// The log does not depend on K.
TEST(SessionLog, GoesToTheOutputFolderAndIsReplacedNotExtended) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "out");
  Session session;
  session.Adopt({}, {}, (dir.path() / "out").string() + "/");
  ASSERT_TRUE(session.SetStates(3).done);
  ASSERT_TRUE(session.SetPeaks(4).done);
  EXPECT_TRUE(session.WriteLog().messages.empty());
  EXPECT_TRUE(session.WriteLog().messages.empty());
  EXPECT_EQ(dir.Read("out/log.dat"), "Assumed there were 3 real states\n\n" + kHeader);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "results.csv"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "log.dat"));
}

}  // namespace

namespace {

// The log writes the results table beside it: where the numbers come from, then one row per
// fitted class with its interval, pooled rate and molecules.
TEST(SessionLog, TheResultsTableSaysWhatTheRatesComeFromAndHowSureTheyAre) {
  TempDir dir;
  // A copy of the example reports: the files go beside them.
  std::filesystem::copy(VARNEL_SOURCE_DIR "/examples/reports", dir / "reports");
  std::vector<std::string> reports;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "reports"))
    reports.push_back(entry.path().string());
  std::sort(reports.begin(), reports.end());
  Session session;
  ASSERT_TRUE(session.Load(reports).done);
  ASSERT_TRUE(session.SetStates(3).done);
  ASSERT_TRUE(session.Lock().done);
  // The interval follows the fit in the background; the log waits for it.
  session.SetIntervalsInBackground(true);
  ASSERT_TRUE(session.Fit(1, 2).done);
  const CommandResult log = RunCommand(session, {"log"});
  ASSERT_TRUE(log.outcome.messages.empty()) << log.outcome.messages.front().text;
  EXPECT_NE(RateTip(*session.FitOf(1, 2), 0.1).find(" replicates, percentile)"), std::string::npos);

  std::istringstream table(dir.Read("reports/results.csv"));
  std::vector<std::string> comments, rows;
  for (std::string line; std::getline(table, line);) (line.rfind("#", 0) == 0 ? comments : rows).push_back(line);
  ASSERT_EQ(rows.size(), 2u);
  // A reader that skips the "#" lines finds one table: no "#" line holds the separator.
  for (const std::string& comment : comments) EXPECT_EQ(comment.find(','), std::string::npos) << comment;
  EXPECT_EQ(std::count(rows[0].begin(), rows[0].end(), ','), std::count(rows[1].begin(), rows[1].end(), ','));
  EXPECT_EQ(rows[0],
            "class,rate,rate_low,rate_high,width,pooled_rate,pooled_low,pooled_high,transitions,molecules,"
            "replicates_used,source,exposure_s,flags,estimator,pooled_corrected_rate,pooled_frames_unknown");
  std::vector<std::string> cells;
  std::istringstream row(rows[1]);
  for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
  ASSERT_EQ(cells.size(), 17u);
  EXPECT_EQ(cells[13], "");  // nothing to flag
  EXPECT_EQ(cells[14], "gaussian");
  // As a rate constant, the pooled rate per frame p becomes -ln(1 - P) p / P: more than p.
  EXPECT_GT(std::stod(cells[15]), std::stod(cells[5]));
  EXPECT_EQ(cells[16], "0");  // every visited level of the demo's reports is left
  EXPECT_EQ(cells[0], "1->2");
  EXPECT_EQ(cells[1], "0.526166");  // as the log has it
  EXPECT_LT(std::stod(cells[2]), 0.526166);
  EXPECT_GT(std::stod(cells[3]), 0.526166);
  EXPECT_EQ(cells[8], "111");
  EXPECT_EQ(cells[9], "36");
  EXPECT_EQ(cells[10], "1000");
  EXPECT_EQ(cells[11], "cutoffs");
  EXPECT_EQ(cells[12], "0.1");
  EXPECT_EQ(comments[1], "# reports: 60 in " + (dir.path() / "reports" / "").string());
  EXPECT_EQ(comments[2], "# exposure time (s): 0.1");
  EXPECT_EQ(comments[4], "# cutoffs: 0.333333 0.666667 1");
  EXPECT_EQ(comments[6], "# intervals: 95 % percentile intervals from a bootstrap over the reports as molecules");

  // "Results..." shows the same rows, and copies them tab-separated.
  const TableView shown = ResultsTable(session);
  EXPECT_EQ(shown.rows, std::vector<std::vector<std::string>>{cells});
  std::string copied = rows[0] + '\n' + rows[1] + '\n';
  std::replace(copied.begin(), copied.end(), ',', '\t');
  EXPECT_EQ(shown.copyText, copied);
}

// The kind of interval is named once when every row has it, and class by class when they differ.
TEST(ResultsTable, NamesTheKindOfItsIntervals) {
  ResultRow one{1, 2, {}}, other{2, 1, {}};
  one.fit.uncertainty.kind = other.fit.uncertainty.kind = IntervalKind::kBca;
  const auto intervalLine = [](const std::vector<ResultRow>& rows) {
    std::istringstream text(ResultsCsv({}, rows));
    for (std::string line; std::getline(text, line);)
      if (line.rfind("# intervals:", 0) == 0) return line;
    return std::string();
  };
  EXPECT_EQ(intervalLine({one, other}),
            "# intervals: 95 % BCa intervals from a bootstrap over the reports as molecules "
            "(BCa: bias-corrected and accelerated)");
  other.fit.uncertainty.kind = IntervalKind::kPercentile;
  EXPECT_EQ(intervalLine({one, other}),
            "# intervals: 95 % intervals from a bootstrap over the reports as molecules: 1->2 BCa; 2->1 percentile "
            "(BCa: bias-corrected and accelerated)");
  EXPECT_EQ(intervalLine({other}),
            "# intervals: 95 % percentile intervals from a bootstrap over the reports as molecules");
}

// A class whose pooled and dwell intervals share no point is named; intervals that touch, a
// class without a dwell row and one whose interval is still computing are not.
TEST(ResultsTable, NamesTheClassesWhosePooledAndDwellRatesDisagree) {
  const auto pooled = [](int from, int to, double low, double high) {
    ResultRow row{from, to, {}};
    ClassUncertainty& u = row.fit.uncertainty;
    u.kind = IntervalKind::kPercentile;
    u.pooledRate = (low + high) / 2;
    u.pooledKinds.percentile = Interval{low, high};
    return row;
  };
  const auto dwell = [](int from, int to, double low, double high) {
    DwellResultRow row;
    row.from = from;
    row.to = to;
    row.rate = (low + high) / 2;
    row.interval = Interval{low, high};
    return row;
  };
  std::vector<ResultRow> rows = {pooled(1, 2, 2.0, 2.2), pooled(2, 1, 1.0, 1.5), pooled(1, 3, 3, 4), pooled(3, 1, 5, 6)};
  rows[3].fit.uncertainty.state = IntervalState::kComputing;
  const auto notices = PooledDwellDisagreements(
      rows, {dwell(2, 1, 1.5, 1.6), dwell(1, 2, 1.5, 1.7), dwell(3, 1, 1, 2), dwell(3, 2, 1, 2)});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].rfind("Class 1->2: the pooled rate 2.1 s^-1 (2 ... 2.2) and the dwell rate 1.6 s^-1 (1.5 ... 1.7) "
                             "differ by more than their intervals allow",
                             0),
            0u)
      << notices[0];
}

}  // namespace
