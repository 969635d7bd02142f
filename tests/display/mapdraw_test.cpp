// The map on screen: the start-up test image, the overlays and the histogram panel grid.
#include <gtest/gtest.h>

#include <cmath>

#include "res/resource.h"
#include "tests/support/dialog_fixture.h"

namespace {

constexpr Pixel kOverlay = 0x123456;

class MapDrawTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    SessionTestPeer::Colours(dlg->m_session)[255] = {0x12, 0x34, 0x56};
    for (int r = 0; r < kMapCells; ++r)
      for (int c = 0; c < kMapCells; ++c) dlg->m_basePixels[r][c] = 0;
  }
  void ThreeEvenStates() {
    SessionTestPeer::SetStates(dlg->m_session, 3);
    SessionTestPeer::CutoffSlots(dlg->m_session)[0] = 1.0 / 3 * 1;
    SessionTestPeer::CutoffSlots(dlg->m_session)[1] = 1.0 / 3 * 2;
    SessionTestPeer::CutoffSlots(dlg->m_session)[2] = 1.0;
  }
  void Pick(int from, int to) {
    dlg->m_showPick = true;
    dlg->m_pickFrom = from;
    dlg->m_pickTo = to;
  }
  Pixel Shown(int r, int c) const { return dlg->m_displayPixels[r][c]; }
  // The pixels of cell (r, c) on the client surface: a 2 x 2 block at (1 + 2c, 1 + 2r).
  void ExpectOnScreen(int r, int c, Pixel value) const {
    const PixelSurface& s = dlg->ClientSurface();
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) EXPECT_EQ(s.At(1 + 2 * c + dx, 1 + 2 * r + dy), value) << r << "," << c;
  }
};

TEST_F(MapDrawTest, TestImageIsABlueSpotFadingToBlack) {
  CVarnelDlg fresh;
  fresh.Realise();
  EXPECT_EQ(fresh.m_basePixels[100][100], 100u);
  EXPECT_EQ(fresh.m_basePixels[100][110], 90u);  // 100 exp(-0.1)
  EXPECT_EQ(fresh.m_basePixels[100][150], 8u);   // 100 exp(-2.5)
  EXPECT_EQ(fresh.m_basePixels[100][167], 1u);   // 100 exp(-4.489)
  EXPECT_EQ(fresh.m_basePixels[100][168], 0u);   // 100 exp(-4.624)
  EXPECT_EQ(fresh.m_basePixels[150][100], 8u);
  for (int r : {0, 200})
    for (int c : {0, 200}) EXPECT_EQ(fresh.m_basePixels[r][c], 0u);
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c) ASSERT_EQ(fresh.m_displayPixels[r][c], fresh.m_basePixels[r][c]);
  // Shown before the first paint already, without the colour table.
  const PixelSurface& s = fresh.ClientSurface();
  EXPECT_EQ(s.At(201, 201), 100u);
  EXPECT_EQ(s.At(202, 202), 100u);
  EXPECT_EQ(s.At(0, 0), kDialogFace);
  EXPECT_EQ(s.At(403, 403), kDialogFace);
}

TEST_F(MapDrawTest, NoOverlaysAtStartUp) {
  dlg->m_basePixels[7][9] = 0x445566;
  dlg->RedrawMap();
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c) ASSERT_EQ(Shown(r, c), dlg->m_basePixels[r][c]);
  ExpectOnScreen(7, 9, 0x445566);
}

TEST_F(MapDrawTest, CutoffsAreVerticalLinesBeforeTheLockAndAGridAfter) {
  ThreeEvenStates();
  dlg->RedrawMap();
  for (int r = 0; r < kMapCells; ++r) {
    EXPECT_EQ(Shown(r, 66), kOverlay);
    EXPECT_EQ(Shown(r, 133), kOverlay);
  }
  EXPECT_EQ(Shown(66, 10), 0u);
  EXPECT_EQ(Shown(10, 200), 0u);  // the last cutoff, 1.0, is not drawn
  ExpectOnScreen(5, 66, kOverlay);

  SessionTestPeer::SetLocked(dlg->m_session, std::max(dlg->m_session.States(), 1));
  dlg->RedrawMap();
  for (int c = 0; c < kMapCells; ++c) {
    EXPECT_EQ(Shown(66, c), kOverlay);
    EXPECT_EQ(Shown(133, c), kOverlay);
  }
  EXPECT_EQ(Shown(200, 10), 0u);
}

