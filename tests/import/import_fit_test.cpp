// The whole path from idealised traces to rates: simulated traces, imported in script mode,
// loaded, locked, every class fitted. The fitted rates must find the rates the traces were
// simulated with; the command-line tool must write the very same reports.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/class_rates.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ImportFit, SimulatedTracesImportedAndFittedFindTheirRates) {
  TempDir dir;
  const auto [truth, fitted] =
      SimulateAndFit("--traces --out traces --molecules 100 --frames 10000 --seed 8",
                     "import --peaks 3 traces/*.txt\nexpect IDC_PEAKS_IN_REPORT 3\n" + FitEveryClass(3), 3,
                     "traces/varnel-reports/log.dat");
  for (const auto& [cls, rate] : truth) {
    ASSERT_TRUE(fitted.count(cls)) << cls;
    // Each molecule's record estimates the chance per frame k T as n / F; its ln scatters by
    // about 1 / sqrt(n) around ln k T. The centre the fit finds has the error of a mean of the
    // molecules' values: their spread over the square root of their number (the distinct
    // values of the rate file, where a record stands once per transition). Five such errors
    // are a miss of less than one in a million for a correct program. The method itself adds
    // up to 0.1: the bins of 0.2 on the ln axis, and weighting by count, which counts a
    // molecule the more the more transitions it happened to make and so pulls the centre up by
    // about 1 / (2 n), 0.03 to 0.07 for the slowest class here (some 15 transitions a
    // molecule; seeds 1 to 8 put it 0.01 to 0.11 above the truth). A wrong level, step or
    // frame count is far off.
    const std::set<double> distinct = DistinctValues(dir.Read(RateFileOf("traces/varnel-reports/", cls)));
    ASSERT_GT(distinct.size(), 50u) << cls;
    double sum = 0, sumSq = 0;
    for (const double v : distinct) {
      sum += std::log(v);
      sumSq += std::log(v) * std::log(v);
    }
    const double n = static_cast<double>(distinct.size());
    const double spread = std::sqrt((sumSq - sum * sum / n) / (n - 1));
    constexpr double kMethodAllowance = 0.1;
    const double tolerance = 5 * spread / std::sqrt(n) + kMethodAllowance;
    EXPECT_NEAR(std::log(fitted.at(cls)), std::log(rate), tolerance) << cls;
  }

  // The tool writes the same reports from the same files.
  const ProgramRun tool = RunProgram(VARNEL_IMPORTER, "--peaks 3 --out cli " + dir / "traces" + "/*.txt");
  ASSERT_EQ(tool.status, 0) << tool.err;
  EXPECT_EQ(tool.out, "100 molecules read, 100 reports written to cli\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir / "cli")) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(dir.Read("cli/" + name), dir.Read("traces/varnel-reports/" + name)) << name;
  }
}

// The platform passes the words on; the program reads the options. A line without a path is a
// bad line, a bad option an error of the import.
TEST(ImportScript, ALineWithoutPathsStopsTheScriptAndABadOptionIsAnError) {
  TempDir dir;
  dir.Write("a.txt", "0.2\n0.8\n");
  dir.Write("none.vsc", "import --peaks 3\n");
  ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script none.vsc");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "none.vsc:1: usage: import [OPTIONS] PATH...\n");
  dir.Write("bad.vsc", "import --peaks=x a.txt\nexpect IDC_PEAKS_IN_REPORT 10\n");
  run = RunProgram(VARNEL_PROGRAM, "--script bad.vsc");
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.err,
            "varnel: Cannot import the traces: --peaks must be a whole number from 1 to 1000, not 'x'. "
            "Nothing was written; the records loaded before are kept.\n");
}

}  // namespace
