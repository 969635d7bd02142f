// The program in script mode, run as a user runs it: exit statuses, printed controls, pictures.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/png_reader.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// Runs the program on `script` in `dir`.
ProgramRun RunScript(const TempDir& dir, const std::string& script) {
  dir.Write("test.vsc", script);
  return RunProgram(VARNEL_PROGRAM, "--script test.vsc");
}

TEST(ScriptMode, ShowsTheStartValuesAfterTheFirstPaint) {
  TempDir dir;
  const ProgramRun run = RunScript(dir,
                                  "show IDC_EXPOSURE_TIME\nshow cutoff_list\nshow 1034\n"
                                  "expect peaks_in_report 10\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "IDC_EXPOSURE_TIME: 0.1\nIDC_CUTOFF_LIST: [Null]\nIDC_WEIGHT_BY_COUNT: 1\n");
}

TEST(ScriptMode, SavedMapShowsTheTestImage) {
  TempDir dir;
  const ProgramRun run = RunScript(dir, "save-map out.png\nsave-panel panel.png\nsave-window window.png\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto map = ReadPng(dir / "out.png");
  ASSERT_TRUE(map);
  ASSERT_EQ(map->width, 402);
  ASSERT_EQ(map->height, 402);
  for (int y : {200, 201})
    for (int x : {200, 201}) EXPECT_EQ(map->At(x, y), 0x000064u);
  EXPECT_EQ(map->At(220, 200), 0x00005Au);  // cell (100, 110): 90
  EXPECT_EQ(map->At(0, 0), 0u);
  const auto panel = ReadPng(dir / "panel.png");
  ASSERT_TRUE(panel);
  EXPECT_EQ(panel->width, 400);
  EXPECT_EQ(panel->height, 200);
  EXPECT_EQ(panel->At(40, 10), 0xC8C8C8u);
  const auto window = ReadPng(dir / "window.png");
  ASSERT_TRUE(window);
  EXPECT_EQ(window->width, 721);
  EXPECT_EQ(window->height, 654);
}

TEST(ScriptMode, ExitStatuses) {
  TempDir dir;
  EXPECT_EQ(RunScript(dir, "paint\nclose\n").status, 0);

  ProgramRun run = RunScript(dir, "paint\nfly away\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("test.vsc:2: unknown command 'fly'"), std::string::npos) << run.err;

  run = RunScript(dir, "click IDC_NO_SUCH_BUTTON\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("test.vsc:1: no control"), std::string::npos) << run.err;

  run = RunScript(dir, "type IDC_KINETIC_RATE 3\n");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("disabled"), std::string::npos) << run.err;

  run = RunScript(dir, "expect IDC_EXPOSURE_TIME 0.1\nexpect IDC_EXPOSURE_TIME 0.2\nshow IDC_EXPOSURE_TIME\n");
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "");  // the script stopped at the failed line
  EXPECT_NE(run.err.find("test.vsc:2:"), std::string::npos) << run.err;
}

// A batch notices what went wrong: status 4 when the script ran to its end but an error was
// shown on the way; a notice alone leaves it 0.
TEST(ScriptMode, AnErrorOnTheWayEndsWithStatusFour) {
  TempDir dir;
  dir.Write("table.dat", "a,b\n1,2\n");
  ProgramRun run = RunScript(dir, "files table.dat\nclick load_files\nshow exposure_time\n");
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.err.find("varnel: None of the chosen files could be read as a report"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "IDC_EXPOSURE_TIME: 0.1\n");  // the script went on to its end

  run = RunScript(dir, "type state_count 1\nclick lock_cutoffs\nclick fit_gaussian\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "varnel: Class 1->1 has no rates to fit.\n");
}

TEST(ScriptMode, CommandLine) {
  TempDir dir;
  const auto status = [](const std::string& args) { return RunProgram(VARNEL_PROGRAM, args).status; };
  EXPECT_EQ(status("--version"), 0);
  EXPECT_EQ(status("--help"), 0);
  EXPECT_EQ(status("--script missing.vsc"), 2);
  EXPECT_EQ(status("--bogus"), 2);
  EXPECT_EQ(status("--script - </dev/null"), 0);
}

// A command line the program cannot take says what it could not take; a session file for the
// window is read before any window opens, so a bad one is said without a display.
TEST(ScriptMode, ABadCommandLineNamesWhatIsWrong) {
  TempDir dir;
  ProgramRun run = RunProgram(VARNEL_PROGRAM, "--bogus");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "varnel: unknown option '--bogus'\nTry 'varnel --help'.\n");
  run = RunProgram(VARNEL_PROGRAM, "--script");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "varnel: --script takes one FILE\nTry 'varnel --help'.\n");
  run = RunProgram(VARNEL_PROGRAM, "a.vsc b.vsc");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("one session file at most"), std::string::npos) << run.err;
  run = RunProgram(VARNEL_PROGRAM, "missing.vsc");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "varnel: cannot read script 'missing.vsc'\n");
  dir.Write("bad.vsc", "click load_files\nfly away\n");
  run = RunProgram(VARNEL_PROGRAM, "bad.vsc");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("bad.vsc:2: unknown command 'fly'"), std::string::npos) << run.err;
}

}  // namespace
