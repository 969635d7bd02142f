// The number of states and the cutoffs: even spacing, the list, steps, typed values, clamping.
#include <gtest/gtest.h>

#include "tests/selection/selection_fixture.h"

namespace {

using CutoffsTest = SelectionTest;

TEST_F(CutoffsTest, ThreeStatesAreEvenlySpacedAndAppearAtTheNextRedraw) {
  Type(IDC_STATE_COUNT, "3");
  EXPECT_EQ(dlg->m_stateCount, 3);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0 / 3.0);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[1], 2.0 / 3.0);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[2], 1.0);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[1->2] | 2->3");
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.333333333333333");
  EXPECT_EQ(dlg->m_cutoffValue, 1.0 / 3.0);

  // Entering the count does not redraw: the lines come with the next paint.
  EXPECT_NE(Shown(100, 66), Line());
  dlg->SendMessage(WM_PAINT);
  for (int r : {0, 100, 200}) {
    EXPECT_EQ(Shown(r, 66), Line());
    EXPECT_EQ(Shown(r, 133), Line());
    EXPECT_EQ(Shown(r, 65), Base(r, 65));
    EXPECT_EQ(Shown(r, 200), Base(r, 200));  // the last cutoff, 1.0, is not drawn
  }
  EXPECT_EQ(Shown(66, 10), Base(66, 10));  // no horizontal lines before the lock
}

TEST_F(CutoffsTest, TenStatesPassThroughOneWhileTyped) {
  Type(IDC_STATE_COUNT, "1");
  EXPECT_EQ(dlg->m_stateCount, 1);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "");
  EXPECT_EQ(dlg->m_cutoffValue, 0.0);  // no entry is selected, so the value stays

  Type(IDC_STATE_COUNT, "10");
  EXPECT_EQ(dlg->m_stateCount, 10);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[1->2] | 2->3 | 3->4 | 4->5 | 5->6 | 6->7 | 7->8 | 8->9 | 9->10");
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(SessionTestPeer::CutoffSlots(dlg->m_session)[static_cast<std::size_t>(k)], 0.1 * (k + 1), 1e-15);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[9], 1.0);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.1");
  EXPECT_TRUE(host.invalid.empty());
}

TEST_F(CutoffsTest, CountsOutsideOneToTenAreRefusedAndKeepTheCount) {
  Type(IDC_STATE_COUNT, "3");
  Select(IDC_CUTOFF_LIST, 1);
  Click(IDC_CUTOFF_UP);
  for (const char* bad : {"0", "-2", "abc", "", "11"}) {
    Type(IDC_STATE_COUNT, "3");
    Type(IDC_STATE_COUNT, bad);
    // "11" passes through 1, a valid count; every other text leaves N at 3.
    const int expected = std::string(bad) == "11" ? 1 : 3;
    EXPECT_EQ(dlg->m_stateCount, expected) << bad;
    EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[static_cast<std::size_t>(expected - 1)], 1.0) << bad;
  }
  EXPECT_FALSE(host.invalid.empty());
}

// A slip of the keyboard in the count must not throw away cutoffs set by hand: text that is no
// count changes nothing, and neither does a lock while the edit holds it.
TEST_F(CutoffsTest, TextThatIsNoCountKeepsTheCutoffsSetByHand) {
  Type(IDC_STATE_COUNT, "3");
  Select(IDC_CUTOFF_LIST, 1);
  Click(IDC_CUTOFF_UP);
  const Cutoffs set = dlg->m_cutoffs;
  ASSERT_EQ(set[1], 2.0 / 3.0 + 0.005);
  Paste(IDC_STATE_COUNT, "3x");
  EXPECT_EQ(dlg->m_cutoffs, set);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "1->2 | [2->3]");
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_FALSE(dlg->m_cutoffsLocked);
  EXPECT_EQ(host.errors, std::vector<std::string>{"Number of states: enter a whole number from 1 to 10."});
  Paste(IDC_STATE_COUNT, "3");  // a count again: evenly spaced, as for every count entered
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[1], 2.0 / 3.0);
}

TEST_F(CutoffsTest, StepMovesTheSelectedCutoffByOneMapCell) {
  Type(IDC_STATE_COUNT, "4");
  Select(IDC_CUTOFF_LIST, 1);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.5");
  Click(IDC_CUTOFF_UP);
  EXPECT_DOUBLE_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[1], 0.505);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.505");
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.25);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[2], 0.75);
  EXPECT_EQ(Shown(7, 101), Line());
  EXPECT_EQ(Shown(7, 100), Base(7, 100));

  Click(IDC_CUTOFF_DOWN);
  Click(IDC_CUTOFF_DOWN);
  EXPECT_DOUBLE_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[1], 0.495);
  EXPECT_EQ(Shown(7, 99), Line());
}

