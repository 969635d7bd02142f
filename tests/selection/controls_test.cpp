// The window's controls of the states, the lock, the picker, the circles and the panel: what each
// shows, what a click or a keystroke hands to the session, and when the map is drawn again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "selection/panelpoints.h"
#include "tests/selection/selection_fixture.h"

namespace {

using ControlsTest = SelectionTest;
using ::testing::ElementsAre;

const Cutoffs& Slots(CVarnelDlg& dlg) { return dlg.m_session.CutoffValues(); }

// The count's edit: every keystroke that makes a count spaces the cutoffs and fills the list; the
// lines come with the next redraw; text that is no count changes nothing.
TEST_F(ControlsTest, TheStateCountFillsTheCutoffListAndTheMapShowsItAtTheNextPaint) {
  Type(IDC_STATE_COUNT, "3");
  EXPECT_EQ(dlg->m_stateCount, 3);
  EXPECT_EQ(Slots(*dlg)[1], 2.0 / 3.0);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[1->2] | 2->3");
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.333333333333333");
  EXPECT_EQ(dlg->m_cutoffValue, 1.0 / 3.0);
  EXPECT_NE(Shown(100, 66), Line());
  dlg->SendMessage(WM_PAINT);
  for (int r : {0, 100, 200}) {
    EXPECT_EQ(Shown(r, 66), Line());
    EXPECT_EQ(Shown(r, 133), Line());
    EXPECT_EQ(Shown(r, 65), Base(r, 65));
    EXPECT_EQ(Shown(r, 200), Base(r, 200));
  }
  EXPECT_EQ(Shown(66, 10), Base(66, 10));  // no horizontal lines before the lock

  // "10" passes through 1: an empty list, no entry selected, the value shown stays.
  Type(IDC_STATE_COUNT, "1");
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "");
  EXPECT_EQ(dlg->m_cutoffValue, 1.0 / 3.0);
  Type(IDC_STATE_COUNT, "10");
  EXPECT_EQ(dlg->m_stateCount, 10);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[1->2] | 2->3 | 3->4 | 4->5 | 5->6 | 6->7 | 7->8 | 8->9 | 9->10");
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.1");
  EXPECT_TRUE(host.invalid.empty());

  // Counts outside 1 ... 10 are refused by the exchange and keep the count ("11" passes through 1).
  for (const char* bad : {"0", "-2", "abc", "", "11"}) {
    Type(IDC_STATE_COUNT, "3");
    Type(IDC_STATE_COUNT, bad);
    EXPECT_EQ(dlg->m_stateCount, std::string(bad) == "11" ? 1 : 3) << bad;
    EXPECT_EQ(dlg->m_session.States(), std::string(bad) == "11" ? 1 : 3) << bad;
  }
  EXPECT_FALSE(host.invalid.empty());

  // A slip of the keyboard keeps the cutoffs set by hand, and the lock refuses while it stands.
  Type(IDC_STATE_COUNT, "3");
  Select(IDC_CUTOFF_LIST, 1);
  Click(IDC_CUTOFF_UP);
  const Cutoffs set = Slots(*dlg);
  ASSERT_EQ(set[1], 2.0 / 3.0 + 0.005);
  Paste(IDC_STATE_COUNT, "3x");
  EXPECT_EQ(Slots(*dlg), set);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "1->2 | [2->3]");
  host.errors.clear();
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_FALSE(dlg->m_cutoffsLocked);
  EXPECT_EQ(host.errors, std::vector<std::string>{"Number of states: enter a whole number from 1 to 10."});

  // A new count spaces the cutoffs again without a redraw: the map keeps the old picture.
  dlg->SendMessage(WM_PAINT);
  ASSERT_EQ(Shown(0, 134), Line());
  Paste(IDC_STATE_COUNT, "4");
  EXPECT_EQ(Slots(*dlg)[1], 0.5);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.25");
  EXPECT_EQ(Shown(0, 134), Line());
  EXPECT_NE(Shown(0, 50), Line());
}

