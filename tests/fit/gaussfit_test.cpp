// The Gaussian fit of a class: its objective, the rate file, the results and the refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "fit/fitparams.h"
#include "fit/gaussfit.h"
#include "selection/histograms.h"
#include "tests/support/session_peer.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

std::string FormatRate(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// An empty histogram with the bin centres k * 0.2 - 10 + 0.1.
ClassHistogram EmptyHistogram() {
  ClassHistogram histogram;
  for (int k = 0; k < kHistogramBins; ++k) histogram.centres[static_cast<std::size_t>(k)] = k * 0.2 + -10.0 + 0.1;
  return histogram;
}

class GaussObjectiveTest : public ::testing::Test {
 protected:
  double Objective(double a, double xc, double w) const {
    DoubleVector p(3);
    p[0] = a;
    p[1] = xc;
    p[2] = w;
    return gaussObjective(histogram, p);
  }
  ClassHistogram histogram = EmptyHistogram();
};

TEST_F(GaussObjectiveTest, IsTheSumOfSquaresAgainstAGaussianOfAreaA) {
  // Counts 0 except 7 in bin 25 (centre -4.9). The model is a normal density of standard
  // deviation w/2 scaled to area A (up to the constant's last digits).
  histogram.counts[25] = 7.0;
  const double a = 30.0, xc = -5.0, w = 0.8;
  double expected = 0.0;
  for (std::size_t k = 0; k < kHistogramBins; ++k) {
    const double x = static_cast<double>(k) * 0.2 - 9.9;
    const double sigma = w / 2;
    const double density =
        std::exp(-(x - xc) * (x - xc) / (2 * sigma * sigma)) / (sigma * std::sqrt(2 * std::numbers::pi));
    const double diff = histogram.counts[k] - a * density;
    expected += diff * diff;
  }
  EXPECT_NEAR(Objective(a, xc, w), expected, expected * 1e-11);
}

TEST_F(GaussObjectiveTest, ModelAtItsCentreBinByHand) {
  // A Gaussian of area sqrt(1.5707963267945) and width 1 has height 1 at its centre; with
  // exp(-2 u^2) it falls to exp(-0.08) one bin away and exp(-0.32) two bins away.
  const double a = std::sqrt(1.5707963267945);
  const double xc = -4.9;  // the centre of bin 25 is -4.9 up to rounding
  double expected = 0.0;
  for (int k = 0; k < kHistogramBins; ++k) {
    const double u = (k - 25) * 0.2;
    expected += std::exp(-2 * u * u) * std::exp(-2 * u * u);
  }
  EXPECT_NEAR(Objective(a, xc, 1.0), expected, 1e-9);
  histogram.counts[25] = 1.0;
  EXPECT_NEAR(Objective(a, xc, 1.0), expected - 1.0, 1e-9);
}

TEST_F(GaussObjectiveTest, BoundsAreTestedWithTheirBoundaryValuesAllowed) {
  EXPECT_LT(Objective(1.0, -9.0, 0.5), 1e300);
  EXPECT_LT(Objective(1.0, -1.0, 0.5), 1e300);
  EXPECT_EQ(Objective(20.0, -5.0, 0.4999999), 1e300);
  EXPECT_EQ(Objective(0.9999999, -5.0, 1.0), 1e300);
  EXPECT_EQ(Objective(20.0, -9.0000001, 1.0), 1e300);
  EXPECT_EQ(Objective(20.0, -0.9999999, 1.0), 1e300);
}

// The fit keeps the last point the minimiser tried, which the panel draws: one evaluation of
// the last line search, by the returned minimum.
TEST_F(GaussObjectiveTest, TheFitKeepsTheLastPointTried) {
  const double counts[7] = {1, 4, 9, 12, 9, 4, 1};
  std::vector<double> values;
  for (int d = -3; d <= 3; ++d) {
    histogram.counts[static_cast<std::size_t>(30 + d)] = counts[d + 3];
    for (int n = 0; n < counts[d + 3]; ++n) values.push_back(std::exp(-3.9 + 0.2 * d));
  }
  const std::optional<GaussFit> fit = FitGaussian(histogram, values);
  ASSERT_TRUE(fit);
  EXPECT_FALSE(fit->startMoved);
  EXPECT_NEAR(fit->fitted.centre, -3.9, 1e-6);
  EXPECT_NEAR(fit->lastEvaluated.amplitude, fit->fitted.amplitude, 1e-4);
  EXPECT_NEAR(fit->lastEvaluated.centre, fit->fitted.centre, 1e-4);
  EXPECT_NEAR(fit->lastEvaluated.width, fit->fitted.width, 1e-4);
}

// A session locked into `states` states whose class lists the tests fill directly; its files go
// to a folder of the test's own.
class SessionFitTest : public ::testing::Test {
 protected:
  void Lock(int states) {
    ASSERT_TRUE(session.SetStates(states).done);
    ASSERT_TRUE(session.Lock().done);
  }
  // Class from->to with the histogram of its list, as "Set Circle" would leave it.
  void SetValues(int from, int to, const std::vector<double>& values) {
    SessionTestPeer::List(session, from, to) = values;
    auto& counts = SessionTestPeer::Histogram(session, from - 1, to - 1).counts;
    counts.fill(0.0);
    for (double v : values) {
      const double bin = (std::log(v) + 10.0) / 0.2;
      if (bin > -1.0 && bin < 50.0) counts[static_cast<std::size_t>(bin)] += 1.0;
    }
  }
  // Values scattered around exp(centre) on the log axis, symmetric so that the fitted centre is
  // the centre: centre + 0.2 d for d = -3 ... 3, with counts 1, 4, 9, 12, 9, 4, 1.
  static std::vector<double> Peak(double centre) {
    std::vector<double> values;
    const int counts[7] = {1, 4, 9, 12, 9, 4, 1};
    for (int d = -3; d <= 3; ++d)
      for (int n = 0; n < counts[d + 3]; ++n) values.push_back(std::exp(centre + 0.2 * d));
    return values;
  }
  static int LineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

  TempDir dir;  // the current directory, where the files go before a load
  Session session;
};

TEST_F(SessionFitTest, FitsAPeakAndWritesTheRatesInRangeToTheClassRateFile) {
  Lock(3);
  // ln v = -2.95 + 0.2 d falls into bin 35 + d: counts symmetric about bin 35, centre -2.9.
  std::vector<double> values = Peak(-2.95);
  values.push_back(0.0);     // not a rate: in the list, not in the file
  values.push_back(1.0);     // ln 1 = 0 is out of range
  values.push_back(3.0e-5);  // ln below -10
  SetValues(3, 2, values);
  EXPECT_THAT(Said(session, {"fit", "3", "2"}), ::testing::IsEmpty());
  const ClassFit& result = *session.FitOf(3, 2);
  EXPECT_EQ(result.transitions, 43);  // every value of the list, in range or not
  EXPECT_NEAR(result.rate, std::exp(-2.9) / 0.1, 1e-3 * result.rate);
  EXPECT_GT(result.stdev, 0.0);

  // 40 in-range values, six significant digits each.
  const std::string file = dir.Read("3,2rates.dat");
  const std::string first = FormatRate(std::exp(-2.95 + 0.2 * -3)) + "\n";
  EXPECT_EQ(file.substr(0, first.size()), first);
  EXPECT_EQ(LineCount(file), 40);
  EXPECT_EQ(file.find("e-05"), std::string::npos);

  // General notation with six digits.
  SetValues(1, 2, {5e-5, 0.123456789, 1.5e-4, 0.5});
  ASSERT_TRUE(session.Fit(1, 2).done);
  EXPECT_EQ(dir.Read("1,2rates.dat"), "5e-05\n0.123457\n0.00015\n0.5\n");
}

TEST_F(SessionFitTest, ARefitReplacesTheFitAndTheFileAtTheExposureSetThen) {
  Lock(2);
  SetValues(2, 2, Peak(-3.5));
  ASSERT_TRUE(session.Fit(2, 2).done);
  const double first = session.FitOf(2, 2)->rate;
  SetValues(2, 2, Peak(-6.1));
  ASSERT_TRUE(session.Fit(2, 2).done);
  EXPECT_NEAR(session.FitOf(2, 2)->rate, std::exp(-6.1) / 0.1, 1e-3 * std::exp(-6.1) / 0.1);
  EXPECT_NE(session.FitOf(2, 2)->rate, first);
  const std::string file = dir.Read("2,2rates.dat");
  EXPECT_EQ(LineCount(file), 40);
  EXPECT_EQ(file.substr(0, file.find('\n')), FormatRate(std::exp(-6.1 - 0.6)));

  ASSERT_TRUE(session.SetExposure(0.05).done);
  ASSERT_TRUE(session.Fit(2, 2).done);
  EXPECT_NEAR(session.FitOf(2, 2)->rate, std::exp(-6.1) / 0.05, 1e-3 * std::exp(-6.1) / 0.05);
  EXPECT_EQ(session.FitOf(2, 2)->exposureTime, 0.05);
}

// A class without a rate to fit, or whose fit does not converge, keeps what it had and gets no
// file; the next fit that works stands.
TEST_F(SessionFitTest, AFitThatCannotBeMadeIsRefusedAndKeepsThePreviousResult) {
  Lock(2);
  SetValues(1, 2, Peak(-4.1));
  ASSERT_TRUE(session.Fit(1, 2).done);
  const ClassFit before = *session.FitOf(1, 2);
  std::filesystem::remove(dir.path() / "1,2rates.dat");
  SetValues(1, 2, {0.0, -1.0, 2.0, 1e-6});
  const Outcome none = session.Fit(1, 2);
  EXPECT_FALSE(none.done);
  EXPECT_EQ(Texts(none), std::vector<std::string>{"Class 1->2 has no rates to fit."});
  EXPECT_EQ(session.FitOf(1, 2)->rate, before.rate);
  EXPECT_EQ(session.FitOf(1, 2)->transitions, before.transitions);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "1,2rates.dat"));

  // A small class on which the minimiser reaches its iteration limit.
  SetValues(1, 1, {0.9122420136067972, 5.0295025199729035e-05});
  const Outcome stuck = session.Fit(1, 1);
  EXPECT_FALSE(stuck.done);
  EXPECT_EQ(Texts(stuck, Severity::Error),
            std::vector<std::string>{"The fit of class 1->1 did not converge; no result was stored."});
  EXPECT_EQ(session.FitOf(1, 1), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "1,1rates.dat"));
  SetValues(1, 1, Peak(-4.1));
  EXPECT_TRUE(session.Fit(1, 1).done);
  EXPECT_NE(session.FitOf(1, 1), nullptr);
}

