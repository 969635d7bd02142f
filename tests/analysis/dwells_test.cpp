// The dwell times through the session, as every front door reaches them: an import keeps the
// dwells, a load finds them beside the reports, the lock's states decide which levels are one
// state, and the rates they give stand in the results, the export and a script's output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/commands.h"
#include "analysis/session.h"
#include "export/exportset.h"
#include "import/importoptions.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kMolecules = 12;
constexpr int kFrames = 300;
// The two states' chances of leaving after a frame; state 2 is seen at two levels, between
// which it hops without leaving.
constexpr double kLeave[2] = {0.08, 0.15};
constexpr double kLevelOne = 0.25;
constexpr double kLevelsTwo[2] = {0.7, 0.75};
constexpr double kHop = 0.3;

// Molecule m's frames, the same on every run.
std::vector<double> Frames(int m) {
  std::mt19937_64 random(static_cast<std::uint64_t>(m) + 1);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::vector<double> frames;
  int state = m % 2, level = 0;
  for (int f = 0; f < kFrames; ++f) {
    frames.push_back(state == 0 ? kLevelOne : kLevelsTwo[level]);
    if (uniform(random) < kLeave[state]) state = 1 - state;
    else if (state == 1 && uniform(random) < kHop) level = 1 - level;
  }
  return frames;
}

// Imports the molecules' traces into "reports" and locks two states at 0.5.
Session ImportedAndLocked(const TempDir& dir) {
  std::vector<std::string> paths;
  for (int m = 0; m < kMolecules; ++m) {
    std::string text;
    for (double value : Frames(m)) text += std::to_string(value) + "\n";
    const std::string name = "trace" + std::to_string(m) + ".txt";
    dir.Write(name, text);
    paths.push_back(dir / name);
  }
  ImportOptions options;
  options.peaks = 3;
  options.out = dir / "reports";
  Session session;
  EXPECT_TRUE(session.Import(paths, options).done);
  EXPECT_TRUE(session.SetStates(2).done);
  EXPECT_TRUE(session.SetCutoffs(std::vector<double>{0.5}).done);
  EXPECT_TRUE(session.Lock().done);
  return session;
}

TEST(SessionDwells, AnImportKeepsEveryMoleculesDwellsAndALoadOfItsReportsFindsThem) {
  TempDir dir;
  Session session = ImportedAndLocked(dir);
  ASSERT_EQ(session.Dwells().size(), static_cast<std::size_t>(kMolecules));
  EXPECT_EQ(session.Dwells().front().molecule, "molecule_0001");
  std::int64_t frames = 0;
  for (const LevelDwell& dwell : session.Dwells().back().dwells) frames += dwell.frames;
  EXPECT_EQ(frames, kFrames);

  // Loaded again, half of the reports: their dwells alone, in the order of the files.
  Session loaded;
  loaded.SetPeaks(3);
  ASSERT_TRUE(loaded.Load({dir / "reports/molecule_0004.dat", dir / "reports/molecule_0002.dat"}).done);
  ASSERT_EQ(loaded.Dwells().size(), 2u);
  EXPECT_EQ(loaded.Dwells()[0].molecule, "molecule_0004");
  EXPECT_EQ(loaded.Dwells()[0].dwells.size(), session.Dwells()[3].dwells.size());
}

TEST(SessionDwells, AreRefusedBeforeALockAndForReportsWithoutThem) {
  TempDir dir;
  Session session;
  EXPECT_EQ(session.AnalyseDwells({}).messages.at(0).text, "Lock cutoffs first.");
  const std::string report = "h\nh\nh\nh\n0.25 0.75 0.1 5 2\n";
  dir.Write("plain.dat", report);
  session.SetPeaks(1);
  ASSERT_TRUE(session.Load({dir / "plain.dat"}).done);
  session.SetStates(2);
  ASSERT_TRUE(session.Lock().done);
  const Outcome refused = session.AnalyseDwells({});
  EXPECT_FALSE(refused.done);
  EXPECT_NE(refused.messages.at(0).text.find("have no dwells"), std::string::npos);
}

