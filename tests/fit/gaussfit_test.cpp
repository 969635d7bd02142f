// The Gaussian fit of a class: its objective, the rate file, the results and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "fit/fitparams.h"
#include "fit/gaussfit.h"
#include "res/resource.h"
#include "selection/histograms.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/session_peer.h"

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

// A dialog locked into `states` states whose class lists the tests fill directly.
class FitTest : public DialogTest {
 protected:
  void Lock(int states) {
    Type(IDC_STATE_COUNT, std::to_string(states));
    Click(IDC_LOCK_CUTOFFS);
  }
  // Shows class from->to with the histogram of its list, as "Set Circle" would leave it.
  void ShowWithValues(int from, int to, const std::vector<double>& values) {
    SessionTestPeer::List(dlg->m_session, from, to) = values;
    auto& counts = SessionTestPeer::Histogram(dlg->m_session, from - 1, to - 1).counts;
    counts.fill(0.0);
    for (double v : values) {
      const double bin = (std::log(v) + 10.0) / 0.2;
      if (bin > -1.0 && bin < 50.0) counts[static_cast<std::size_t>(bin)] += 1.0;
    }
        while (dlg->m_pickFrom != from || dlg->m_pickTo != to) Click(IDC_PICK_NEXT);
  }
  // Values scattered around exp(centre) on the log axis, symmetric so that the fitted
  // centre is the centre: centre + 0.3 d for d = -3 ... 3, with counts 1, 4, 9, 12, 9, 4, 1.
  static std::vector<double> Peak(double centre) {
    std::vector<double> values;
    const int counts[7] = {1, 4, 9, 12, 9, 4, 1};
    for (int d = -3; d <= 3; ++d)
      for (int n = 0; n < counts[d + 3]; ++n) values.push_back(std::exp(centre + 0.2 * d));
    return values;
  }
};

TEST_F(FitTest, RefusedBeforeTheFirstLock) {
  Click(IDC_FIT_GAUSSIAN);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], "Lock cutoffs first.");
  EXPECT_FALSE(dlg->m_drawFitCurve);
}

TEST_F(FitTest, FitsAPeakAndWritesTheClassRateFile) {
  Lock(3);
  // ln v = -2.95 + 0.2 d falls into bin 35 + d: counts symmetric about bin 35, centre -2.9.
  std::vector<double> values = Peak(-2.95);
  values.push_back(0.0);     // not a rate: in the list, not in the file
  values.push_back(1.0);     // ln 1 = 0 is out of range
  values.push_back(3.0e-5);  // ln below -10
  ShowWithValues(3, 2, values);
  const int busyBefore = host.busyCalls;
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_GT(host.busyCalls, busyBefore);  // the busy pointer while it fits

  const ClassFit& result = *dlg->m_session.FitOf(3, 2);
  EXPECT_EQ(result.transitions, 43);  // every value of the list, in range or not
  EXPECT_EQ(result.rate, dlg->m_kineticRate);
  EXPECT_EQ(result.stdev, dlg->m_rateStdev);
  // The histogram is symmetric about the centre of bin 35 (-2.9): rate exp(-2.9) / 0.1.
  EXPECT_NEAR(dlg->m_kineticRate, std::exp(-2.9) / 0.1, 1e-3 * dlg->m_kineticRate);
  EXPECT_GT(dlg->m_rateStdev, 0.0);
  EXPECT_EQ(Text(IDC_KINETIC_RATE), FormatField(dlg->m_kineticRate));
  EXPECT_EQ(Text(IDC_GAUSS_AMPLITUDE), FormatField(dlg->m_gaussAmplitude));

  // 40 in-range values, six significant digits each.
  const std::string file = dir.Read("3,2rates.dat");
  char expected[32];
  std::snprintf(expected, sizeof expected, "%g\n", std::exp(-2.95 + 0.2 * -3));
  EXPECT_EQ(file.substr(0, std::string(expected).size()), expected);
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 40);
  EXPECT_EQ(file.find("e-05"), std::string::npos);
}