// A step moves the selected cutoff one cell from the stored value, Refresh takes the typed one;
// both redraw, and without a selected entry neither moves any.
TEST_F(ControlsTest, StepsAndRefreshMoveTheSelectedCutoffAndRedraw) {
  // Before any count, the list's Null entry moves slot 0, which is not drawn.
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[Null]");
  Click(IDC_CUTOFF_DOWN);
  EXPECT_EQ(Slots(*dlg)[0], 0.0);
  Click(IDC_CUTOFF_UP);
  EXPECT_DOUBLE_EQ(Slots(*dlg)[0], 0.005);
  EXPECT_EQ(Shown(0, 1), Base(0, 1));

  Type(IDC_STATE_COUNT, "2");
  Type(IDC_CUTOFF_VALUE, "0.42");
  Click(IDC_CUTOFF_UP);
  EXPECT_DOUBLE_EQ(Slots(*dlg)[0], 0.505);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.505");
  EXPECT_EQ(Shown(0, 101), Line());
  Type(IDC_CUTOFF_VALUE, "0.42");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(Slots(*dlg)[0], 0.42);
  EXPECT_EQ(Shown(0, 84), Line());
  EXPECT_EQ(Shown(0, 101), Base(0, 101));
  // The edit shows the value held on the axis.
  Type(IDC_CUTOFF_VALUE, "1.7");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "1");
  EXPECT_EQ(Shown(50, 200), Line());
  Type(IDC_CUTOFF_VALUE, "-0.3");
  Click(IDC_REFRESH_CUTOFFS);
  Click(IDC_CUTOFF_DOWN);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0");
  EXPECT_EQ(Shown(50, 0), Line());

  Type(IDC_STATE_COUNT, "4");
  Select(IDC_CUTOFF_LIST, 1);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.5");
  Click(IDC_CUTOFF_UP);
  EXPECT_DOUBLE_EQ(Slots(*dlg)[1], 0.505);
  EXPECT_EQ(Slots(*dlg)[0], 0.25);
  EXPECT_EQ(Slots(*dlg)[2], 0.75);
  EXPECT_EQ(Shown(7, 101), Line());
  EXPECT_EQ(Shown(7, 100), Base(7, 100));
  Click(IDC_CUTOFF_DOWN);
  Click(IDC_CUTOFF_DOWN);
  EXPECT_DOUBLE_EQ(Slots(*dlg)[1], 0.495);
  EXPECT_EQ(Shown(7, 99), Line());

  // N = 1 leaves no entry selected: the value shown for N = 2 stays, and nothing moves.
  Type(IDC_STATE_COUNT, "2");
  Type(IDC_STATE_COUNT, "1");
  EXPECT_EQ(dlg->m_cutoffValue, 0.5);
  Click(IDC_CUTOFF_UP);
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(Slots(*dlg)[0], 1.0);
  EXPECT_EQ(dlg->m_cutoffValue, 0.5);
}

TEST_F(ControlsTest, SelectingAnEntryShowsItsCutoffAndOnlyRefreshReadsTheOtherEdits) {
  Type(IDC_STATE_COUNT, "3");
  Select(IDC_CUTOFF_LIST, 1);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "1->2 | [2->3]");
  EXPECT_EQ(dlg->m_cutoffValue, 2.0 / 3.0);
  EXPECT_EQ(Slots(*dlg)[0], 1.0 / 3.0);
  EXPECT_EQ(Slots(*dlg)[1], 2.0 / 3.0);
  EXPECT_EQ(Shown(0, 133), Line());  // the selection redraws the map

  // The exposure reaches the session as it is typed: the steps' redraws keep it.
  Type(IDC_EXPOSURE_TIME, "0.5");
  Click(IDC_CUTOFF_UP);
  Click(IDC_CUTOFF_DOWN);
  EXPECT_EQ(dlg->m_exposureTime, 0.5);
  EXPECT_EQ(Text(IDC_EXPOSURE_TIME), "0.5");
  Select(IDC_CUTOFF_LIST, 0);
  EXPECT_EQ(dlg->m_exposureTime, 0.5);
  Type(IDC_EXPOSURE_TIME, "0.25");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(dlg->m_exposureTime, 0.25);
  EXPECT_EQ(dlg->m_session.Exposure(), 0.25);
}

