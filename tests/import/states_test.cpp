// Levels merged into states at the import: six levels that are three states give the very
// reports of three levels at the states' means; a hop between two levels of one state is no
// step; "auto" finds the states from the gaps between the levels; bad bounds are refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/session.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "import/states.h"
#include "reports/reportfile.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kPeaks = 3;

// Two molecules at six levels, in three pairs. Over both molecules 0.0625 holds 6 frames and
// 0.125 holds 2, so their state's mean is (6 * 0.0625 + 2 * 0.125) / 8 = 0.078125 (the levels'
// plain mean would be 0.09375); 0.4375 and 0.5625 hold 3 frames each (mean 0.5), and so do
// 0.8125 and 0.9375 (mean 0.875). Every number here is a sum of powers of two: exact.
const std::vector<double> kFirst = {0.0625, 0.0625, 0.125,  0.0625, 0.4375, 0.5625, 0.5625, 0.4375,
                                    0.8125, 0.9375, 0.9375, 0.8125, 0.0625, 0.125,  0.0625};
const std::vector<double> kSecond = {0.5625, 0.4375, 0.0625, 0.8125, 0.9375};

double StateMean(double level) { return level < 0.3 ? 0.078125 : level < 0.7 ? 0.5 : 0.875; }

// The molecules as one table, each level as it is or at its state's mean.
std::string Table(bool atMeans) {
  std::string text = "m,v\n";
  for (const auto& [name, frames] : {std::pair{"a", &kFirst}, std::pair{"b", &kSecond}})
    for (const double level : *frames) {
      char value[32];
      std::snprintf(value, sizeof value, "%.17g", atMeans ? StateMean(level) : level);
      ((text += name) += ',') += value;
      text += '\n';
    }
  return text;
}

ImportResult Import(const std::vector<std::string>& words, const std::string& folder) {
  std::vector<std::string> all = {"--molecule", "m", "--value", "v"};
  all.insert(all.end(), words.begin(), words.end());
  std::string error;
  const auto arguments = ParseImportArguments(all, error);
  EXPECT_TRUE(arguments) << error;
  return arguments ? ImportTraces({"t.csv"}, arguments->options, kPeaks, folder) : ImportResult{};
}

TEST(ImportStates, SixLevelsInThreeStatesGiveTheReportsOfThreeLevelsAtTheStatesMeans) {
  TempDir dir;
  // One file name for both, so that the reports' source lines are the same.
  dir.Write("t.csv", Table(false));
  const ImportResult bounded = Import({"--states", "0.3,0.7"}, "bounded");
  const ImportResult found = Import({"--states=auto"}, "found");
  dir.Write("t.csv", Table(true));
  const ImportResult plain = Import({}, "plain");
  for (const ImportResult* result : {&bounded, &found, &plain}) {
    ASSERT_EQ(result->error, "");
    ASSERT_EQ(result->reports.size(), 2u);
  }
  EXPECT_EQ(ImportSummary(bounded),
            "2 molecules read, 2 reports written to bounded; 6 levels became 3 states (0.078125, 0.5, 0.875)");
  EXPECT_EQ(ImportSummary(found),
            "2 molecules read, 2 reports written to found; 6 levels became 3 states (0.078125, 0.5, 0.875)");
  EXPECT_EQ(ImportSummary(plain), "2 molecules read, 2 reports written to plain");
  for (const std::string name : {"molecule_0001.dat", "molecule_0002.dat", "dwells.csv"}) {
    EXPECT_EQ(dir.Read("bounded/" + name), dir.Read("plain/" + name)) << name;
    EXPECT_EQ(dir.Read("found/" + name), dir.Read("plain/" + name)) << name;
  }

  // Molecule a stays in the states A A A A B B B B C C C C A A A, b in B B A C C: the hops
  // between the levels of a state are gone.
  EXPECT_EQ(dir.Read("bounded/dwells.csv"),
            "molecule,level,start_frame,frames,cut_at_start,cut_at_end\n"
            "molecule_0001,0.078125,1,4,1,0\nmolecule_0001,0.5,5,4,0,0\nmolecule_0001,0.875,9,4,0,0\n"
            "molecule_0001,0.078125,13,3,0,1\n"
            "molecule_0002,0.5,1,2,1,0\nmolecule_0002,0.078125,3,1,0,0\nmolecule_0002,0.875,4,2,0,1\n");
  // In a, A's frames with a next frame are 4 + 2 = 6, one of them steps to B: 1/6; its two
  // dwells last 3.5 frames on average. B and C each leave once in 4 frames.
  TransitionRecords records(kPeaks * kPeaks);
  ASSERT_EQ(ReadReport(bounded.reports[0], records.size(), records, 0).supplied, records.size());
  EXPECT_EQ(records[0 * kPeaks + 1].initial, 0.078125);
  EXPECT_EQ(records[0 * kPeaks + 1].final, 0.5);
  EXPECT_EQ(records[0 * kPeaks + 1].rate, 1.0 / 6.0);
  EXPECT_EQ(records[0 * kPeaks + 1].spare, 3.5);
  EXPECT_EQ(records[0 * kPeaks + 0].count, 1);
  EXPECT_EQ(records[1 * kPeaks + 2].rate, 0.25);
  EXPECT_EQ(records[2 * kPeaks + 0].rate, 0.25);
  EXPECT_EQ(records[1 * kPeaks + 0].count, 0);
}

