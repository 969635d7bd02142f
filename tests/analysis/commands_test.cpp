// The analysis commands of scripts against the clicks they stand for: the same reports analysed
// both ways must write the same files, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/session.h"

#include "tests/support/class_rates.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// The files of an analysis in `folder`, as read.
std::string FileIn(const TempDir& dir, const std::string& folder, const std::string& name) {
  return dir.Read(folder + "/" + name);
}

// The exposure a user types is the one the fits divide by, wherever in the analysis it is typed
// or pasted, before or after the peaks, and the edit shows it throughout.
TEST(AnalysisCommands, AnExposureTypedAtAnyPointIsTheOneTheFitsUse) {
  TempDir dir;
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, "--out reference --molecules 12 --seed 3 --peaks 3");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  std::ofstream("reference.vsc") << "exposure 0.05\npeaks 3\nload reference/*.dat\nstates 3\nlock\nfit all\nlog\n";
  ASSERT_EQ(RunProgram(VARNEL_PROGRAM, "--script reference.vsc").status, 0);
  // results.csv from its exposure on: the lines before it date it and name its folder.
  const auto rows = [&](const std::string& folder) {
    const std::string text = FileIn(dir, folder, "results.csv");
    return text.substr(text.find("# exposure"));
  };
  const std::string typed = "type IDC_EXPOSURE_TIME 0.05\n", pasted = "paste IDC_EXPOSURE_TIME 0.05\n";
  const std::string peaks = "type IDC_PEAKS_IN_REPORT 3\n", load = "click IDC_LOAD_FILES\n";
  const std::string states = "type IDC_STATE_COUNT 3\n", lock = "click IDC_LOCK_CUTOFFS\n";
  const std::string fit = "fit all\nexpect IDC_EXPOSURE_TIME 0.05\nclick IDC_DUMP_LOG\n";
  const std::vector<std::string> orders = {
      typed + peaks + load + states + lock,  pasted + peaks + load + states + lock,
      peaks + typed + load + states + lock,  peaks + load + typed + states + lock,
      peaks + load + states + pasted + lock, peaks + load + states + lock + typed,
  };
  for (std::size_t k = 0; k < orders.size(); ++k) {
    const std::string folder = "order" + std::to_string(k);
    std::filesystem::create_directory(dir / folder);
    for (const auto& report : std::filesystem::directory_iterator(dir / "reference"))
      if (report.path().filename().string().starts_with("molecule_"))
        std::filesystem::copy(report.path(), dir / folder / report.path().filename());
    const std::string script = folder + ".vsc";
    std::ofstream(script) << "files " << folder << "/molecule_*.dat\n" << orders[k] << fit;
    const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script " + script);
    ASSERT_EQ(run.status, 0) << k << ": " << run.err;
    EXPECT_EQ(rows(folder), rows("reference")) << "order " << k;
  }
}

TEST(AnalysisCommands, WriteTheFilesTheClicksWrite) {
  TempDir dir;
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, "--out clicks --molecules 16 --seed 8 --peaks 3");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  std::filesystem::copy(dir / "clicks", dir / "commands");

  std::ofstream("clicks.vsc") << "type IDC_PEAKS_IN_REPORT 3\nfiles clicks/*.dat\nclick IDC_LOAD_FILES\n"
                              << FitEveryClass(2);
  std::ofstream("commands.vsc") << "exposure 0.1\npeaks 3\nload commands/*.dat\nstates 2\nlock\nfit all\nlog\n";
  const ProgramRun clicks = RunProgram(VARNEL_PROGRAM, "--script clicks.vsc");
  ASSERT_EQ(clicks.status, 0) << clicks.err;
  const ProgramRun commands = RunProgram(VARNEL_PROGRAM, "--script commands.vsc");
  ASSERT_EQ(commands.status, 0) << commands.err;
  EXPECT_EQ(commands.err, clicks.err);

  EXPECT_EQ(FileIn(dir, "commands", "3dgrid.dat"), FileIn(dir, "clicks", "3dgrid.dat"));
  EXPECT_EQ(FileIn(dir, "commands", "log.dat"), FileIn(dir, "clicks", "log.dat"));
  for (const auto& [cls, rate] : RatesByClass(FileIn(dir, "clicks", "log.dat"))) {
    const std::string rates = RateFileOf("", cls);
    EXPECT_FALSE(FileIn(dir, "clicks", rates).empty()) << rates;
    EXPECT_EQ(FileIn(dir, "commands", rates), FileIn(dir, "clicks", rates)) << rates;
  }
}