// The lock draws the grid of its cutoffs and shows class 1->1; the picker marks the class it
// steps to. Without a count the lock only asks for one.
TEST_F(ControlsTest, TheLockDrawsItsGridAndThePickedClassIsMarked) {
  SetRecords({{0.3, 0.8, 0.11, 0, 1}});
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_THAT(host.messages, ElementsAre("Enter the number of states first."));
  EXPECT_FALSE(dlg->m_cutoffsLocked);
  EXPECT_FALSE(dlg->m_showPick);
  EXPECT_EQ(Text(IDC_PICK_FROM), "0");

  Type(IDC_STATE_COUNT, "3");
  Type(IDC_EXPOSURE_TIME, "0.5");  // taken as typed: the lock's redraw keeps it
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_TRUE(dlg->m_cutoffsLocked);
  EXPECT_EQ(dlg->m_session.LockedStates(), 3);
  EXPECT_EQ(Text(IDC_EXPOSURE_TIME), "0.5");
  EXPECT_EQ(Text(IDC_PICK_FROM), "1");
  EXPECT_EQ(Text(IDC_PICK_TO), "1");
  EXPECT_EQ(Text(IDC_HIST_MAX), "0");
  for (int k = 0; k <= 200; k += 50) {
    EXPECT_EQ(Shown(66, k), Line()) << k;
    EXPECT_EQ(Shown(133, k), Line()) << k;
    EXPECT_EQ(Shown(k, 133), Line()) << k;
  }
  for (int r : {0, 30, 65})
    for (int c : {0, 30, 65}) EXPECT_EQ(Shown(r, c), Base(r, c) + 200u) << r << "," << c;
  EXPECT_EQ(Shown(10, 67), Base(10, 67));
  EXPECT_EQ(Shown(67, 10), Base(67, 10));

  for (int n = 0; n < 7; ++n) Click(IDC_PICK_NEXT);
  EXPECT_EQ(Text(IDC_PICK_FROM), "3");
  EXPECT_EQ(Text(IDC_PICK_TO), "2");
  for (int r : {134, 170, 200})
    for (int c : {67, 100, 132}) EXPECT_EQ(Shown(r, c), Base(r, c) + 200u) << r << "," << c;
  EXPECT_EQ(Shown(133, 100), Line() + 200u);  // the line is drawn first, then lifted
  EXPECT_EQ(Shown(132, 100), Base(132, 100));
  EXPECT_EQ(Shown(150, 133), Line());
}

// The picker steps through the classes of N as last read, not of the lock, and before any count
// does nothing.
TEST_F(ControlsTest, ThePickerStepsThroughTheCountAsLastRead) {
  Type(IDC_EXPOSURE_TIME, "0.5");
  Click(IDC_PICK_NEXT);
  Click(IDC_PICK_PREV);
  EXPECT_EQ(Text(IDC_PICK_FROM), "0");
  EXPECT_EQ(Text(IDC_PICK_TO), "0");
  EXPECT_FALSE(dlg->m_showPick);
  EXPECT_EQ(dlg->m_exposureTime, 0.5);

  Type(IDC_STATE_COUNT, "3");
  Click(IDC_LOCK_CUTOFFS);
  Type(IDC_STATE_COUNT, "2");
  for (const char* expected : {"1->2", "2->1", "2->2", "2->2"}) {
    Click(IDC_PICK_NEXT);
    EXPECT_EQ(Text(IDC_PICK_FROM) + "->" + Text(IDC_PICK_TO), expected);
  }
  EXPECT_EQ(dlg->m_session.LockedStates(), 3);
}

