// The histogram panel's points at the exact places of its scale, the fitted curve's, and the
// picker's order.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "fit/fitparams.h"
#include "selection/panelpoints.h"
#include "selection/picker.h"

namespace {

// x of bin k: 8k + 4, except for the bins whose stored centre lies just below the decimal
// value, which land one pixel to the left.
int BinX(int k) {
  static const std::set<int> leftBins = {0, 1, 3, 5, 6, 8, 10, 11, 13, 15, 16, 18, 20, 21, 25, 26, 30, 35, 40, 43, 45};
  return 8 * k + (leftBins.count(k) ? 3 : 4);
}

TEST(HistogramPanel, CountsAreScaledToTheFullestBin) {
  ClassHistogram histogram = HistogramOf({});
  histogram.counts[10] = 12;
  histogram.counts[20] = 6;
  histogram.counts[21] = 3;  // 198 - trunc(49.0) = 149
  histogram.counts[30] = 1;  // 198 - trunc(16.33) = 182
  ASSERT_EQ(HistogramMax(histogram), 12.0);
  const PanelPoints points = HistogramPoints(histogram, 12.0);
  for (int k = 0; k < kHistogramBins; ++k) {
    const int y = k == 10 ? 2 : k == 20 ? 100 : k == 21 ? 149 : k == 30 ? 182 : 198;
    EXPECT_EQ(points[static_cast<std::size_t>(k)].x, BinX(k)) << k;
    EXPECT_EQ(points[static_cast<std::size_t>(k)].y, y) << k;
  }
  // An empty histogram: 0 / 0 lies on the base line.
  const ClassHistogram empty = HistogramOf({});
  EXPECT_EQ(HistogramMax(empty), 0.0);
  for (const POINT& p : HistogramPoints(empty, 0.0)) EXPECT_EQ(p.y, 198);
}

TEST(HistogramPanel, TheCurveIsTheGaussianOnTheHistogramsScaleAndFarPointsArePulledIn) {
  const ClassHistogram histogram = HistogramOf({});
  const PanelPoints curve = FittedCurvePoints(histogram, {8.0, -4.9, 1.2}, 10.0);
  for (int k = 0; k < kHistogramBins; ++k) {
    const double c = -9.9 + 0.2 * k;
    const double g = 8.0 / (std::sqrt(1.5707963267945) * 1.2) * std::exp(-2.0 * std::pow((c + 4.9) / 1.2, 2));
    EXPECT_EQ(curve[static_cast<std::size_t>(k)].x, BinX(k)) << k;
    EXPECT_EQ(curve[static_cast<std::size_t>(k)].y, 198 - static_cast<int>(g / 10.0 * 196.0)) << k;
  }
  // A / w overflows: infinity at the centre (bin 46), pulled in to 20,000 pixels above the base
  // line; inf x 0 elsewhere is no number, which lies on the base line, as 0 / 0 does.
  const PanelPoints steep = FittedCurvePoints(histogram, {1e308, -0.7, 1e-3}, 1.0);
  EXPECT_EQ(steep[46].y, 198 - 20000);
  EXPECT_EQ(steep[45].y, 198);
  EXPECT_EQ(steep[10].y, 198);
  for (const POINT& p : FittedCurvePoints(histogram, {0.0, -0.7, 0.0}, 1.0)) EXPECT_EQ(p.y, 198);
}

// Class i->j, numbered from 1 as the picker edits show it.
std::string Named(ClassIndex c) { return std::to_string(c.from + 1) + "->" + std::to_string(c.to + 1); }

TEST(PickerOrder, StepsRowMajorAndStopsAtBothEnds) {
  ClassIndex shown{0, 0};
  EXPECT_EQ(Named(PreviousClass(shown, 2)), "1->1");
  std::string forward, back;
  for (int n = 0; n < 4; ++n) forward += Named(shown = NextClass(shown, 2)) + " ";
  for (int n = 0; n < 4; ++n) back += Named(shown = PreviousClass(shown, 2)) + " ";
  EXPECT_EQ(forward, "1->2 2->1 2->2 2->2 ");
  EXPECT_EQ(back, "2->1 1->2 1->1 1->1 ");

  std::string order;
  for (ClassIndex c{0, 0}; order.size() < 9 * 5; c = NextClass(c, 3)) order += Named(c) + " ";
  EXPECT_EQ(order, "1->1 1->2 1->3 2->1 2->2 2->3 3->1 3->2 3->3 ");
  // Without a count of states there is no order to step through.
  EXPECT_EQ(Named(NextClass({0, 1}, 0)), "1->2");
  EXPECT_EQ(Named(PreviousClass({0, 1}, 11)), "1->2");
}

// With N lowered since the lock a shown class can lie beyond N x N: forward it stays, back it
// comes into the order at once and stays inside the 10 x 10 tables.
TEST(PickerOrder, AClassBeyondALoweredCountStepsBackInsideTheTables) {
  const ClassIndex last{9, 9};
  EXPECT_EQ(Named(NextClass(last, 2)), "10->10");
  ClassIndex shown = PreviousClass(last, 2);
  EXPECT_EQ(Named(shown), "10->2");
  for (int n = 0; n < 30; ++n) shown = PreviousClass(shown, 2);
  EXPECT_EQ(Named(shown), "1->1");
}

}  // namespace
