// What an export takes from the analysis: the grid, colours, cutoffs and circle the map shows,
// and each fitted class with the histogram it was fitted to; the CSV tables hold the very
// numbers the program holds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "analysis/session.h"
#include "export/tables.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kMolecules = 40;
constexpr double kExposure = 0.1;

// Per molecule, a 1->2 transition of 2 states (0.2 -> 0.8) at e^(-4 + 0.05 (k mod 11 - 5))
// per frame, and a 2->1 transition at e^-2; the map rebuilt, 2 states locked, 1->2 fitted.
// Each record stands for `transitions` transitions, weighted or not as `weighted` says.
Session FittedSession(const TempDir& dir, double transitions = 1, bool weighted = true) {
  std::vector<TransitionRecord> records;
  std::vector<std::string> files;
  for (int k = 0; k < kMolecules; ++k) {
    records.push_back({0.2, 0.8, std::exp(-4.0 + 0.05 * (k % 11 - 5)), 0, transitions});
    records.push_back({0.8, 0.2, std::exp(-2.0), 0, transitions});
    files.push_back("molecule" + std::to_string(k) + ".dat");
  }
  Session session;
  session.SetWeighted(weighted);
  session.Adopt(TransitionRecords(records), files, (dir.path() / "").string());
  EXPECT_TRUE(session.RebuildMap().messages.empty());
  EXPECT_TRUE(session.SetStates(2).done);
  EXPECT_TRUE(session.Lock().done);
  const Outcome fit = session.Fit(1, 2);
  EXPECT_TRUE(fit.done && fit.messages.empty()) << (fit.messages.empty() ? "" : fit.messages.front().text);
  return session;
}

// The numbers of a CSV row.
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream fields(line);
  for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
  return cells;
}

}  // namespace

TEST(ExportContents, DensityCsvHoldsTheGridOfTheMapAndAgreesWithTheGridFile) {
  TempDir dir;
  const Session session = FittedSession(dir);
  const ExportData data = session.ExportContents(std::nullopt);
  EXPECT_EQ(data.map.grid.cells, session.Grid().cells);
  EXPECT_GT(data.map.grid.maximum, 0.0);
  // "3dgrid.dat": one line per record, then the grid with 4 significant digits, 0 at or below 0.01.
  std::ifstream gridFile("3dgrid.dat");
  std::string line;
  for (int r = 0; r < 2 * kMolecules; ++r) std::getline(gridFile, line);
  std::istringstream csv(DensityCsv(data.map.grid));
  std::getline(csv, line);  // the final values
  for (int i = 0; i < kMapCells; ++i) {
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> cells = Cells(line);
    ASSERT_EQ(cells.size(), 202u);
    for (int j = 0; j < kMapCells; ++j) {
      double printed = 0;
      ASSERT_TRUE(gridFile >> printed);
      const double exact = std::strtod(cells[static_cast<std::size_t>(j) + 1].c_str(), nullptr);
      ASSERT_EQ(exact, session.Grid().at(i, j));
      if (exact > 0.01)
        ASSERT_NEAR(printed, exact, 5e-4 * exact) << i << ", " << j;
      else
        ASSERT_EQ(printed, 0.0) << i << ", " << j;
    }
  }
}