// Every circle button works on the shown class: before a lock and beyond its table each is
// refused; after it each moves the circle, which the map draws while "Use circles" is ticked.
TEST_F(ControlsTest, TheCircleButtonsWorkOnTheShownClass) {
  SetRecords({{0.27, 0.78, 0.5, 0, 1}, {0.30, 0.80, 0.4, 0, 1}, {0.25, 0.75, 0.3, 0, 2.5}, {0.26, 0.74, 0.6, 0, 1}});
  const std::vector<int> buttons = {IDC_CIRCLE_UP, IDC_CIRCLE_DOWN, IDC_CIRCLE_LEFT, IDC_CIRCLE_RIGHT,
                                    IDC_RADIUS_UP, IDC_RADIUS_DOWN, IDC_SET_CIRCLE};
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_PICK_NEXT);
  for (int id : buttons) Click(id);
  EXPECT_EQ(host.messages, std::vector<std::string>(7, "Lock cutoffs first."));
  host.messages.clear();

  Click(IDC_LOCK_CUTOFFS);
  Click(IDC_PICK_NEXT);  // 1->2: centre row 50, column 150
  const SelectionCircle& c = dlg->m_circles[0][1];
  Click(IDC_CIRCLE_UP);
  EXPECT_TRUE(c.visible);
  EXPECT_EQ(c.row, 49);
  Click(IDC_CIRCLE_DOWN);
  Click(IDC_CIRCLE_DOWN);
  Click(IDC_CIRCLE_LEFT);
  EXPECT_EQ(c.row, 51);
  EXPECT_EQ(c.col, 149);
  Click(IDC_CIRCLE_RIGHT);
  Click(IDC_CIRCLE_RIGHT);
  Click(IDC_RADIUS_DOWN);
  EXPECT_EQ(c.col, 151);
  EXPECT_EQ(c.radius, 9);
  Click(IDC_RADIUS_UP);
  Click(IDC_RADIUS_UP);
  EXPECT_EQ(c.radius, 11);
  EXPECT_TRUE(host.messages.empty());

  // Drawn only while the box is ticked; ticking alone does not redraw.
  EXPECT_EQ(Shown(40, 151), Base(40, 151) + 200u);
  Click(IDC_USE_CIRCLES);
  EXPECT_EQ(dlg->m_useCircles, 1);
  EXPECT_EQ(Shown(40, 151), Base(40, 151) + 200u);
  Click(IDC_CIRCLE_UP);  // centre row 50, column 151, radius 11
  EXPECT_EQ(Shown(39, 151), Line());
  EXPECT_EQ(Shown(50, 162), Line());

  // "Set Circle" rebuilds the shown class (0.5, 0.3 three times and 0.6 lie within 11 cells) and shows it.
  Click(IDC_SET_CIRCLE);
  EXPECT_EQ(dlg->m_session.ClassList(1, 2)->size(), 5u);
  EXPECT_EQ(Text(IDC_HIST_MAX), "3");
  EXPECT_EQ(Text(IDC_PICK_TO), "2");
  Click(IDC_PICK_NEXT);  // 2->1 has no visible circle
  EXPECT_EQ(Shown(39, 151), Base(39, 151));

  // 3->3, beyond the 2 x 2 table of the lock.
  Type(IDC_STATE_COUNT, "3");
  for (int n = 0; n < 8; ++n) Click(IDC_PICK_NEXT);
  ASSERT_EQ(Text(IDC_PICK_FROM), "3");
  for (int id : buttons) Click(id);
  ASSERT_EQ(host.messages.size(), 7u);
  for (const std::string& message : host.messages) EXPECT_NE(message.find("3->3"), std::string::npos);
  EXPECT_FALSE(dlg->m_circles[2][2].visible);
}

