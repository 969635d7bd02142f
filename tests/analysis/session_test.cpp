// The analysis as a library: a Session driven directly, with no window, as every front door
// drives it.
#include "analysis/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/fields.h"
#include "export/exportoptions.h"
#include "tests/support/temp_dir.h"

namespace {

// The first message's text, or "" when there is none.
std::string Said(const Outcome& outcome) { return outcome.messages.empty() ? "" : outcome.messages.front().text; }

// Twelve molecules of two states (0.2 and 0.8), a record each way: 1->2 at e^-4 per frame, 2->1
// at e^-3, spread a little so that each class has a histogram to fit.
Session TwoStates() {
  Session session;
  std::vector<TransitionRecord> records;
  std::vector<std::string> files;
  for (int k = 0; k < 12; ++k) {
    records.push_back({0.2, 0.8, std::exp(-4.0 + 0.04 * (k % 6 - 2.5)), 0, 1});
    records.push_back({0.8, 0.2, std::exp(-3.0 + 0.04 * (k % 4 - 1.5)), 0, 2});
    files.push_back("molecule" + std::to_string(k) + ".dat");
  }
  session.Adopt(TransitionRecords(records), files);
  EXPECT_TRUE(session.SetStates(2).done);
  return session;
}

TEST(Session, RefusesSettingsOutsideTheirFieldsInTheWordsOfTheWindow) {
  Session session;
  EXPECT_EQ(Said(session.SetExposure(0)), "Exposure time (s): enter a number from 1e-9 to 3600, for example 0.05.");
  EXPECT_EQ(Said(session.SetExposure(std::nan(""))), Said(session.SetExposure(0)));
  EXPECT_EQ(Said(session.SetStates(11)), "Number of states: enter a whole number from 1 to 10.");
  EXPECT_EQ(Said(session.SetPeaks(1001)), "Peaks in report: enter a whole number from 0 to 1000.");
  EXPECT_EQ(FieldRuleText(Field::Cutoff), "Cutoff: enter a number from 0 to 1, for example 0.5.");
  EXPECT_EQ(FieldRuleText(Field::ImportPeaks), "Peaks in report: enter a whole number from 1 to 1000 to import traces.");
  // What was refused changed nothing.
  EXPECT_EQ(session.Exposure(), 0.1);
  EXPECT_EQ(session.States(), 0);
  EXPECT_EQ(session.Peaks(), 10);
  EXPECT_TRUE(session.SetExposure(1e-9).done);
}

TEST(Session, CutoffsAreSpacedByTheStatesAndHeldOnTheAxis) {
  Session session;
  EXPECT_EQ(Said(session.SetCutoffs(std::vector<double>{0.5})), "Enter the number of states first.");
  ASSERT_TRUE(session.SetStates(4).done);
  EXPECT_EQ(session.CutoffValues()[0], 0.25);
  EXPECT_EQ(session.CutoffValues()[2], 0.75);
  EXPECT_EQ(session.CutoffValues()[3], 1.0);
  EXPECT_FALSE(session.SetCutoffs(std::vector<double>{0.1, 0.2}).done);
  ASSERT_TRUE(session.SetCutoffs(std::vector<double>{-2, 0.4, 7}).done);
  EXPECT_EQ(session.CutoffValues()[0], 0.0);
  EXPECT_EQ(session.CutoffValues()[1], 0.4);
  EXPECT_EQ(session.CutoffValues()[2], 1.0);
}

TEST(Session, ClassOperationsWaitForALockAndKeepToItsTable) {
  Session session = TwoStates();
  for (const Outcome& refused : {session.Fit(1, 2), session.SetCircle(1, 2), session.PlaceCircle(1, 2, 0, 0, 1),
                                 session.MoveCircle(1, 2, &SelectionCircle::row, 1)}) {
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(Said(refused), "Lock cutoffs first.");
  }
  ASSERT_TRUE(session.Lock().done);
  EXPECT_EQ(Said(session.Fit(3, 1)),
            "Class 3->1 is not among the classes of the last lock (2 states). Lock cutoffs again.");
  // Class 1->1 holds nothing: a notice, not an error, and nothing is stored.
  const Outcome empty = session.Fit(1, 1);
  EXPECT_FALSE(empty.done);
  ASSERT_EQ(empty.messages.size(), 1u);
  EXPECT_EQ(empty.messages[0].severity, Severity::Notice);
  EXPECT_EQ(session.FitOf(1, 1), nullptr);
}

TEST(Session, AFitKeepsEverythingItWasMadeWith) {
  TempDir dir;
  Session session = TwoStates();
  session.SetOutputFolder((dir.path() / "").string());
  ASSERT_TRUE(session.SetExposure(0.05).done);
  ASSERT_TRUE(session.Lock().done);
  ASSERT_TRUE(session.Fit(1, 2).messages.empty());
  const ClassFit* fit = session.FitOf(1, 2);
  ASSERT_NE(fit, nullptr);
  EXPECT_EQ(fit->exposureTime, 0.05);
  EXPECT_EQ(fit->rate, std::exp(fit->gaussian.centre) / 0.05);
  EXPECT_EQ(fit->stdev, fit->gaussian.width / 2 * fit->rate);
  EXPECT_EQ(fit->transitions, 12);
  EXPECT_EQ(fit->histogram.counts, session.Histogram(0, 1).counts);
  EXPECT_FALSE(fit->rule.circle);
  EXPECT_EQ(fit->uncertainty.molecules, 12);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "1,2rates.dat"));

  // A new exposure changes no stored rate; the rate's tip says which exposure it has.
  ASSERT_TRUE(session.SetExposure(0.1).done);
  EXPECT_EQ(session.FitOf(1, 2)->exposureTime, 0.05);
  EXPECT_NE(RateTip(*fit, 0.1).find("fitted with exposure 0.05 s, not the 0.1 s shown now"), std::string::npos);
  EXPECT_EQ(RateTip(*fit, 0.05).find("fitted with exposure"), std::string::npos);
  const std::vector<ResultRow> rows = session.Results();
  ASSERT_EQ(rows.size(), 1u);
  const std::vector<std::string> cells = ResultCells(rows[0]);
  EXPECT_EQ(cells[12], "0.05");
  // Its rates lie within 0.1 of ln 0.018: narrower than the fit's least width. Records that are
  // not K x K a molecule say nothing of its frames, and the fit's interval stands without them.
  EXPECT_EQ(cells[13], "width at bound: the class is narrower than the fit can show; the stdev is a limit | "
                       "12 molecules left out of the pooled rate: frames in the initial state not known");
  EXPECT_TRUE(fit->uncertainty.Rate());
  EXPECT_FALSE(fit->uncertainty.pooledRate);
}