TEST(ImportStates, AHopBetweenTwoLevelsOfOneStateIsNoStep) {
  TempDir dir;
  // Three levels; the first bound holds none of them, and 0.75 lies above the last bound.
  dir.Write("hop.txt", "0.25\n0.375\n0.25\n0.375\n0.75\n0.75\n");
  std::string error;
  const auto arguments = ParseImportArguments(std::vector<std::string>{"--states", "0.1,0.5"}, error);
  ASSERT_TRUE(arguments) << error;
  const ImportResult result = ImportTraces({"hop.txt"}, arguments->options, kPeaks, "out");
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(ImportSummary(result), "1 molecule read, 1 report written to out; 3 levels became 2 states (0.3125, 0.75)");
  TransitionRecords records(kPeaks * kPeaks);
  ASSERT_EQ(ReadReport(result.reports[0], records.size(), records, 0).supplied, records.size());
  // Four frames at 0.3125, all with a next frame, one step out of them.
  EXPECT_EQ(records[0 * kPeaks + 1].initial, 0.3125);
  EXPECT_EQ(records[0 * kPeaks + 1].final, 0.75);
  EXPECT_EQ(records[0 * kPeaks + 1].count, 1);
  EXPECT_EQ(records[0 * kPeaks + 1].rate, 0.25);
  EXPECT_EQ(records[0 * kPeaks + 1].spare, 4);
  EXPECT_EQ(records[0 * kPeaks + 0].count, 1);
  EXPECT_EQ(records[1 * kPeaks + 1].count, 0);
  EXPECT_EQ(records[2 * kPeaks + 2].initial, 0);  // no third state
}

// The states "auto" finds in molecules of one frame each at `levels`, as their values.
std::vector<double> Found(const std::vector<double>& levels) {
  std::vector<std::vector<Dwell>> molecules;
  for (const double level : levels) molecules.push_back({{level, 1}});
  const LevelStates states = FindStates(molecules, {.automatic = true, .bounds = {}});
  std::vector<double> values;
  for (const double value : states.values) values.push_back(value);
  return values;
}

TEST(ImportStates, AutoSplitsAtGapsWiderThanThreeTimesTheSpreadWithinTheStates) {
  EXPECT_EQ(Found({0.5, 0.5, 0.5}), std::vector<double>{0.5});
  EXPECT_EQ(Found({0.2, 0.8}), (std::vector<double>{0.2, 0.8}));
  // Splitting at the gap of 0.3 leaves {0.125, 0.25} and {0.55}: a spread of
  // sqrt(2 * 0.0625^2 / 3) = 0.051, and 0.3 > 3 * 0.051.
  EXPECT_EQ(Found({0.125, 0.25, 0.55}), (std::vector<double>{0.1875, 0.55}));
  // Evenly spaced levels d apart: two states spread d / 2, three d / sqrt(8), both too much
  // for gaps of d; each level is a state.
  EXPECT_EQ(Found({0.125, 0.25, 0.375, 0.5}), (std::vector<double>{0.125, 0.25, 0.375, 0.5}));
  // The six levels above, at 0.4375 - 0.125 = 0.3125 the widest gap: it would leave
  // {0.4375, 0.5625, 0.8125, 0.9375} one state, a spread of sqrt(0.158203 / 6) = 0.162, too
  // much; at the next gap, 0.25, the spread is sqrt(0.017578 / 6) = 0.054.
  EXPECT_EQ(Found({0.0625, 0.125, 0.4375, 0.5625, 0.8125, 0.9375}), (std::vector<double>{0.09375, 0.5, 0.875}));
}

TEST(ImportStates, BoundsThatDoNotIncreaseOrAreNoNumbersAreRefused) {
  const std::string expected = "--states takes increasing bounds separated by commas, such as 0.3,0.6, or auto";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0.5,0.3", "--states: the bounds must increase, but in '0.5,0.3' 0.3 follows 0.5"},
      {"0.3,0.3", "--states: the bounds must increase, but in '0.3,0.3' 0.3 follows 0.3"},
      {"x", expected + ", not 'x'"},
      {"", expected + ", not ''"},
      {"0.3,,0.6", expected + "; '' in '0.3,,0.6' is no number"},
      {"0.3,inf", expected + "; 'inf' in '0.3,inf' is no number"},
      {"Auto", expected + ", not 'Auto'"},
  };
  for (const auto& [value, message] : cases) {
    std::string error;
    EXPECT_FALSE(ParseImportArguments(std::vector<std::string>{"--states", value}, error)) << value;
    EXPECT_EQ(error, message);
  }
  std::string error;
  const auto one = ParseImportArguments(std::vector<std::string>{"--states", "-0.5"}, error);
  ASSERT_TRUE(one) << error;
  EXPECT_EQ(one->options.states->bounds, std::vector<double>{-0.5});
}

