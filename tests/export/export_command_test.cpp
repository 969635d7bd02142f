// The script command `export`: the folder and the options from the script, and every refusal is
// said. (The system menu's entry, with its folder dialog, is the window's tests'.)
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

TEST(ExportScript, WritesTheChosenFormatIntoTheFolderAndRefusesBadOptionsAndFolders) {
  TempDir dir;
  std::filesystem::copy(std::string(VARNEL_SOURCE_DIR) + "/examples/reports", dir / "reports");
  dir.Write("a.dat", "h\nh\nh\nh\n0.2 0.8 0.05 0 3\n");
  dir.Write("a-file", "mine");
  // The example reports, three states, class 1->2 fitted.
  dir.Write("run.vsc",
            "files reports/*.dat\nclick IDC_LOAD_FILES\n"
            "type IDC_STATE_COUNT 3\nclick IDC_LOCK_CUTOFFS\nclick IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
            "export out --format svg --as-on-screen\n");
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script run.vsc");
  ASSERT_EQ(run.status, 0) << run.err;
  // "out" lies beside the reports, where every output of the analysis goes.
  EXPECT_EQ(Names(dir.path() / "reports" / "out"),
            (std::set<std::string>{"map.svg", "class-1-2.svg", "overview.svg", "density.csv", "histograms.csv",
                                   "results.csv", "rates.csv"}));

  dir.Write("bad.vsc", "type IDC_PEAKS_IN_REPORT 1\nfiles a.dat\nclick IDC_LOAD_FILES\nexport new --format jpg\n");
  const ProgramRun badFormat = RunProgram(VARNEL_PROGRAM, "--script bad.vsc");
  EXPECT_EQ(badFormat.status, 4);
  EXPECT_EQ(badFormat.err, "varnel: Export: --format takes svg, pdf, png or all, not \"jpg\".\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "new"));

  dir.Write("file.vsc", "type IDC_PEAKS_IN_REPORT 1\nfiles a.dat\nclick IDC_LOAD_FILES\nexport a-file\n");
  const ProgramRun intoFile = RunProgram(VARNEL_PROGRAM, "--script file.vsc");
  EXPECT_EQ(intoFile.status, 4);
  EXPECT_EQ(intoFile.err,
            "varnel: Cannot export into \"" + (dir / "a-file") + "\": it is not a folder. Nothing was written.\n");
  EXPECT_EQ(dir.Read("a-file"), "mine");

  dir.Write("none.vsc", "export\n");
  const ProgramRun noFolder = RunProgram(VARNEL_PROGRAM, "--script none.vsc");
  EXPECT_EQ(noFolder.status, 2);
  EXPECT_NE(noFolder.err.find("usage: export DIR [--format FORMAT] [--as-on-screen]"), std::string::npos)
      << noFolder.err;
}

TEST(ExportScript, TakesEveryFigureOptionWithANameInQuotesAndRefusesAWrongValue) {
  TempDir dir;
  std::filesystem::copy(std::string(VARNEL_SOURCE_DIR) + "/examples/reports", dir / "reports");
  // A wrong value first, while the reports' folder holds nothing of ours.
  dir.Write("bad.vsc", "files reports/*.dat\nclick IDC_LOAD_FILES\nexport again --colour-scale loga\n");
  const ProgramRun bad = RunProgram(VARNEL_PROGRAM, "--script bad.vsc");
  EXPECT_EQ(bad.status, 4);
  EXPECT_EQ(bad.err, "varnel: Export: --colour-scale takes linear or log, not \"loga\".\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "reports/again"));

  dir.Write("run.vsc",
            "files reports/*.dat\nclick IDC_LOAD_FILES\n"
            "type IDC_STATE_COUNT 3\nclick IDC_LOCK_CUTOFFS\nclick IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
            "export out --format svg --colours perceptual --colour-scale log --initial-name \"FRET before\" "
            "--final-name \"FRET after\" --histogram-range data --digits 4\n");
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script run.vsc");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string map = dir.Read("reports/out/map.svg");
  for (const char* said : {"FRET before across and FRET after up", "Transitions, Gaussian-weighted, on a log scale"})
    EXPECT_NE(map.find(said), std::string::npos) << said;
  // The heading's rate with four digits.
  const std::string fitted = dir.Read("reports/out/class-1-2.svg");
  const std::size_t title = fitted.find("<title>1 \xE2\x86\x92 2: ");
  ASSERT_NE(title, std::string::npos);
  const std::string rate = fitted.substr(title + 16, fitted.find(' ', title + 16) - title - 16);
  std::size_t digits = 0;
  for (std::size_t k = rate.find_first_not_of("0."); k < rate.size(); ++k) digits += rate[k] != '.';
  EXPECT_EQ(digits, 4u) << rate;
}