// Rates near 1 per frame: their mean ln lies above -1, where the objective is flat. The fit
// starts from -1 instead, says so, and its rate is held at that end of the range.
TEST_F(SessionFitTest, AClassBeyondTheFitsRangeStartsFromItsEndWithANotice) {
  Lock(2);
  std::vector<double> values;
  for (int k = 0; k < 100; ++k) values.push_back(0.95 * std::exp(0.02 * (k % 5 - 2)));
  SetValues(2, 2, values);
  const Outcome outcome = session.Fit(2, 2);
  EXPECT_TRUE(Texts(outcome, Severity::Error).empty());
  ASSERT_EQ(Texts(outcome, Severity::Notice).size(), 1u);
  EXPECT_NE(Texts(outcome, Severity::Notice)[0].find("Class 2->2: its rates lie outside the range the fit takes"),
            std::string::npos);
  ASSERT_NE(session.FitOf(2, 2), nullptr);
  EXPECT_LE(session.FitOf(2, 2)->rate, std::exp(-1.0) / 0.1 * (1 + 1e-12));
}

// A fit stands when its rate file cannot be written, and so does the log; the user is told
// which file is missing.
TEST_F(SessionFitTest, FilesThatCannotBeWrittenAreReportedAndTheFitStands) {
  Lock(2);
  SetValues(1, 1, Peak(-4.1));
  const std::filesystem::path gone = dir.path() / "gone";
  session.SetOutputFolder((gone / "").string());
  const std::string why = "\": No such file or directory.";
  EXPECT_EQ(Texts(session.Fit(1, 1)),
            std::vector<std::string>{"Cannot write \"" + (gone / "1,1rates.dat").string() + why});
  ASSERT_NE(session.FitOf(1, 1), nullptr);
  EXPECT_GT(session.FitOf(1, 1)->rate, 0.0);
  EXPECT_EQ(Texts(session.WriteLog()),
            (std::vector<std::string>{"Cannot write \"" + (gone / "log.dat").string() + why,
                                      "Cannot write \"" + (gone / "results.csv").string() + why,
                                      "Cannot write \"" + (gone / "rates.csv").string() + why}));
}

// Three states now, but the lists are those of two: class 2->2 is the lock's, 3->2 is none.
TEST_F(SessionFitTest, AClassIsLookedUpInTheTableOfTheLock) {
  Lock(2);
  SetValues(2, 2, Peak(-4.1));
  ASSERT_TRUE(session.SetStates(3).done);
  EXPECT_TRUE(session.Fit(2, 2).done);
  EXPECT_EQ(
      Said(session, {"fit", "3", "2"}),
      std::vector<std::string>{"Class 3->2 is not among the classes of the last lock (2 states). Lock cutoffs again."});
  EXPECT_EQ(session.FitOf(3, 2), nullptr);
}

}  // namespace
