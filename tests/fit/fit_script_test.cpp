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

#include "tests/support/class_rates.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kScript =
    "type IDC_PEAKS_IN_REPORT 3\nfiles reports/*.dat\nclick IDC_LOAD_FILES\n" + FitEveryClass(3);

TEST(FitScript, FittedRatesFindTheSimulatedRates) {
  TempDir dir;
  constexpr double kScatter = 0.25;  // the simulator's log-normal scatter of a rate per frame
  const auto [truth, fitted] = SimulateAndFit("--out reports --molecules 200 --seed 21 --peaks 3 --scatter 0.25",
                                              kScript, 3, "reports/log.dat");
  for (const auto& [cls, rate] : truth) {
    ASSERT_TRUE(fitted.count(cls)) << cls;
    // The fit finds the centre of ln(rate per frame); its error is about that of a mean of
    // the class's records: scatter / sqrt(records). Records are repeated per transition in
    // the rate file, so the distinct values count them. Five standard errors, plus 0.05 for
    // the binning of the histogram (bins of 0.2 on the ln axis), is a miss of less than one
    // in a million for a correct program, while a wrong exposure, class or centre is off by
    // far more.
    const std::set<double> distinct = DistinctValues(dir.Read(RateFileOf("reports/", cls)));
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