TEST_F(MapDrawTest, ACutoffOf0_7IsColumn140) {
  SessionTestPeer::SetStates(dlg->m_session, 2);
  SessionTestPeer::CutoffSlots(dlg->m_session)[0] = 0.7;
  SessionTestPeer::CutoffSlots(dlg->m_session)[1] = 1.0;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(0, 140), kOverlay);
  EXPECT_EQ(Shown(0, 139), 0u);
}

TEST_F(MapDrawTest, OverlaysNeverAccumulate) {
  ThreeEvenStates();
  dlg->RedrawMap();
  SessionTestPeer::CutoffSlots(dlg->m_session)[0] = 0.5;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(3, 66), 0u);
  EXPECT_EQ(Shown(3, 100), kOverlay);
}

TEST_F(MapDrawTest, PickedClassRectangleAddsTwoHundred) {
  ThreeEvenStates();
  Pick(1, 1);
  dlg->RedrawMap();
  EXPECT_EQ(Shown(0, 0), 200u);
  EXPECT_EQ(Shown(65, 65), 200u);
  EXPECT_EQ(Shown(65, 10), 200u);
  EXPECT_EQ(Shown(66, 10), 0u);        // before the lock there are no horizontal lines
  EXPECT_EQ(Shown(10, 66), kOverlay);  // the line lies outside the span
  EXPECT_EQ(Shown(67, 67), 0u);

  Pick(3, 2);
  dlg->RedrawMap();
  EXPECT_EQ(Shown(133, 66), kOverlay + 200u);  // a line pixel inside is raised too
  EXPECT_EQ(Shown(200, 132), 200u);
  EXPECT_EQ(Shown(140, 100), 200u);
  EXPECT_EQ(Shown(132, 100), 0u);
  EXPECT_EQ(Shown(140, 133), kOverlay);
  EXPECT_EQ(Shown(140, 65), 0u);
}

TEST_F(MapDrawTest, OneStateMarksAllButTheLastRowAndColumn) {
  SessionTestPeer::SetStates(dlg->m_session, 1);
  SessionTestPeer::CutoffSlots(dlg->m_session)[0] = 1.0;
  Pick(1, 1);
  dlg->RedrawMap();
  EXPECT_EQ(Shown(199, 199), 200u);
  EXPECT_EQ(Shown(200, 0), 0u);
  EXPECT_EQ(Shown(0, 200), 0u);
}

TEST_F(MapDrawTest, RectangleCarryRunsIntoGreenRedAndTheUnusedByte) {
  ThreeEvenStates();
  dlg->m_basePixels[10][10] = 0xFFFFFF;
  dlg->m_basePixels[10][11] = 0x000038;
  Pick(1, 1);
  dlg->RedrawMap();
  EXPECT_EQ(Shown(10, 10), 0x010000C7u);
  EXPECT_EQ(Shown(10, 11), 0x00000100u);
  ExpectOnScreen(10, 10, 0x010000C7u);  // the screen shows (0, 0, 199)
}

TEST_F(MapDrawTest, CircleOfTheShownClass) {
  dlg->m_useCircles = TRUE;
  dlg->m_pickFrom = 1;
  dlg->m_pickTo = 2;
  SessionTestPeer::Circles(dlg->m_session)[0][1] = {true, 100, 100, 10};
  dlg->RedrawMap();
  for (auto [r, c] : {std::pair{90, 100}, {110, 100}, {100, 90}, {100, 110}, {92, 106}})
    EXPECT_EQ(Shown(r, c), kOverlay);
  EXPECT_EQ(Shown(100, 100), 0u);

  // Every outline cell is at distance close to the radius.
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c)
      if (Shown(r, c) == kOverlay) {
        EXPECT_NEAR(std::hypot(r - 100, c - 100), 10.0, 1.5) << r << "," << c;
      }
}