// The panel draws the shown class's histogram, marks the class on the map and writes the pick
// edits; a fit's curve is drawn once, after the fit, even where it climbs far out of the panel.
TEST_F(ControlsTest, ThePanelDrawsTheShownHistogramAndAFitsCurveOnce) {
  // A peak of 1, 4, 9, 12, 9, 4, 1 in bins 27 ... 33 (ln rate -3.95 + 0.2 d is bin 30.25 + d).
  std::vector<TransitionRecord> records;
  const double counts[7] = {1, 4, 9, 12, 9, 4, 1};
  for (int d = -3; d <= 3; ++d) records.push_back({0.1, 0.1, std::exp(-3.95 + 0.2 * d), 0, counts[d + 3]});
  SetRecords(records);
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  ASSERT_EQ(Text(IDC_HIST_MAX), "12");
  const ClassHistogram& histogram = dlg->m_session.Histogram(0, 0);
  // The polyline leaves out its last point, so bins 0 ... 48 are its drawn vertices.
  const PanelPoints bars = HistogramPoints(histogram, 12.0);
  for (int k = 0; k < kHistogramBins - 1; ++k) EXPECT_EQ(Panel(bars[k].x, bars[k].y), kPanelGreen) << k;
  EXPECT_EQ(bars[30].y, 2);
  EXPECT_NE(Panel(bars[30].x, 1), kPanelGreen);

  dlg->m_shownFrom = 1;
  dlg->m_shownTo = 0;
  dlg->DrawPanel();
  EXPECT_EQ(Text(IDC_PICK_FROM), "2");
  EXPECT_EQ(Text(IDC_PICK_TO), "1");
  EXPECT_EQ(Text(IDC_HIST_MAX), "0");
  EXPECT_EQ(Shown(150, 50), Base(150, 50) + 200u);
  EXPECT_EQ(Shown(50, 50), Base(50, 50));
  EXPECT_EQ(dlg->m_histPanel.GetBitmap(), &dlg->m_panelBitmap);
  for (int x = bars[0].x; x < bars[48].x; ++x) EXPECT_EQ(Panel(x, 198), kPanelGreen) << x;  // on the base line

  Click(IDC_PICK_PREV);
  Click(IDC_PICK_PREV);
  Click(IDC_PICK_PREV);  // 1->1
  Click(IDC_FIT_GAUSSIAN);
  const ClassFit* fit = dlg->m_session.FitOf(1, 1);
  ASSERT_NE(fit, nullptr);
  const PanelPoints curve = FittedCurvePoints(histogram, fit->lastEvaluated, 12.0);
  int blue = 0;
  for (int k = 0; k < kHistogramBins - 1; ++k)
    if (curve[k].y >= 0 && curve[k].y < kPanelHeight) {
      EXPECT_EQ(Panel(curve[k].x, curve[k].y), kPanelBlue) << k;
    }
  for (Pixel p : dlg->m_panelBitmap.Surface().Pixels()) blue += p == kPanelBlue;
  EXPECT_GT(blue, 50);
  EXPECT_FALSE(dlg->m_drawFitCurve);
  Click(IDC_PICK_NEXT);
  Click(IDC_PICK_PREV);
  for (Pixel p : dlg->m_panelBitmap.Surface().Pixels()) ASSERT_NE(p, kPanelBlue);

  // A / w overflows: the segment from bin 45 on the base line climbs straight up out of view.
  SessionTestPeer::Fit(dlg->m_session, 0, 0)->lastEvaluated = {1e308, -0.7, 1e-3};
  dlg->m_drawFitCurve = true;
  dlg->DrawPanel();
  for (int y : {198, 100, 0}) EXPECT_EQ(Panel(curve[45].x, y), kPanelBlue) << y;
  EXPECT_EQ(Panel(curve[10].x, 198), kPanelBlue);
}

}  // namespace
