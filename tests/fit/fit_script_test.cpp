// The whole analysis in script mode on simulated reports with known rates: load, three states,
// lock, fit every class, dump the log. The fitted rates must find the simulated ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// "i->j rate" lines of the simulator's table, or the rows of "log.dat" (class, rate, ...).
std::map<std::string, double> RatesByClass(const std::string& text) {
  std::map<std::string, double> rates;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string cls;
    double rate;
    if (words >> cls >> rate && cls.find("->") != std::string::npos) rates[cls] = rate;
  }
  return rates;
}

constexpr const char* kScript =
    "type IDC_PEAKS_IN_REPORT 3\n"
    "files reports/*.dat\n"
    "click IDC_LOAD_FILES\n"
    "type IDC_STATE_COUNT 3\n"
    "click IDC_LOCK_CUTOFFS\n"
    "click IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "click IDC_PICK_NEXT\nclick IDC_FIT_GAUSSIAN\n"
    "expect IDC_PICK_FROM 3\nexpect IDC_PICK_TO 3\n"
    "click IDC_DUMP_LOG\n";

TEST(FitScript, FittedRatesFindTheSimulatedRates) {
  TempDir dir;
  constexpr double kScatter = 0.25;  // the simulator's log-normal scatter of a rate per frame
  const ProgramRun simulation =
      RunProgram(VARNEL_SIMULATOR, "--out reports --molecules 200 --seed 21 --peaks 3 --scatter 0.25");
  ASSERT_EQ(simulation.status, 0) << simulation.err;
  dir.Write("fit.vsc", kScript);
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script fit.vsc");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const auto truth = RatesByClass(simulation.out);
  const auto fitted = RatesByClass(dir.Read("reports/log.dat"));
  ASSERT_EQ(truth.size(), 6u);
  ASSERT_EQ(fitted.size(), 9u);  // the three diagonal classes are fitted too
  for (const auto& [cls, rate] : truth) {
    ASSERT_TRUE(fitted.count(cls)) << cls;
    // The fit finds the centre of ln(rate per frame); its error is about that of a mean of
    // the class's records: scatter / sqrt(records). Records are repeated per transition in
    // the rate file, so the distinct values count them. Five standard errors, plus 0.05 for
    // the binning of the histogram (bins of 0.2 on the ln axis), is a miss of less than one
    // in a million for a correct program, while a wrong exposure, class or centre is off by
    // far more.
    const std::string file = dir.Read("reports/" + cls.substr(0, 1) + "," + cls.substr(3, 1) + "rates.dat");
    std::istringstream values(file);
    std::set<double> distinct;
    for (double v; values >> v;) distinct.insert(v);
    ASSERT_GT(distinct.size(), 20u) << cls;
    const double tolerance = 5 * kScatter / std::sqrt(static_cast<double>(distinct.size())) + 0.05;
    EXPECT_NEAR(std::log(fitted.at(cls)), std::log(rate), tolerance) << cls;
  }

  // The log pins every digit of this run; its rates have just been checked against the truth.
  const std::string goldenPath = std::string(VARNEL_TEST_DATA_DIR) + "/fit-k3-seed21-log.dat";
  if (std::getenv("VARNEL_REGENERATE_GOLDEN"))
    std::ofstream(goldenPath, std::ios::binary) << dir.Read("reports/log.dat");
  std::ifstream goldenFile(goldenPath, std::ios::binary);
  const std::string golden((std::istreambuf_iterator<char>(goldenFile)), std::istreambuf_iterator<char>());
  EXPECT_EQ(dir.Read("reports/log.dat"), golden) << "regenerate " << goldenPath << " with VARNEL_REGENERATE_GOLDEN=1";
}

}  // namespace