TEST_F(FitTest, RateFileUsesGeneralNotationWithSixDigits) {
  Lock(2);
  ShowWithValues(1, 2, {5e-5, 0.123456789, 1.5e-4, 0.5});
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_EQ(dir.Read("1,2rates.dat"), "5e-05\n0.123457\n0.00015\n0.5\n");
}

TEST_F(FitTest, CurveIsDrawnOnceAfterAFit) {
  Lock(2);
  ShowWithValues(1, 1, Peak(-4.1));
  Click(IDC_FIT_GAUSSIAN);
  const auto blueCount = [&] {
    int n = 0;
    const PixelSurface& panel = dlg->m_panelBitmap.Surface();
    for (Pixel p : panel.Pixels()) n += p == 0x0000C8;
    return n;
  };
  EXPECT_GT(blueCount(), 50);
  EXPECT_FALSE(dlg->m_drawFitCurve);
  Click(IDC_PICK_NEXT);
  Click(IDC_PICK_PREV);
  EXPECT_EQ(blueCount(), 0);
}

TEST_F(FitTest, RefittingOverwritesTheRecordAndTheFile) {
  Lock(2);
  ShowWithValues(2, 2, Peak(-3.5));
  Click(IDC_FIT_GAUSSIAN);
  const double first = dlg->m_session.FitOf(2, 2)->rate;
  ShowWithValues(2, 2, Peak(-6.1));
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_NEAR(dlg->m_session.FitOf(2, 2)->rate, std::exp(-6.1) / 0.1, 1e-3 * std::exp(-6.1) / 0.1);
  EXPECT_NE(dlg->m_session.FitOf(2, 2)->rate, first);
  const std::string file = dir.Read("2,2rates.dat");
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 40);
  EXPECT_EQ(file.substr(0, file.find('\n')), FormatRate(std::exp(-6.1 - 0.6)));
}

TEST_F(FitTest, ExposureTimeTypedBeforeTheFitIsUsed) {
  Lock(2);
  ShowWithValues(1, 1, Peak(-4.1));
  Type(IDC_EXPOSURE_TIME, "0.05");
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_NEAR(dlg->m_kineticRate, std::exp(-4.1) / 0.05, 1e-3 * std::exp(-4.1) / 0.05);
}

// A rate is divided by the exposure it was fitted with; once the edit shows another, the rate's
// tip says so until the class is fitted again.
TEST_F(FitTest, TheRateSaysWhenTheExposureShownIsNotTheOneItWasFittedWith) {
  Lock(2);
  ShowWithValues(1, 1, Peak(-4.1));
  Click(IDC_FIT_GAUSSIAN);
  const double rate = dlg->m_kineticRate;
  const auto tip = [&] { return dlg->FindControl(IDC_KINETIC_RATE)->tip; };
  EXPECT_EQ(tip().find("fitted with exposure"), std::string::npos) << tip();
  Type(IDC_EXPOSURE_TIME, "0.05");
  EXPECT_NE(tip().find("fitted with exposure 0.1 s, not the 0.05 s shown now"), std::string::npos) << tip();
  EXPECT_EQ(dlg->m_kineticRate, rate);
  Type(IDC_EXPOSURE_TIME, "0.1");
  EXPECT_EQ(tip().find("fitted with exposure"), std::string::npos) << tip();
  Type(IDC_EXPOSURE_TIME, "0.05");
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_EQ(tip().find("fitted with exposure"), std::string::npos) << tip();
  EXPECT_NEAR(dlg->m_kineticRate, 2 * rate, 1e-12 * rate);
}

