// varnel-idealise as a user runs it: simulated raw traces in, the chosen model printed and the
// table written, which varnel-import turns into reports; and what it says to a bad command
// line or a bad file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(IdealiseProgram, SimulatedRawTracesAreIdealisedAndTheTableImported) {
  TempDir dir;
  const ProgramRun simulated = RunProgram(
      VARNEL_SIMULATOR, "--raw --out raw --molecules 12 --frames 400 --snr 8 --bleach 600 --background 100 --seed 4");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  const ProgramRun run = RunProgram(
      VARNEL_IDEALISER, "--donor donor --acceptor acceptor --donor-background 100 --acceptor-background 100 "
                        "--states 1-4 --out ideal.csv raw/*.txt");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("chosen: 3 states\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("; idealised traces written to ideal.csv\n"), std::string::npos) << run.out;
  EXPECT_EQ(dir.Read("ideal.csv").substr(0, 44), "molecule,frame,fret,idealised\nmolecule_0001,");

  const ProgramRun imported =
      RunProgram(VARNEL_IMPORTER, "--molecule molecule --value idealised --frame frame --peaks 3 --out reports ideal.csv");
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out, "12 molecules read, 12 reports written to reports\n");
}

TEST(IdealiseProgram, BadCommandLinesAndBadFilesAreNamedAndWriteNothing) {
  TempDir dir;
  const ProgramRun both = RunProgram(VARNEL_IDEALISER, "--fret 2 --donor 1 --acceptor 2 a.txt");
  EXPECT_EQ(both.status, 2);
  EXPECT_EQ(both.err, "varnel-idealise: --fret does not go with --donor and --acceptor\n"
                      "Try 'varnel-idealise --help'.\n");
  EXPECT_EQ(RunProgram(VARNEL_IDEALISER, "--states 3-2 a.txt").status, 2);
  EXPECT_EQ(RunProgram(VARNEL_IDEALISER, "--help").status, 0);
  const ProgramRun merge = RunProgram(VARNEL_IDEALISER, "--merge 0.6,0.2 a.txt");
  EXPECT_EQ(merge.status, 2);
  EXPECT_EQ(merge.err, "varnel-idealise: --merge: the bounds must increase, but in '0.6,0.2' 0.2 follows 0.6\n"
                       "Try 'varnel-idealise --help'.\n");

  dir.Write("bad.txt", "frame fret\n1 0.2\n2 x\n");
  const ProgramRun bad = RunProgram(VARNEL_IDEALISER, "--fret fret --out ideal.csv bad.txt");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "varnel-idealise: bad.txt:3: \"x\" where a number belongs (column 2); nothing was written\n");
  dir.Write("flat.txt", "fret\n0.5\n0.5\n0.5\n");
  const ProgramRun flat = RunProgram(VARNEL_IDEALISER, "--fret 1 --states 1-2 --out ideal.csv flat.txt");
  EXPECT_EQ(flat.status, 1);
  EXPECT_NE(flat.err.find("every frame holds the one value 0.5"), std::string::npos) << flat.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "ideal.csv"));
}

// A run that leaves molecules out says how many and ends with status 4, the table written all
// the same; frames at background after bleaching are cut and said.
TEST(IdealiseProgram, MoleculesLeftOutEndWithStatusFour) {
  TempDir dir;
  const ProgramRun simulated =
      RunProgram(VARNEL_SIMULATOR, "--raw --out raw --molecules 6 --frames 400 --snr 8 --bleached-tail 50-60 --seed 4");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  dir.Write("raw/lone.txt", "frame donor acceptor\n1 500 500\n");
  const ProgramRun run = RunProgram(VARNEL_IDEALISER, "--states 1-4 --out ideal.csv raw/*.txt");
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_NE(run.err.find("varnel-idealise: 1 of 7 molecules left out\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("at background after bleaching cut from 6 molecules"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("chosen: 3 states\n"), std::string::npos) << run.out;
  EXPECT_TRUE(std::filesystem::exists(dir / "ideal.csv"));
  std::filesystem::remove(dir / "raw/lone.txt");
  EXPECT_EQ(RunProgram(VARNEL_IDEALISER, "--states 1-4 --out ideal.csv raw/*.txt").status, 0);
}

// Too little memory for the fits: the program says so and ends with status 1, the old table as
// it was and no new file beside it. Only a build without AddressSanitizer can be given too
// little: the sanitizer reserves terabytes of address space at the start and itself ends a
// process whose memory runs out.
TEST(IdealiseProgram, TooLittleMemoryIsSaidAndLeavesTheOldTableAndNoNewFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a build with AddressSanitizer cannot be run with little address space";
#else
  TempDir dir;
  const ProgramRun simulated = RunProgram(VARNEL_SIMULATOR, "--raw --out raw --molecules 2 --frames 400000 --seed 4");
  ASSERT_EQ(simulated.status, 0) << simulated.err;
  dir.Write("ideal.csv", "the old table\n");
  // 60 MB of address space: the fits of 800,000 frames need more (the program takes about 80 MB).
  const ProgramRun run = RunProgram("/bin/sh", std::string("-c 'ulimit -v 60000 && exec \"") + VARNEL_IDEALISER +
                                                   "\" --states 1-4 --out ideal.csv raw/*.txt'");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("; nothing was written\n"), std::string::npos) << run.err;
  EXPECT_EQ(dir.Read("ideal.csv"), "the old table\n");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"ideal.csv", "raw"}));
#endif
}

}  // namespace