TEST(ExportContents, AFittedClassComesWithTheHistogramItWasFittedToAndItsRate) {
  TempDir dir;
  Session session = FittedSession(dir);
  const ExportData data = session.ExportContents(std::nullopt);
  ASSERT_EQ(data.classes.size(), 1u);
  const ClassFigureData& fitted = data.classes[0];
  EXPECT_EQ(fitted.from, 1);
  EXPECT_EQ(fitted.to, 2);
  // The 40 rates lie at ln v = -4.25 ... -3.75: bins (ln v + 10) / 0.2 = 28.75 ... 31.25.
  double total = 0;
  for (int k = 0; k < kHistogramBins; ++k) {
    const double count = fitted.histogram.counts[static_cast<std::size_t>(k)];
    total += count;
    if (k < 28 || k > 31) {
      EXPECT_EQ(count, 0.0) << "bin " << k;
    }
  }
  EXPECT_EQ(total, kMolecules);
  // The rate is e^centre / exposure.
  EXPECT_EQ(fitted.rate, session.FitOf(1, 2)->rate);
  EXPECT_NEAR(std::exp(fitted.gaussian.centre) / kExposure, fitted.rate, 1e-12 * fitted.rate);
  EXPECT_EQ(fitted.exposureTime, kExposure);
  ASSERT_TRUE(fitted.interval);
  EXPECT_LE(fitted.interval->low, fitted.rate);
  EXPECT_GE(fitted.interval->high, fitted.rate);
  ASSERT_EQ(data.results.size(), 1u);

  // A later "Set Circle" changes the class's histogram; the export keeps what was fitted.
  const ClassHistogram fittedTo = fitted.histogram;
  ASSERT_TRUE(session.SetCircle(1, 2).done);
  EXPECT_NE(session.Histogram(0, 1).counts, fittedTo.counts);
  EXPECT_EQ(session.ExportContents(std::nullopt).classes[0].histogram.counts, fittedTo.counts);
  // histograms.csv gives those counts.
  std::istringstream csv(HistogramsCsv(session.ExportContents(std::nullopt).classes));
  std::string line;
  std::getline(csv, line);
  for (int k = 0; k < kHistogramBins; ++k) {
    ASSERT_TRUE(std::getline(csv, line));
    EXPECT_EQ(std::strtod(Cells(line)[2].c_str(), nullptr), fittedTo.counts[static_cast<std::size_t>(k)]);
  }
}

TEST(ExportContents, AFittedClassSaysHowManyMoleculesAndTransitionsItHolds) {
  TempDir dir;
  // Unweighted, each record enters the class list once, but stands for 2.5 transitions: the
  // class 1->2 holds 40 molecules and 40 x 2.5 = 100 transitions, the title's way of counting.
  const Session session = FittedSession(dir, 2.5, false);
  const ExportData data = session.ExportContents(std::nullopt);
  ASSERT_EQ(data.classes.size(), 1u);
  EXPECT_EQ(data.classes[0].molecules, kMolecules);
  EXPECT_EQ(data.classes[0].transitions, 100);
  EXPECT_EQ(session.FitOf(1, 2)->transitions, kMolecules);
  EXPECT_FALSE(data.map.weighted);
  EXPECT_TRUE(FittedSession(dir).ExportContents(std::nullopt).map.weighted);
}

// The map of an export has the cutoffs and colours of the session and the circle it is given.
TEST(ExportContents, TheMapHasTheCutoffsOfTheLockAndTheCircleItIsGiven) {
  TempDir dir;
  Session session = FittedSession(dir);
  ColorTable colours = session.Colours();
  colours[255] = {1, 2, 3};
  session.SetColours(colours);
  ExportData data = session.ExportContents(std::nullopt);
  EXPECT_EQ(data.map.states, 2);
  EXPECT_EQ(data.map.cutoffs[0], 0.5);
  EXPECT_TRUE(data.map.locked);
  EXPECT_FALSE(data.map.circle);
  EXPECT_EQ(data.map.colours[255].red, 1u);
  EXPECT_EQ(data.map.colours[255].blue, 3u);
  data = session.ExportContents(SelectionCircle{true, 50, 150, 11});
  ASSERT_TRUE(data.map.circle);
  EXPECT_EQ(data.map.circle->row, 50);
  EXPECT_EQ(data.map.circle->col, 150);
  EXPECT_EQ(data.map.circle->radius, 11);

  // Each state's mean: its records' initial values weighted by their transitions.
  Session levels;
  levels.Adopt(TransitionRecords({{0.1, 0.8, 0.02, 0, 3}, {0.3, 0.8, 0.02, 0, 1}, {0.8, 0.1, 0.05, 0, 2}}),
               {"a.dat"}, (dir.path() / "").string());
  ASSERT_TRUE(levels.SetStates(2).done);
  EXPECT_TRUE(levels.ExportContents(std::nullopt).map.stateMeans.empty());  // not before the lock
  ASSERT_TRUE(levels.Lock().done);
  const auto means = levels.ExportContents(std::nullopt).map.stateMeans;
  ASSERT_EQ(means.size(), 2u);
  EXPECT_DOUBLE_EQ(means[0].value_or(-1), (0.1 * 3 + 0.3 * 1) / 4);
  EXPECT_DOUBLE_EQ(means[1].value_or(-1), 0.8);
}
