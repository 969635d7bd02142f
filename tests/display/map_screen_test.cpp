// The map on screen: redraws put the session's overlays over the base image, the weight box
// rebuilds the session's map, every cell shows the entry of the colour table its density's index
// names, the colour bar beside it; and the panel's grid.
#include <gtest/gtest.h>

#include <algorithm>

#include "display/mapdraw.h"
#include "tests/reports/map_dialog.h"

namespace {

constexpr Pixel kOverlay = 0x123456;
constexpr Cutoffs kThreeEven = {1.0 / 3, 2.0 / 3, 1.0};

// The window draws the overlays afresh over its base image at every redraw, and shows the result
// on screen, a 2 x 2 block of client pixels a cell; the panel beside it is white with a grid.
class MapOnScreenTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    SessionTestPeer::Colours(dlg->m_session)[255] = {0x12, 0x34, 0x56};
    for (int r = 0; r < kMapCells; ++r)
      for (int c = 0; c < kMapCells; ++c) dlg->m_basePixels[r][c] = 0;
  }
  Pixel Shown(int r, int c) const { return dlg->m_displayPixels[r][c]; }
  void ExpectOnScreen(int r, int c, Pixel value) const {
    const PixelSurface& s = dlg->ClientSurface();
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) EXPECT_EQ(s.At(1 + 2 * c + dx, 1 + 2 * r + dy), value) << r << "," << c;
  }
};

TEST_F(MapOnScreenTest, RedrawsPutTheOverlaysOfTheSessionOverTheBaseImageOnScreen) {
  {
    // Before the first paint already, the test image shows, without the colour table.
    CVarnelDlg fresh;
    fresh.Realise();
    MapImage expected;
    DrawTestImage(expected);
    for (int r = 0; r < kMapCells; ++r)
      for (int c = 0; c < kMapCells; ++c) {
        ASSERT_EQ(fresh.m_basePixels[r][c], expected[r][c]) << r << "," << c;
        ASSERT_EQ(fresh.m_displayPixels[r][c], expected[r][c]) << r << "," << c;
      }
    const PixelSurface& s = fresh.ClientSurface();
    EXPECT_EQ(s.At(201, 201), 100u);
    EXPECT_EQ(s.At(202, 202), 100u);
    EXPECT_EQ(s.At(0, 0), kDialogFace);
    EXPECT_EQ(s.At(403, 403), kDialogFace);
  }
  // No overlay at start-up.
  dlg->m_basePixels[7][9] = 0x445566;
  dlg->RedrawMap();
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c) ASSERT_EQ(Shown(r, c), dlg->m_basePixels[r][c]);
  ExpectOnScreen(7, 9, 0x445566);

  // The session's cutoffs in entry 255; a moved cutoff leaves no line behind.
  SessionTestPeer::SetStates(dlg->m_session, 3);
  SessionTestPeer::CutoffSlots(dlg->m_session) = kThreeEven;
  dlg->RedrawMap();
  ExpectOnScreen(5, 66, kOverlay);
  SessionTestPeer::CutoffSlots(dlg->m_session)[0] = 0.5;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(3, 66), 0u);
  EXPECT_EQ(Shown(3, 100), kOverlay);
  SessionTestPeer::SetLocked(dlg->m_session, 3);
  dlg->RedrawMap();
  EXPECT_EQ(Shown(133, 10), kOverlay);

  // The picked class, with its carry: the screen shows (0, 0, 199).
  SessionTestPeer::CutoffSlots(dlg->m_session) = kThreeEven;
  dlg->m_basePixels[10][10] = 0xFFFFFF;
  dlg->m_showPick = true;
  dlg->m_pickFrom = dlg->m_pickTo = 1;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(10, 10), 0x010000C7u);
  ExpectOnScreen(10, 10, 0x010000C7u);
  dlg->m_showPick = false;

  // The circle of the shown class needs the box, its class in the tables and its visible flag.
  SessionTestPeer::Circles(dlg->m_session)[0][0] = {true, 50, 50, 5};
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), 0u);
  dlg->m_useCircles = TRUE;
  SessionTestPeer::Circles(dlg->m_session)[0][0].visible = false;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), 0u);
  SessionTestPeer::Circles(dlg->m_session)[0][0].visible = true;
  dlg->m_pickFrom = 0;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), 0u);
  dlg->m_pickFrom = 1;
  dlg->RedrawMap();
  EXPECT_EQ(Shown(45, 50), kOverlay);
  ExpectOnScreen(45, 50, kOverlay);
}

TEST_F(MapOnScreenTest, ThePanelIsWhiteWithAGreyGridOfWidthTwo) {
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

using MapScreenTest = MapTest;

// One record at (0.25, 0.75) with 3 transitions: index 255 at cell (50, 150), 242 beside it,
// weighted or not; the base image is the reference map's indices in the table, cell for cell.
TEST_F(MapScreenTest, TheWeightBoxRebuildsTheMapAndEveryCellShowsItsColour) {
  const std::vector<TransitionRecord> records = {{0.25, 0.75, 0.01, 7, 3}, {0.7, 0.2, 0.05, 0, 2.5}};
  SetRecords(records);
  dlg->RebuildTransitionMap();
  ExpectBaseImage(ComputeReferenceMap(records, true).colorIndices);
  const std::string file = dir.Read("3dgrid.dat");
  const MapImage image = dlg->m_basePixels;

  Click(IDC_WEIGHT_BY_COUNT);
  EXPECT_EQ(dlg->m_weightByCount, 0);
  EXPECT_FALSE(dlg->m_session.Weighted());
  ExpectBaseImage(ComputeReferenceMap(records, false).colorIndices);
  EXPECT_NE(dir.Read("3dgrid.dat"), file);
  // The screen shows the new base image: cell (50, 150) at client pixels (301, 101) ... (302, 102).
  EXPECT_EQ(dlg->m_basePixels[50][151], ColorOf(242));
  EXPECT_EQ(dlg->ClientSurface().At(301, 101), ColorOf(255));
  EXPECT_EQ(dlg->ClientSurface().At(302, 102), ColorOf(255));

  Click(IDC_WEIGHT_BY_COUNT);
  EXPECT_EQ(dir.Read("3dgrid.dat"), file);
  EXPECT_TRUE(std::equal(image.data(), image.data() + kMapCells * kMapCells, dlg->m_basePixels.data()));
}

TEST_F(MapScreenTest, TheColourBarBesideTheMapRunsFromTheFirstColourAtTheBottomToTheLastAtTheTop) {
  const PixelSurface& s = dlg->ClientSurface();
  const CRect& bar = kColourBarRegion;
  EXPECT_EQ(s.At(bar.left, bar.bottom - 1), dlg->GetColor(0) & 0xFFFFFFu);
  EXPECT_EQ(s.At(bar.right - 1, bar.top), dlg->GetColor(255) & 0xFFFFFFu);
  // Its middle row, (372 - 1 - 202) x 255 / 339 = 127.1: entry 127.
  EXPECT_EQ(s.At(bar.left + 2, 202), dlg->GetColor(127) & 0xFFFFFFu);
  // It lies between the map and the controls, clear of both.
  EXPECT_GE(bar.left, kMapRegion.right);
  EXPECT_LE(bar.right, DialogUnitsToPixelsX(288));  // "Weight by # transitions"
}

}  // namespace