// `molecules` molecules whose 1->2 rates per frame spread about `typical`.
Session OneClass(int molecules, double typical) {
  Session session;
  std::vector<TransitionRecord> records;
  std::vector<std::string> files;
  for (int k = 0; k < molecules; ++k) {
    records.push_back({0.2, 0.8, typical * std::exp(0.5 * std::sin(1.3 * k)), 0, 1.0 + k % 3});
    files.push_back("molecule" + std::to_string(k) + ".dat");
  }
  session.Adopt(TransitionRecords(records), files);
  EXPECT_TRUE(session.SetStates(2).done);
  EXPECT_TRUE(session.Lock().done);
  return session;
}

TEST(Session, ARateTheFitCannotVouchForIsFlaggedAndFewMoleculesGetNoInterval) {
  TempDir dir;
  const auto flags = [](const Session& session) {
    const std::vector<std::string> columns = ResultColumns();
    const auto column = std::find(columns.begin(), columns.end(), "flags") - columns.begin();
    return ResultCells(session.Results().front())[static_cast<std::size_t>(column)];
  };
  // A handful of molecules: the rate, but no interval, and the reason in every table and the tip.
  Session few = OneClass(9, 0.02);
  ASSERT_TRUE(few.Fit(1, 2).done);
  const std::vector<std::string> cells = ResultCells(few.Results().front());
  EXPECT_EQ(cells[2], "");
  EXPECT_EQ(cells[3], "");
  EXPECT_EQ(cells[10], "0");  // no replicate drawn
  EXPECT_EQ(flags(few), "too few molecules for an interval (9 of at least 10)");
  EXPECT_EQ(RateTip(*few.FitOf(1, 2), 0.1).rfind("no interval; too few molecules for an interval (9 of at least 10)", 0), 0u);
  // Ten are enough; a replicate whose fit did not finish is counted.
  Session ten = OneClass(10, 0.02);
  ASSERT_TRUE(ten.Fit(1, 2).done);
  const ClassUncertainty& u = ten.FitOf(1, 2)->uncertainty;
  EXPECT_TRUE(u.Rate());
  EXPECT_EQ(flags(ten), u.failed ? std::to_string(u.failed) + " of 1000 replicates failed" : "");
  // Rates of 0.6 per frame lie beyond the fit's range (ln above -1): the rate is the bound's.
  Session fast = OneClass(40, 0.6);
  ASSERT_TRUE(fast.Fit(1, 2).done);
  EXPECT_NEAR(fast.FitOf(1, 2)->rate, std::exp(-1.0) / 0.1, 1e-5);
  EXPECT_EQ(flags(fast), "at bound: the class's rates lie beyond the fit's range; the rate is a limit");
}