TEST(SessionDwells, GiveTheRatesOfTheLocksStatesInTheResultsAndTheExportUntilTheNextLock) {
  TempDir dir;
  Session session = ImportedAndLocked(dir);
  ASSERT_TRUE(session.AnalyseDwells({}).done);
  const DwellTimes* times = session.DwellAnalysis();
  ASSERT_NE(times, nullptr);
  ASSERT_EQ(times->perState.size(), 2u);
  // Two levels of one state are one dwell: state 2 is left as often as state 1 is entered,
  // give or take each molecule's first and last dwell, though it hops between them.
  EXPECT_LE(std::abs(times->perState[0].dwells - times->perState[1].dwells), kMolecules);
  const std::vector<DwellResultRow> rows = session.DwellResults();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].from, 1);
  EXPECT_EQ(rows[1].from, 2);
  for (const DwellResultRow& row : rows) {
    // Each state's exit rate near its truth, -ln(1 - p) per frame over 0.1 s.
    const double truth = -std::log(1 - kLeave[row.from - 1]) / 0.1;
    EXPECT_NEAR(row.rate, truth, 0.25 * truth) << row.from;
    ASSERT_TRUE(row.interval) << row.from;
    EXPECT_LT(row.interval->low, row.rate);
    EXPECT_GT(row.interval->high, row.rate);
    EXPECT_EQ(row.molecules, kMolecules);
  }

  ASSERT_TRUE(session.WriteLog().done);
  const std::string csv = dir.Read("reports/results.csv");
  EXPECT_NE(csv.find(",flags,estimator,pooled_corrected_rate,pooled_frames_unknown\n"), std::string::npos);
  EXPECT_NE(csv.find("\n1->2,"), std::string::npos);
  EXPECT_NE(csv.find(",dwells,0.1,,dwell,,\n"), std::string::npos) << csv;

  ExportOptions svg;
  svg.formats = {FigureFormat::Svg};
  ASSERT_TRUE(session.Export(dir / "figures", svg, std::nullopt).done);
  for (const char* name : {"dwell-1.svg", "dwell-2.svg", "dwells.csv"})
    EXPECT_TRUE(std::filesystem::exists(dir / ("figures/" + std::string(name)))) << name;
  EXPECT_EQ(dir.Read("figures/dwells.csv"), dir.Read("reports/dwells.csv"));

  ASSERT_TRUE(session.Lock().done);
  EXPECT_EQ(session.DwellAnalysis(), nullptr);
  EXPECT_TRUE(session.DwellResults().empty());
}

// One exponential has the closed form p = D / (D + S): D the dwells seen whole, S the frames
// after the first of every dwell the fit takes, the last dwell of a trace (cut by its end)
// censored and the first (its start unseen) left out. Counted here from the frames themselves.
// The exit rate of `state` (0-based) from one exponential fitted to its dwells, worked out from
// the frames: -ln(1 - whole / frames after a dwell's first) / T, the dwells cut at the trace's
// start left out, those cut at its end censored.
double ClosedFormExitRate(int state, double exposure) {
  double whole = 0, after = 0;
  for (int m = 0; m < kMolecules; ++m) {
    std::vector<std::pair<int, int>> runs;  // state, frames
    for (double value : Frames(m)) {
      const int s = value < 0.5 ? 0 : 1;
      if (runs.empty() || runs.back().first != s) runs.push_back({s, 0});
      ++runs.back().second;
    }
    for (std::size_t r = 1; r < runs.size(); ++r) {
      if (runs[r].first != state) continue;
      after += runs[r].second - 1;
      if (r + 1 < runs.size()) whole += 1;
    }
  }
  return -std::log(1 - whole / (whole + after)) / exposure;
}