// Cutoffs moved by hand and a class taken by a circle, after an import of idealised traces.
TEST(AnalysisCommands, CutoffsAndCirclesWorkAfterAnImport) {
  TempDir dir;
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, "--traces --out traces --molecules 6 --seed 3");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  std::ofstream("circle.vsc") << "import --out reports traces/*\nstates 3\ncutoffs 0.35 0.7\nlock\n"
                                 "circle 1 2 160 40 12\nfit all\nlog\nexpect IDC_PICK_FROM 3\nexpect IDC_PICK_TO 3\n";
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script circle.vsc");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string results = dir.Read("reports/results.csv");
  EXPECT_NE(results.find("# cutoffs: 0.35 0.7 1\n"), std::string::npos) << results;
  EXPECT_NE(results.find("# class 1->2 from a circle: centre row 40 column 160 radius 12"), std::string::npos)
      << results;
  EXPECT_NE(results.find("\n1->2,"), std::string::npos);
}

// Script mode: `log` and `results` wait for the intervals, so that a batch writes the same
// numbers on every run, and the numbers a session computing them in each fit gives.
TEST(AnalysisCommands, WaitForTheIntervalsSoThatAScriptWritesTheSameResultsOnEveryRun) {
  TempDir dir;
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, "--out reports --molecules 40 --seed 5 --peaks 3");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  std::ofstream("fit.vsc") << "peaks 3\nload reports/*.dat\nstates 2\nlock\nfit all\nlog\nresults\n";
  const auto rows = [&](const std::string& text) { return text.substr(text.find("class,rate,")); };
  std::vector<std::string> runs;
  for (int run = 0; run < 2; ++run) {
    const ProgramRun script = RunProgram(VARNEL_PROGRAM, "--script fit.vsc");
    ASSERT_EQ(script.status, 0) << script.err;
    runs.push_back(rows(dir.Read("reports/results.csv")));
    EXPECT_EQ(script.out.find("computing"), std::string::npos) << script.out;
  }
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_EQ(runs[0].find("computing"), std::string::npos);

  Session inFit;
  inFit.SetPeaks(3);
  std::vector<std::string> reports;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "reports"))
    if (entry.path().filename().string().starts_with("molecule_")) reports.push_back(entry.path().string());
  std::sort(reports.begin(), reports.end());
  ASSERT_TRUE(inFit.Load(reports).done);
  ASSERT_TRUE(inFit.SetStates(2).done);
  ASSERT_TRUE(inFit.Lock().done);
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) inFit.Fit(i, j);
  EXPECT_EQ(runs[0], rows(ResultsCsv(inFit.Source(""), inFit.Results())));
}

// Words a command cannot take end the script as a bad line does; a refusal is an error shown.
TEST(AnalysisCommands, BadWordsAreBadLinesAndRefusalsAreErrors) {
  TempDir dir;
  std::ofstream("words.vsc") << "states three\n";
  ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script words.vsc");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "words.vsc:1: 'three' is not a whole number (usage: states N)\n");

  std::ofstream("refused.vsc") << "states 11\nlock\ncutoffs 0.5\nfit 1 1\n";
  run = RunProgram(VARNEL_PROGRAM, "--script refused.vsc");
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err,
            "varnel: Number of states: enter a whole number from 1 to 10.\n"
            "varnel: Enter the number of states first.\n"
            "varnel: Enter the number of states first.\n"
            "varnel: Lock cutoffs first.\n");
}

}  // namespace
