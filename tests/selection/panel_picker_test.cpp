// The histogram panel at the exact points of its scale, the fitted curve, and the picker.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "fit/fitparams.h"
#include "selection/picker.h"
#include "tests/selection/selection_fixture.h"

namespace {

using HistogramPanelTest = SelectionTest;
using PickerTest = SelectionTest;

// x of bin k: 8k + 4, except for the bins whose stored centre lies just below the decimal
// value, which land one pixel to the left.
int BinX(int k) {
  static const std::set<int> leftBins = {0, 1, 3, 5, 6, 8, 10, 11, 13, 15, 16, 18, 20, 21, 25, 26, 30, 35, 40, 43, 45};
  return 8 * k + (leftBins.count(k) ? 3 : 4);
}

TEST_F(HistogramPanelTest, CountsAreScaledToTheFullestBin) {
  Type(IDC_STATE_COUNT, "1");
  Click(IDC_LOCK_CUTOFFS);
  auto& counts = SessionTestPeer::Histogram(dlg->m_session, 0, 0).counts;
  counts[10] = 12;
  counts[20] = 6;
  counts[21] = 3;        // 198 - trunc(49.0) = 149
  counts[30] = 1;        // 198 - trunc(16.33) = 182
  Click(IDC_PICK_PREV);  // stays on 1->1 and draws the panel again

  EXPECT_EQ(Text(IDC_HIST_MAX), "12");
  auto expectedY = [&](int k) {
    switch (k) {
      case 10:
        return 2;
      case 20:
        return 100;
      case 21:
        return 149;
      case 30:
        return 182;
      default:
        return 198;
    }
  };
  // The polyline leaves out its last point, so bins 0 ... 48 are its drawn vertices.
  for (int k = 0; k < kHistogramBins - 1; ++k) EXPECT_EQ(Panel(BinX(k), expectedY(k)), kPanelGreen) << k;
  EXPECT_NE(Panel(BinX(10), 1), kPanelGreen);
  EXPECT_NE(Panel(BinX(20), 99), kPanelGreen);
  EXPECT_NE(Panel(BinX(0), 199), kPanelGreen);
  // The tops of bins 10 and 20 are single pixels, at 8k + 3, not 8k + 4.
  EXPECT_EQ(BinX(10), 83);
  EXPECT_NE(Panel(84, 2), kPanelGreen);
  EXPECT_NE(Panel(82, 2), kPanelGreen);
  EXPECT_NE(Panel(164, 100), kPanelGreen);
}

TEST_F(HistogramPanelTest, AnEmptyHistogramLiesOnTheBaseLine) {
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_EQ(Text(IDC_HIST_MAX), "0");
  for (int x = BinX(0); x < BinX(49); ++x) EXPECT_EQ(Panel(x, 198), kPanelGreen) << x;
  for (int y = 0; y < 198; ++y) EXPECT_NE(Panel(BinX(7), y), kPanelGreen) << y;
}

TEST_F(HistogramPanelTest, TheFittedCurveIsDrawnOnceAfterAFit) {
  SetRecords({{0.1, 0.1, std::exp(-4.95), 0, 10}, {0.1, 0.1, std::exp(-4.45), 0, 4}});  // bins 25 and 27
  Type(IDC_STATE_COUNT, "1");
  Click(IDC_LOCK_CUTOFFS);
  ASSERT_EQ(Text(IDC_HIST_MAX), "10");

  SessionTestPeer::Fit(dlg->m_session, 0, 0).emplace().lastEvaluated = {8.0, -4.9, 1.2};
  dlg->m_drawFitCurve = true;
  dlg->DrawPanel();  // as the fit does
  EXPECT_FALSE(dlg->m_drawFitCurve);
  for (int k = 0; k < kHistogramBins - 1; ++k) {
    const double c = dlg->m_session.Histogram(0, 0).centres[k];
    const double g = 8.0 / (std::sqrt(1.5707963267945) * 1.2) * std::exp(-2.0 * std::pow((c + 4.9) / 1.2, 2));
    const int y = 198 - static_cast<int>(g / 10.0 * 196.0);
    EXPECT_EQ(Panel(BinX(k), y), kPanelBlue) << k;
  }

  Click(IDC_PICK_NEXT);  // at the end: the same class again, without the curve
  for (int x = 0; x < kPanelWidth; ++x)
    for (int y = 0; y < kPanelHeight; ++y) ASSERT_NE(Panel(x, y), kPanelBlue) << x << "," << y;
}

TEST_F(HistogramPanelTest, ACurveFarAboveThePanelIsClippedNotConverted) {
  SetRecords({{0.1, 0.1, 0.5, 0, 1}});
  Type(IDC_STATE_COUNT, "1");
  Click(IDC_LOCK_CUTOFFS);
  // A / w overflows: infinity at the centre, inf x 0 (no number) elsewhere
  std::optional<ClassFit>& fit = SessionTestPeer::Fit(dlg->m_session, 0, 0);
  fit.emplace().lastEvaluated = {1e308, -0.7, 1e-3};
  dlg->m_drawFitCurve = true;
  dlg->DrawPanel();
  // Bin 46 holds the centre, far above the panel: the segment from bin 45 on the base line
  // climbs almost straight up out of view.
  EXPECT_EQ(Panel(BinX(45), 198), kPanelBlue);
  EXPECT_EQ(Panel(BinX(45), 100), kPanelBlue);
  EXPECT_EQ(Panel(BinX(45), 0), kPanelBlue);
  EXPECT_EQ(Panel(BinX(10), 198), kPanelBlue);

  fit->lastEvaluated = {0.0, -0.7, 0.0};  // 0 / 0: no number, drawn on the base line
  dlg->m_drawFitCurve = true;
  dlg->DrawPanel();
  EXPECT_EQ(Panel(BinX(20), 198), kPanelBlue);
}

TEST_F(HistogramPanelTest, DrawingThePanelMarksTheShownClassAndWritesThePickEdits) {
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  dlg->m_shownFrom = 1;
  dlg->m_shownTo = 0;
  dlg->DrawPanel();
  EXPECT_EQ(Text(IDC_PICK_FROM), "2");
  EXPECT_EQ(Text(IDC_PICK_TO), "1");
  EXPECT_EQ(Shown(150, 50), Base(150, 50) + 200u);
  EXPECT_EQ(Shown(50, 50), Base(50, 50));
  EXPECT_EQ(dlg->m_histPanel.GetBitmap(), &dlg->m_panelBitmap);
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

TEST_F(PickerTest, UsesTheStateCountAsLastReadNotTheLockedOne) {
  Type(IDC_STATE_COUNT, "3");
  Click(IDC_LOCK_CUTOFFS);
  Type(IDC_STATE_COUNT, "2");
  auto shown = [&] { return Text(IDC_PICK_FROM) + "->" + Text(IDC_PICK_TO); };
  const char* forward[] = {"1->2", "2->1", "2->2", "2->2"};
  for (const char* expected : forward) {
    Click(IDC_PICK_NEXT);
    EXPECT_EQ(shown(), expected);
  }
  EXPECT_EQ(dlg->m_session.LockedStates(), 3);
}

TEST_F(PickerTest, BeforeAnyCountThePickerDoesNothing) {
  Type(IDC_EXPOSURE_TIME, "0.5");
  Click(IDC_PICK_NEXT);
  Click(IDC_PICK_PREV);
  EXPECT_EQ(Text(IDC_PICK_FROM), "0");
  EXPECT_EQ(Text(IDC_PICK_TO), "0");
  EXPECT_FALSE(dlg->m_showPick);
  EXPECT_EQ(dlg->m_exposureTime, 0.5);  // taken as it was typed, whatever is clicked next
}

}  // namespace