TEST_F(MapDrawTest, CircleNeedsTheBoxTheClassAndItsVisibleFlag) {
  dlg->m_pickFrom = 1;
  dlg->m_pickTo = 1;
  SessionTestPeer::Circles(dlg->m_session)[0][0] = {true, 50, 50, 5};
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), 0u);
  dlg->m_useCircles = TRUE;
  SessionTestPeer::Circles(dlg->m_session)[0][0].visible = false;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), 0u);
  SessionTestPeer::Circles(dlg->m_session)[0][0].visible = true;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), kOverlay);
}

TEST_F(MapDrawTest, RadiusZeroDrawsTheCentreAndNegativeNothing) {
  dlg->m_useCircles = TRUE;
  dlg->m_pickFrom = dlg->m_pickTo = 1;
  SessionTestPeer::Circles(dlg->m_session)[0][0] = {true, 20, 30, 0};
  dlg->RedrawMap();
  EXPECT_EQ(Shown(20, 30), kOverlay);
  SessionTestPeer::Circles(dlg->m_session)[0][0].radius = -3;
  dlg->RedrawMap();
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c) ASSERT_EQ(Shown(r, c), 0u);
}

TEST_F(MapDrawTest, OverlaysOutsideTheMapAreSkipped) {
  SessionTestPeer::SetStates(dlg->m_session, 3);
  SessionTestPeer::CutoffSlots(dlg->m_session) = {-0.3, 1.7, 1.0};
  SessionTestPeer::SetLocked(dlg->m_session, std::max(dlg->m_session.States(), 1));
  Pick(2, 2);
  dlg->m_useCircles = TRUE;
  SessionTestPeer::Circles(dlg->m_session)[1][1] = {true, 195, -3, 12};
  dlg->RedrawMap();                    // under the sanitizers: no write outside the image
  EXPECT_EQ(Shown(100, 100), 200u);    // the span of state 2 is clamped to the whole map
  EXPECT_EQ(Shown(195, 9), kOverlay);  // the circle's right edge is inside, drawn over the rectangle
  SessionTestPeer::Circles(dlg->m_session)[1][1] = {true, 2000000000, 2000000000, 2000000000};
  dlg->RedrawMap();
}

TEST_F(MapDrawTest, PanelIsWhiteWithAGreyGridOfWidthTwo) {
  const PixelSurface& panel = dlg->m_panelBitmap.Surface();
  ASSERT_EQ(panel.Width(), 400);
  ASSERT_EQ(panel.Height(), 200);
  constexpr Pixel kGrey = 0xC8C8C8, kWhite = 0xFFFFFF;
  for (int x : {40, 41, 80, 81, 360, 361}) EXPECT_EQ(panel.At(x, 150), kGrey) << x;
  for (int y : {33, 34, 66, 67, 100, 101, 133, 134, 166, 167}) EXPECT_EQ(panel.At(20, y), kGrey) << y;
  EXPECT_EQ(panel.At(40, 199), kGrey);
  EXPECT_EQ(panel.At(398, 33), kGrey);
  EXPECT_EQ(panel.At(399, 33), kWhite);  // the lines stop before their end point
  for (int y : {32, 35, 99, 102, 198}) EXPECT_EQ(panel.At(20, y), kWhite) << y;
  for (int x : {0, 39, 42, 399}) EXPECT_EQ(panel.At(x, 10), kWhite) << x;
  EXPECT_EQ(dlg->FindControl(IDC_HIST_PANEL)->bitmap, &dlg->m_panelBitmap);
}

}  // namespace