TEST(SessionDwells, OneExponentialGivesTheClosedFormOfTheCountedDwells) {
  TempDir dir;
  Session session = ImportedAndLocked(dir);
  DwellOptions one;
  one.exponentials = 1;
  ASSERT_TRUE(session.AnalyseDwells(one).done);
  for (int state = 0; state < 2; ++state) {
    const double exitRate = ClosedFormExitRate(state, 0.1);
    const double rate = session.DwellResults().at(static_cast<std::size_t>(state)).rate;
    EXPECT_NEAR(rate, exitRate, 1e-9 * exitRate) << "state " << state + 1;
  }
}

// rates.csv holds every rate in one long table of the same ten cells a row, and both tables
// hold the rates of one exposure: those of an exposure no longer in force are left out, and
// the log says so.
TEST(SessionDwells, TheRateTableHoldsEveryRateOfTheExposureInForceAndSaysWhatItLeavesOut) {
  TempDir dir;
  Session session = ImportedAndLocked(dir);
  ASSERT_TRUE(session.Fit(1, 2).done);
  ASSERT_TRUE(session.SetExposure(0.05).done);
  DwellOptions one;
  one.exponentials = 1;
  ASSERT_TRUE(session.AnalyseDwells(one).done);
  ASSERT_TRUE(session.AnalyseRates().done);
  const CommandResult log = RunCommand(session, {"log"});
  ASSERT_TRUE(log.outcome.done);
  std::vector<std::string> notices;
  for (const auto& message : log.outcome.messages) notices.push_back(message.text);
  EXPECT_EQ(notices, std::vector<std::string>{"The result files hold the rates at the exposure in force, 0.05 s: 1 "
                                              "Gaussian fit worked out at 0.1 s is left out; \"fit all\" works "
                                              "it out again."});

  std::istringstream table(dir.Read("reports/rates.csv"));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(table, line);) {
    rows.emplace_back();
    std::istringstream row(line + ",");
    for (std::string cell; std::getline(row, cell, ',');) rows.back().push_back(cell);
  }
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"class", "estimator", "rate", "low", "high", "unit", "n", "molecules",
                                               "flags", "exposure_s"}));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"1->2", "rate-matrix"}, {"2->1", "rate-matrix"}, {"1->2", "dwell"},
      {"2->1", "dwell"},       {"1->*", "dwell-exit"},  {"2->*", "dwell-exit"}};
  for (std::size_t r = 1; r < rows.size(); ++r) {
    ASSERT_EQ(rows[r].size(), 10u) << r;
    EXPECT_EQ(std::make_pair(rows[r][0], rows[r][1]), expected[r - 1]);
    EXPECT_EQ(rows[r][5], "s^-1");
    EXPECT_EQ(rows[r][9], "0.05");
  }
  // With two states a state's exit is its one path: the exit rate is the dwell rate.
  for (int state = 0; state < 2; ++state)
    EXPECT_NEAR(std::stod(rows[5 + static_cast<std::size_t>(state)][2]), ClosedFormExitRate(state, 0.05),
                1e-5 * ClosedFormExitRate(state, 0.05));
  // results.csv: the same exposure, and no row of the fit at 0.1 s.
  const std::string results = dir.Read("reports/results.csv");
  EXPECT_NE(results.find("# exposure time (s): 0.05\n"), std::string::npos);
  EXPECT_EQ(results.find(",gaussian,"), std::string::npos);
}

