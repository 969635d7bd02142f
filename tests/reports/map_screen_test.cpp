// The map on screen: the weight box rebuilds the session's map, and every cell shows the entry of
// the colour table its density's index names.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/reports/map_fixture.h"

namespace {

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

}  // namespace