TEST_F(FitTest, ClassWithoutRatesInRangeIsNotFitted) {
  Lock(2);
  ShowWithValues(1, 2, Peak(-4.1));
  Click(IDC_FIT_GAUSSIAN);
  const ClassFit before = *dlg->m_session.FitOf(1, 2);
  std::remove((dir / "1,2rates.dat").c_str());
  ShowWithValues(1, 2, {0.0, -1.0, 2.0, 1e-6});
  Click(IDC_FIT_GAUSSIAN);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], "Class 1->2 has no rates to fit.");
  EXPECT_EQ(dlg->m_session.FitOf(1, 2)->rate, before.rate);
  EXPECT_EQ(dlg->m_session.FitOf(1, 2)->transitions, before.transitions);
  EXPECT_FALSE(std::filesystem::exists(dir / "1,2rates.dat"));
}

// A fit stands when its rate file cannot be written, and so does the log; the user is told
// which file is missing.
TEST_F(FitTest, FilesThatCannotBeWrittenAreReported) {
  Lock(2);
  ShowWithValues(1, 1, Peak(-4.1));
  dlg->m_session.SetOutputFolder(dir / "gone/");
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE((dlg->m_session.FitOf(1, 1) != nullptr));
  EXPECT_GT(dlg->m_kineticRate, 0.0);
  Click(IDC_DUMP_LOG);
  const std::string why = "\": No such file or directory.";
  EXPECT_EQ(host.messages, (std::vector<std::string>{"Cannot write \"" + dir / "gone/1,1rates.dat" + why,
                                                     "Cannot write \"" + dir / "gone/log.dat" + why,
                                                     "Cannot write \"" + dir / "gone/results.csv" + why}));
}

// A small class on which the minimiser reaches its iteration limit: the fit is refused, nothing
// of it is stored or written, and the program goes on.
TEST_F(FitTest, AFitThatDoesNotConvergeIsRefusedAndTheProgramGoesOn) {
  Lock(1);
  ShowWithValues(1, 1, {0.9122420136067972, 5.0295025199729035e-05});
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_EQ(host.errors, std::vector<std::string>{"The fit of class 1->1 did not converge; no result was stored."});
  EXPECT_FALSE((dlg->m_session.FitOf(1, 1) != nullptr));
  EXPECT_EQ(Text(IDC_KINETIC_RATE), "0");
  EXPECT_FALSE(std::filesystem::exists(dir / "1,1rates.dat"));
  ShowWithValues(1, 1, Peak(-4.1));
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE((dlg->m_session.FitOf(1, 1) != nullptr));
}

// Rates near 1 per frame: their mean ln lies above -1, where the objective is flat. The fit
// starts from -1 instead, says so, and its rate is held at that end of the range.
TEST_F(FitTest, AClassBeyondTheFitsRangeStartsFromItsEndWithANotice) {
  Lock(2);
  std::vector<double> values;
  for (int k = 0; k < 100; ++k) values.push_back(0.95 * std::exp(0.02 * (k % 5 - 2)));
  ShowWithValues(2, 2, values);
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE(host.errors.empty());
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_NE(host.notices[0].find("Class 2->2: its rates lie outside the range the fit takes"), std::string::npos);
  ASSERT_TRUE((dlg->m_session.FitOf(2, 2) != nullptr));
  EXPECT_LE(dlg->m_kineticRate, std::exp(-1.0) / 0.1 * (1 + 1e-12));
}

TEST_F(FitTest, ClassOutsideTheLockedTableIsRefused) {
  Lock(2);
  ShowWithValues(2, 2, Peak(-4.1));
  // Three states now, but the lists are those of two: class 2->2 sits at another place.
  Type(IDC_STATE_COUNT, "3");
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE((dlg->m_session.FitOf(2, 2) != nullptr));  // looked up with the N of the lock
  dlg->m_pickFrom = 3;                          // as if the picker stood on a class the lock never built
  dlg->UpdateData(FALSE);
  Click(IDC_FIT_GAUSSIAN);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("3->2"), std::string::npos);
  EXPECT_FALSE((dlg->m_session.FitOf(3, 2) != nullptr));
}

}  // namespace