// The pooled rate of i->j is the steps i->j over the frames in state i that have a next frame,
// every molecule's frames counted, also where it never took the step: here counted on the
// states' own path of the frames, where state 2's hops between its levels are no steps. From
// the dwells beside the reports it is that count exactly; from the reports alone a molecule
// whose last stay was never left has frames the reports do not hold, and it is left out.
TEST(SessionDwells, ThePooledRateIsAnIndependentCountOfStepsOverEveryFrameInTheInitialState) {
  TempDir dir;
  Session session = ImportedAndLocked(dir);
  // Per molecule: the steps i->j and frames in state i with a next frame, and whether its last
  // level was ever left before, without which its reports do not hold its frames there.
  struct Count {
    double steps[2][2] = {};
    double framesIn[2] = {};
    int lastState = 0;
    bool lastLevelLeft = false;
  };
  std::vector<Count> counts(kMolecules);
  for (int m = 0; m < kMolecules; ++m) {
    const std::vector<double> frames = Frames(m);
    Count& c = counts[static_cast<std::size_t>(m)];
    for (std::size_t f = 0; f + 1 < frames.size(); ++f) {
      const int from = frames[f] < 0.5 ? 0 : 1, to = frames[f + 1] < 0.5 ? 0 : 1;
      c.framesIn[from] += 1;
      c.steps[from][to] += from != to;
      c.lastLevelLeft = c.lastLevelLeft || (frames[f] == frames.back() && frames[f + 1] != frames[f]);
    }
    c.lastState = frames.back() < 0.5 ? 0 : 1;
  }
  // The pooled rate i->j of the molecules `known` says, and how many it leaves out.
  const auto pooled = [&](int i, int j, bool reportsAlone) {
    double steps = 0, frames = 0;
    int unknown = 0;
    for (const Count& c : counts) {
      if (reportsAlone && c.lastState == i && !c.lastLevelLeft) {
        ++unknown;
        continue;
      }
      steps += c.steps[i][j];
      frames += c.framesIn[i];
    }
    return std::pair{steps / frames / 0.1, unknown};
  };
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(session.Fit(i + 1, 2 - i).done);
    const ClassUncertainty& u = session.FitOf(i + 1, 2 - i)->uncertainty;
    const double count = pooled(i, 1 - i, false).first;
    EXPECT_NEAR(*u.pooledRate, count, 1e-9 * count) << "from state " << i + 1;
    EXPECT_EQ(u.framesUnknown, 0);
    ASSERT_TRUE(u.Pooled());
    EXPECT_LT(u.Pooled()->low, count);
    EXPECT_GT(u.Pooled()->high, count);
  }

  std::filesystem::remove(dir / "reports/dwells.csv");
  Session reportsAlone;
  reportsAlone.SetPeaks(3);
  std::vector<std::string> reports;
  for (int m = 1; m <= kMolecules; ++m) {
    char name[32];
    std::snprintf(name, sizeof name, "reports/molecule_%04d.dat", m);
    reports.push_back(dir / name);
  }
  ASSERT_TRUE(reportsAlone.Load(reports).done);
  reportsAlone.SetStates(2);
  reportsAlone.SetCutoffs(std::vector<double>{0.5});
  ASSERT_TRUE(reportsAlone.Lock().done);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(reportsAlone.Fit(i + 1, 2 - i).done);
    const ClassUncertainty& u = reportsAlone.FitOf(i + 1, 2 - i)->uncertainty;
    const auto [count, unknown] = pooled(i, 1 - i, true);
    EXPECT_NEAR(*u.pooledRate, count, 1e-9 * count) << "from state " << i + 1;
    EXPECT_EQ(u.framesUnknown, unknown);
  }
}

TEST(SessionDwells, AScriptPrintsTheTableOfAStatesFitsAndNamesAWrongOption) {
  TempDir dir;
  ImportedAndLocked(dir);
  std::ofstream("dwell.vsc") << "peaks 3\nload reports/*.dat\nstates 2\nlock\ndwell 2 --exponentials 1\n";
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script dwell.vsc");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            "state\texponentials\tchosen\tterm\trate\trate_low\trate_high\tamplitude\tlog_likelihood\tbic\tdwells\t"
            "censored\tleft_out\tmolecules\tcut\tnote");
  EXPECT_EQ(run.out.find("\n1\t"), std::string::npos) << "only state 2: " << run.out;
  EXPECT_NE(run.out.find("\n2\t1\tyes\t1\t"), std::string::npos) << run.out;

  std::ofstream("wrong.vsc") << "dwell all --cut sideways\n";
  const ProgramRun wrong = RunProgram(VARNEL_PROGRAM, "--script wrong.vsc");
  EXPECT_NE(wrong.status, 0);
  EXPECT_NE(wrong.err.find("--cut takes censor or drop, not 'sideways'"), std::string::npos) << wrong.err;
}