TEST(Session, ACircleRebuildsItsClassFromTheRecordsInsideIt) {
  Session session = TwoStates();
  ASSERT_TRUE(session.Lock().done);
  EXPECT_EQ(session.ClassList(2, 1)->size(), 24u);  // weighted: two entries per record
  // Row 160 (initial 0.8), column 40 (final 0.2): every 2->1 record, whatever the cutoffs.
  ASSERT_TRUE(session.PlaceCircle(1, 1, 160, 40, 3).done);
  ASSERT_TRUE(session.SetCircle(1, 1).done);
  EXPECT_EQ(session.ClassList(1, 1)->size(), 24u);
  EXPECT_TRUE(session.Circles()[0][0].visible);
  EXPECT_EQ(session.Histogram(0, 0).counts, session.Histogram(1, 0).counts);
  session.SetWeighted(false);
  ASSERT_TRUE(session.SetCircle(1, 1).done);
  EXPECT_EQ(session.ClassList(1, 1)->size(), 12u);
}

TEST(Session, ALoadThatReadsNothingKeepsTheAnalysisAndOneThatReadsEndsTheLock) {
  TempDir dir;
  Session session = TwoStates();
  ASSERT_TRUE(session.Lock().done);
  const Outcome refused = session.Load({(dir.path() / "none.dat").string()});
  EXPECT_FALSE(refused.done);
  EXPECT_EQ(Said(refused).rfind("None of the chosen files could be read as a report", 0), 0u);
  EXPECT_EQ(session.Records().size(), 24u);
  EXPECT_TRUE(session.Locked());

  // One report of 1 x 1 record: four header lines, then five numbers.
  std::ofstream(dir.path() / "one.dat") << "a\nb\nc\nd\n0.3 0.7 0.01 0 4\n";
  ASSERT_TRUE(session.SetPeaks(1).done);
  const Outcome loaded = session.Load({(dir.path() / "one.dat").string(), (dir.path() / "log.dat").string()});
  EXPECT_TRUE(loaded.done);
  ASSERT_EQ(loaded.messages.size(), 1u);  // the own output file left out, with a notice
  EXPECT_EQ(loaded.messages[0].severity, Severity::Notice);
  EXPECT_EQ(session.Records().size(), 1u);
  EXPECT_FALSE(session.Locked());
  EXPECT_EQ(session.FitOf(1, 2), nullptr);
  EXPECT_EQ(session.States(), 2);  // the states and their cutoffs stay
  EXPECT_EQ(session.OutputFolder(), (dir.path() / "").string());
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "3dgrid.dat"));
  EXPECT_GT(session.Grid().maximum, 0.0);
}

// A load or an export stopped from another thread before its end leaves everything as it was.
TEST(Session, ALoadOrExportAskedToStopWritesNothingAndKeepsTheAnalysis) {
  TempDir dir;
  Session session = TwoStates();
  session.SetOutputFolder((dir.path() / "").string());
  ASSERT_TRUE(session.Lock().done);
  std::ofstream(dir.path() / "one.dat") << "a\nb\nc\nd\n0.3 0.7 0.01 0 4\n";
  ASSERT_TRUE(session.SetPeaks(1).done);
  WorkProgress stopped;
  stopped.stop.request_stop();
  const Outcome load = session.Load({(dir.path() / "one.dat").string()}, &stopped);
  EXPECT_FALSE(load.done);
  EXPECT_EQ(Said(load), "Stopped reading the reports. The records loaded before are kept.");
  EXPECT_EQ(stopped.total, 1u);
  EXPECT_EQ(stopped.done, 0u);
  EXPECT_EQ(session.Records().size(), 24u);
  EXPECT_TRUE(session.Locked());

  const Outcome exported = session.Export((dir.path() / "figures").string(), ExportOptions{}, std::nullopt, &stopped);
  EXPECT_FALSE(exported.done);
  EXPECT_EQ(Said(exported), "The export was stopped; nothing was written.");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "figures"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "3dgrid.dat"));
}

}  // namespace