TEST_F(CutoffsTest, StepStartsFromTheStoredCutoffWhileRefreshTakesTheTypedValue) {
  Type(IDC_STATE_COUNT, "2");
  Type(IDC_CUTOFF_VALUE, "0.42");
  Click(IDC_CUTOFF_UP);
  EXPECT_DOUBLE_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.505);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.505");

  Type(IDC_CUTOFF_VALUE, "0.42");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.42);
  EXPECT_EQ(Shown(0, 84), Line());
  EXPECT_EQ(Shown(0, 101), Base(0, 101));
}

TEST_F(CutoffsTest, StepsAndRefreshKeepCutoffsOnTheUnitAxis) {
  Type(IDC_STATE_COUNT, "2");
  Type(IDC_CUTOFF_VALUE, "1.7");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "1");
  Click(IDC_CUTOFF_UP);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0);
  EXPECT_EQ(Shown(50, 200), Line());

  Type(IDC_CUTOFF_VALUE, "-0.3");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.0);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0");
  Click(IDC_CUTOFF_DOWN);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.0);
  EXPECT_EQ(Shown(50, 0), Line());

  Type(IDC_CUTOFF_VALUE, "0.998");
  Click(IDC_REFRESH_CUTOFFS);
  Click(IDC_CUTOFF_UP);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0);
}

TEST_F(CutoffsTest, OnlyListSelectionAndRefreshReadTheControls) {
  Type(IDC_STATE_COUNT, "3");
  // The exposure reaches the session as it is typed: the steps' redraws keep it.
  Type(IDC_EXPOSURE_TIME, "0.5");
  Click(IDC_CUTOFF_UP);
  Click(IDC_CUTOFF_DOWN);
  EXPECT_EQ(dlg->m_exposureTime, 0.5);
  EXPECT_EQ(Text(IDC_EXPOSURE_TIME), "0.5");

  Type(IDC_EXPOSURE_TIME, "0.5");
  Select(IDC_CUTOFF_LIST, 1);
  EXPECT_EQ(dlg->m_exposureTime, 0.5);
  Type(IDC_EXPOSURE_TIME, "0.25");
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(dlg->m_exposureTime, 0.25);
}

TEST_F(CutoffsTest, SelectingAnEntryShowsItsCutoffWithoutChangingAny) {
  Type(IDC_STATE_COUNT, "3");
  Select(IDC_CUTOFF_LIST, 1);
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "1->2 | [2->3]");
  EXPECT_EQ(dlg->m_cutoffValue, 2.0 / 3.0);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0 / 3.0);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[1], 2.0 / 3.0);
  EXPECT_EQ(Shown(0, 133), Line());  // the selection redraws the map
}

TEST_F(CutoffsTest, NewCountDiscardsMovedCutoffsWithoutRedrawing) {
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_CUTOFF_UP);
  EXPECT_EQ(Shown(0, 101), Line());
  Type(IDC_STATE_COUNT, "4");
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.25);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[1], 0.5);
  EXPECT_EQ(Text(IDC_CUTOFF_VALUE), "0.25");
  EXPECT_EQ(Shown(0, 101), Line());  // still the old picture
  EXPECT_NE(Shown(0, 50), Line());
}

TEST_F(CutoffsTest, StepsWithoutASelectedEntryChangeNothing) {
  Type(IDC_STATE_COUNT, "2");
  Type(IDC_STATE_COUNT, "1");  // keeps the value shown for cutoff 1->2 of N = 2
  EXPECT_EQ(dlg->m_cutoffValue, 0.5);
  Click(IDC_CUTOFF_UP);
  Click(IDC_REFRESH_CUTOFFS);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 1.0);
  EXPECT_EQ(dlg->m_cutoffValue, 0.5);
}

TEST_F(CutoffsTest, BeforeAnyCountTheNullEntryMovesASlotThatIsNotDrawn) {
  EXPECT_EQ(Text(IDC_CUTOFF_LIST), "[Null]");
  Click(IDC_CUTOFF_DOWN);
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.0);
  Click(IDC_CUTOFF_UP);
  EXPECT_DOUBLE_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.005);
  EXPECT_EQ(Shown(0, 1), Base(0, 1));
  Type(IDC_STATE_COUNT, "2");
  EXPECT_EQ(SessionTestPeer::CutoffSlots(dlg->m_session)[0], 0.5);
}

}  // namespace