// Two states seen once a frame: the counted chance of leaving each, a = C_12 / n_1 and
// b = C_21 / n_2 (n_i the frames in i with a next frame), is the unconstrained maximum of the
// likelihood, and P = I + M with M = [[-a, a], [b, -b]]. M^2 = -(a + b) M, so ln P is
// ln(1 - a - b) / -(a + b) times M, and Q = ln P / T. Counted here from the frames themselves,
// state 2's two levels one state.
TEST(SessionRates, TheRateMatrixIsTheLogarithmOfTheCountedStepMatrixAndHeadsTheResults) {
  TempDir dir;
  Session before;
  EXPECT_EQ(RunCommand(before, {"rates"}).outcome.messages.at(0).text, "Lock cutoffs first.");

  Session session = ImportedAndLocked(dir);
  double steps[2] = {}, framesIn[2] = {};
  for (int m = 0; m < kMolecules; ++m) {
    const std::vector<double> frames = Frames(m);
    for (std::size_t f = 0; f + 1 < frames.size(); ++f) {
      const int from = frames[f] < 0.5 ? 0 : 1, to = frames[f + 1] < 0.5 ? 0 : 1;
      framesIn[from] += 1;
      steps[from] += from != to;
    }
  }
  const double a = steps[0] / framesIn[0], b = steps[1] / framesIn[1];
  const double scale = std::log(1 - a - b) / -(a + b) / 0.1;
  const double truth[2] = {scale * a, scale * b};

  const CommandResult run = RunCommand(session, {"rates"});
  ASSERT_TRUE(run.outcome.done);
  ASSERT_TRUE(run.table);
  ASSERT_EQ(run.table->rows.size(), 2u);
  const std::vector<DwellResultRow> rows = session.RateResults();
  ASSERT_EQ(rows.size(), 2u);
  for (const DwellResultRow& row : rows) {
    const double k = truth[row.from - 1];
    EXPECT_NEAR(row.rate, k, 1e-6 * k) << row.from << "->" << row.to;
    EXPECT_EQ(row.to, 3 - row.from);
    EXPECT_EQ(row.transitions, static_cast<std::int64_t>(steps[row.from - 1]));
    ASSERT_TRUE(row.interval);
    EXPECT_LT(row.interval->low, row.rate);
    EXPECT_GT(row.interval->high, row.rate);
  }

  ASSERT_TRUE(session.Fit(1, 2).done);
  ASSERT_TRUE(session.WriteLog().done);
  const std::string csv = dir.Read("reports/results.csv");
  const std::size_t header = csv.find("class,rate,");
  ASSERT_NE(header, std::string::npos) << csv;
  std::size_t line = csv.find('\n', header) + 1;
  for (const char* name : {"1->2,", "2->1,"}) {
    const std::string row = csv.substr(line, csv.find('\n', line) - line);
    EXPECT_EQ(row.rfind(name, 0), 0u) << csv;
    EXPECT_NE(row.find(",rate-matrix,"), std::string::npos) << row;
    line += row.size() + 1;
  }
  EXPECT_NE(csv.substr(line, csv.find('\n', line) - line).find(",gaussian,"), std::string::npos) << csv;

  ASSERT_TRUE(session.Lock().done);
  EXPECT_TRUE(session.RateResults().empty());
}