TEST(ImportStates, TheSessionsImportSaysWhatBecameOfTheLevelsAndLoadsTheStates) {
  TempDir dir;
  dir.Write("t.csv", Table(false));
  std::string error;
  const auto arguments = ParseImportArguments(
      std::vector<std::string>{"--molecule", "m", "--value", "v", "--peaks", "3", "--states", "auto", "--out", "r"},
      error);
  ASSERT_TRUE(arguments) << error;
  Session session;
  const Outcome outcome = session.Import({"t.csv"}, arguments->options);
  ASSERT_TRUE(outcome.done);
  ASSERT_FALSE(outcome.messages.empty());
  EXPECT_EQ(outcome.messages[0].text,
            "2 molecules read, 2 reports written to r; 6 levels became 3 states (0.078125, 0.5, 0.875).");
  ASSERT_EQ(session.Records().size(), 2u * kPeaks * kPeaks);
  // Molecule b: B B A C C.
  const TransitionRecord leaving = session.Records()[kPeaks * kPeaks + 1 * kPeaks + 0];
  EXPECT_EQ(leaving.initial, 0.5);
  EXPECT_EQ(leaving.final, 0.078125);
  EXPECT_EQ(leaving.rate, 0.5);
  ASSERT_EQ(session.Dwells().size(), 2u);
  EXPECT_EQ(session.Dwells()[1].dwells.size(), 3u);
}

// A stacked export of an HMM tool with six levels (each row: trace no., donor, acceptor, FRET,
// state no., state mean), merged with the user's two cutoffs, gives the reports of the same
// traces at their three states' means; and the pooled rate of those reports is the count of the
// steps over the frames spent in the initial state, made here on the states' own path:
// a = A A A A B B B B C C C C A A A and b = B B A C C give A 4 + 2 + 1 = 7 frames with a next
// frame, and one step A -> B; B 4 + 2 = 6 frames, one step to C and one to A.
TEST(ImportStates, AStackedExportOfSixLevelsWithTwoCutoffsGivesTheReportsOfThreeAndThePooledRateOfACount) {
  TempDir dir;
  const auto text = [](bool stacked) {
    std::string table = stacked ? "trace donor acceptor FRET state mean\n" : "m,v\n";
    for (const auto& [number, frames] : {std::pair{1, &kFirst}, std::pair{2, &kSecond}})
      for (const double level : *frames) {
        char row[96];
        if (stacked)
          std::snprintf(row, sizeof row, "%d 100 100 %.17g %d %.17g\n", number, level, level < 0.3 ? 1 : 2, level);
        else
          std::snprintf(row, sizeof row, "%d,%.17g\n", number, StateMean(level));
        table += row;
      }
    return table;
  };
  const auto import = [](const std::vector<std::string>& words, const std::string& folder) {
    std::string error;
    const auto arguments = ParseImportArguments(words, error);
    EXPECT_TRUE(arguments) << error;
    return arguments ? ImportTraces({"t.txt"}, arguments->options, kPeaks, folder) : ImportResult{};
  };
  dir.Write("t.txt", text(true));
  const ImportResult merged = import({"t.txt", "--states", "0.3,0.7"}, "merged");
  dir.Write("t.txt", text(false));
  const ImportResult three = import({"t.txt", "--molecule", "m", "--value", "v"}, "three");
  ASSERT_EQ(merged.error, "");
  ASSERT_EQ(three.error, "");
  for (const std::string name : {"molecule_0001.dat", "molecule_0002.dat", "dwells.csv"})
    EXPECT_EQ(dir.Read("merged/" + name), dir.Read("three/" + name)) << name;

  Session session;
  session.SetPeaks(kPeaks);
  ASSERT_TRUE(session.Load(merged.reports).done);
  ASSERT_TRUE(session.SetStates(3).done);
  ASSERT_TRUE(session.SetCutoffs(std::vector<double>{0.3, 0.7}).done);
  ASSERT_TRUE(session.Lock().done);
  for (const auto& [from, to, steps, frames] : {std::tuple{1, 2, 1.0, 7.0}, {2, 3, 1.0, 6.0}, {2, 1, 1.0, 6.0}}) {
    ASSERT_TRUE(session.Fit(from, to).done) << from << "->" << to;
    const ClassUncertainty& u = session.FitOf(from, to)->uncertainty;
    const double count = steps / frames / session.Exposure();
    EXPECT_NEAR(*u.pooledRate, count, 1e-9 * count) << from << "->" << to;
    EXPECT_EQ(u.framesUnknown, 0);
  }
}

}  // namespace