// The export draws the matrix as a scheme, each state with the mean value and the share of its
// frames, each rate with its interval at the rate's three digits, and heads the overview with the
// rates' table; counted here from the frames themselves.
TEST(SessionRates, TheExportDrawsTheSchemeOfTheMatrixAndHeadsTheOverviewWithItsTable) {
  TempDir dir;
  Session session = ImportedAndLocked(dir);
  double steps[2] = {}, framesIn[2] = {}, every[2] = {}, sumTwo = 0;
  for (int m = 0; m < kMolecules; ++m) {
    const std::vector<double> frames = Frames(m);
    for (std::size_t f = 0; f < frames.size(); ++f) {
      const int from = frames[f] < 0.5 ? 0 : 1;
      every[from] += 1;
      if (from == 1) sumTwo += frames[f];
      if (f + 1 == frames.size()) continue;
      framesIn[from] += 1;
      steps[from] += from != (frames[f + 1] < 0.5 ? 0 : 1);
    }
  }
  const double a = steps[0] / framesIn[0], b = steps[1] / framesIn[1];
  const double scale = std::log(1 - a - b) / -(a + b) / 0.1;
  const auto text = [](const char* format, double value, int decimals) {
    char out[64];
    std::snprintf(out, sizeof out, format, decimals, value);
    return std::string(out);
  };
  // Three significant digits: the decimals after the rate's leading digit.
  const auto decimalsOf = [](double k) { return 2 - static_cast<int>(std::floor(std::log10(k))); };

  ASSERT_TRUE(session.AnalyseRates().done);
  ExportOptions pdf;
  pdf.formats = {FigureFormat::Pdf};
  ASSERT_TRUE(session.Export(dir / "figures", pdf, std::nullopt).done);
  ASSERT_TRUE(std::filesystem::exists(dir / "figures/scheme.pdf"));
  const ProgramRun scheme = RunProgram("pdftotext", "figures/scheme.pdf -");
  ASSERT_EQ(scheme.status, 0) << scheme.err;
  const ProgramRun overview = RunProgram("pdftotext", "figures/overview.pdf -");
  ASSERT_EQ(overview.status, 0) << overview.err;
  const std::vector<DwellResultRow> rows = session.RateResults();
  ASSERT_EQ(rows.size(), 2u);
  for (const DwellResultRow& row : rows) {
    const double k = scale * (row.from == 1 ? a : b);
    const int decimals = decimalsOf(k);
    ASSERT_TRUE(row.interval);
    const std::string interval =
        text("%.*f", row.interval->low, decimals) + ", " + text("%.*f", row.interval->high, decimals);
    const std::string label = "k = " + text("%.*f", k, decimals) + " s";
    EXPECT_NE(scheme.out.find(label), std::string::npos) << label << " in:\n" << scheme.out;
    EXPECT_NE(scheme.out.find("[" + interval + "]"), std::string::npos) << interval << " in:\n" << scheme.out;
    // The table: path, rate, interval (the text read back without its spaces, which the reading
    // of the sheet may drop around the path's arrow).
    std::string sheet = overview.out;
    std::erase(sheet, ' ');
    const std::string path = std::to_string(row.from) + "\xE2\x86\x92" + std::to_string(row.to);
    for (const std::string& cell : {path, text("%.*f", k, decimals),
                                    text("%.*f", row.interval->low, decimals) + "\xE2\x80\x93" +
                                        text("%.*f", row.interval->high, decimals)})
      EXPECT_NE(sheet.find(cell), std::string::npos) << cell << " in:\n" << overview.out;
  }
  // State 1 is seen at 0.25 alone, state 2 at 0.7 and 0.75; their shares of all frames.
  const double frames = every[0] + every[1];
  for (const std::string& state : {std::string("0.250"), text("%.*f", sumTwo / every[1], 3),
                                   text("%.*f", 100 * every[0] / frames, 1) + " %",
                                   text("%.*f", 100 * every[1] / frames, 1) + " %"})
    EXPECT_NE(scheme.out.find(state), std::string::npos) << state << " in:\n" << scheme.out;
  // The table comes first, above the map.
  const std::size_t table = overview.out.find("Rate matrix of 2 states");
  ASSERT_NE(table, std::string::npos) << overview.out;
  EXPECT_LT(table, overview.out.find("Initial value"));
}

}  // namespace
