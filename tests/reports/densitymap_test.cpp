// The density map of a few records whose values are known by hand: "3dgrid.dat" and the
// colours of the base image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/reports/map_fixture.h"

namespace {

using DensityMapTest = MapTest;

// One record at (0.25, 0.75) with 3 transitions: 3 at cell (50, 150), 3 e^-0.05 = 2.854 at its
// four neighbours; weighting off: 1 and e^-0.05 = 0.9512. Index 255 and trunc(255 e^-0.05) = 242.
TEST_F(DensityMapTest, SingleRecordWithAndWithoutWeighting) {
  SetRecords({{0.25, 0.75, 0.01, 7, 3}});
  dlg->RebuildTransitionMap();
  std::string file = dir.Read("3dgrid.dat");
  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 202u);
  EXPECT_EQ(lines[0], Padded("0.25", 20) + Padded("0.75", 20) + Padded("0.01", 20));
  EXPECT_EQ(lines[1].size(), 201u * 15u);
  EXPECT_EQ(GridField(file, 1, 50, 150), Padded("3", 15));
  for (auto [i, j] : {std::pair{49, 150}, {51, 150}, {50, 149}, {50, 151}}) {
    EXPECT_EQ(GridField(file, 1, i, j), Padded("2.854", 15)) << i << ", " << j;
    EXPECT_EQ(dlg->m_basePixels[i][j], ColorOf(242));
  }
  EXPECT_EQ(GridField(file, 1, 49, 149), Padded("2.715", 15));  // 3 e^-0.1
  EXPECT_EQ(dlg->m_basePixels[50][150], ColorOf(255));
  EXPECT_EQ(dlg->m_basePixels[0][0], ColorOf(0));
  EXPECT_EQ(GridField(file, 1, 0, 0), Padded("0", 15));

  Click(IDC_WEIGHT_BY_COUNT);
  EXPECT_EQ(dlg->m_weightByCount, 0);
  file = dir.Read("3dgrid.dat");
  EXPECT_EQ(GridField(file, 1, 50, 150), Padded("1", 15));
  EXPECT_EQ(GridField(file, 1, 51, 150), Padded("0.9512", 15));
  EXPECT_EQ(dlg->m_basePixels[50][150], ColorOf(255));
  EXPECT_EQ(dlg->m_basePixels[50][151], ColorOf(242));
  // The screen shows the new base image: cell (50, 150) at client pixels (301, 101) ... (302, 102).
  EXPECT_EQ(dlg->ClientSurface().At(301, 101), ColorOf(255));
  EXPECT_EQ(dlg->ClientSurface().At(302, 102), ColorOf(255));
}

TEST_F(DensityMapTest, TwoClicksOfTheWeightBoxRestoreMapAndFile) {
  SetRecords({{0.3, 0.6, 0.2, 0, 4}, {0.31, 0.62, 0.1, 0, 1}, {0.7, 0.2, 0.05, 0, 2.5}});
  dlg->RebuildTransitionMap();
  const std::string file = dir.Read("3dgrid.dat");
  const MapImage image = dlg->m_basePixels;
  Click(IDC_WEIGHT_BY_COUNT);
  EXPECT_NE(dir.Read("3dgrid.dat"), file);
  Click(IDC_WEIGHT_BY_COUNT);
  EXPECT_EQ(dir.Read("3dgrid.dat"), file);
  EXPECT_EQ(std::memcmp(dlg->m_basePixels.data(), image.data(), image.ByteSize()), 0);
}

// Equal values, no transitions, or a rate at or below 0.00001: listed, but no spot.
TEST_F(DensityMapTest, FilteredRecordsAreListedButAddNothing) {
  SetRecords({{0.4, 0.4, 0.5, 0, 9}, {0.2, 0.6, 0.5, 0, 0}, {0.3, 0.7, 0.00001, 0, 5}, {0.3, 0.7, -1, 0, 5}});
  dlg->RebuildTransitionMap();
  const std::string file = dir.Read("3dgrid.dat");
  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 205u);
  EXPECT_EQ(lines[0], Padded("0.4", 20) + Padded("0.4", 20) + Padded("0.5", 20));
  EXPECT_EQ(lines[1], Padded("0.2", 20) + Padded("0.6", 20) + Padded("0.5", 20));
  EXPECT_EQ(lines[2], Padded("0.3", 20) + Padded("0.7", 20) + Padded("1e-05", 20));
  EXPECT_EQ(lines[3], Padded("0.3", 20) + Padded("0.7", 20) + Padded("-1", 20));
  const std::string zeros = [] {
    std::string row;
    for (int j = 0; j < 201; ++j) row += Padded("0", 15);
    return row;
  }();
  for (std::size_t line = 4; line < lines.size(); ++line) ASSERT_EQ(lines[line], zeros) << line;
  // No positive maximum: every cell takes colour 0.
  ExpectBaseImage(std::vector<int>(201 * 201, 0));
}

// A sum of exactly 0.01 is written as 0, but its colour still comes from 0.01.
TEST_F(DensityMapTest, ThresholdAppliesToTheFileOnly) {
  SetRecords({{0.25, 0.75, 0.01, 0, 0.01}, {0.6, 0.1, 0.01, 0, 0.02}});
  dlg->RebuildTransitionMap();
  const std::string file = dir.Read("3dgrid.dat");
  EXPECT_EQ(GridField(file, 2, 50, 150), Padded("0", 15));
  EXPECT_EQ(GridField(file, 2, 120, 20), Padded("0.02", 15));
  EXPECT_EQ(GridField(file, 2, 121, 20), Padded("0.01902", 15));  // 0.02 e^-0.05
  EXPECT_EQ(dlg->m_basePixels[120][20], ColorOf(255));
  EXPECT_EQ(dlg->m_basePixels[50][150], ColorOf(127));  // trunc(0.01 x 255 / 0.02)
  EXPECT_EQ(dlg->m_basePixels[50][151], ColorOf(121));  // trunc(127.5 e^-0.05)
}

TEST_F(DensityMapTest, FractionalAndLargeCountsWeighAsTheyAre) {
  SetRecords({{0.1, 0.9, 0.3, 0, 2.5}, {0.9, 0.1, 0.3, 0, 123456789}});
  dlg->RebuildTransitionMap();
  const std::string file = dir.Read("3dgrid.dat");
  EXPECT_EQ(GridField(file, 2, 20, 180), Padded("2.5", 15));
  EXPECT_EQ(GridField(file, 2, 180, 20), Padded("1.235e+08", 15));
  EXPECT_EQ(dlg->m_basePixels[180][20], ColorOf(255));
  EXPECT_EQ(dlg->m_basePixels[20][180], ColorOf(0));  // 2.5 x 255 / 123456789 < 1
}

// Values outside [0, 1] reach the grid only with the tails of their spots.
TEST_F(DensityMapTest, RecordsOutsideTheAxesAddTheirTails) {
  SetRecords({{1.01, -0.01, 0.2, 0, 1}});
  dlg->RebuildTransitionMap();
  const std::string file = dir.Read("3dgrid.dat");
  EXPECT_EQ(GridField(file, 1, 200, 0), Padded("0.6703", 15));  // e^-((0.01^2 + 0.01^2) / 0.0005)
  EXPECT_EQ(GridField(file, 1, 199, 0), Padded("0.522", 15));   // e^-((0.015^2 + 0.01^2) / 0.0005)
  EXPECT_EQ(dlg->m_basePixels[200][0], ColorOf(255));
  EXPECT_EQ(dlg->m_basePixels[199][0], ColorOf(198));  // trunc(255 e^-0.65 / e^-0.4)
}

// Negative counts (with weighting) give negative sums: colour 0 there, never an index below it.
TEST_F(DensityMapTest, NegativeSumsTakeColourZero) {
  SetRecords({{0.5, 0.2, 0.2, 0, -4}, {0.5, 0.8, 0.2, 0, 2}});
  dlg->RebuildTransitionMap();
  const std::string file = dir.Read("3dgrid.dat");
  EXPECT_EQ(GridField(file, 2, 100, 40), Padded("0", 15));
  EXPECT_EQ(dlg->m_basePixels[100][40], ColorOf(0));
  EXPECT_EQ(dlg->m_basePixels[100][160], ColorOf(255));
  const ReferenceMap reference = ComputeReferenceMap({{0.5, 0.2, 0.2, 0, -4}, {0.5, 0.8, 0.2, 0, 2}}, true);
  EXPECT_EQ(file, reference.file);
  ExpectBaseImage(reference.colorIndices);
}

// Before any load the file goes to the current directory; when it cannot be written the map is
// still built and the user is told.
TEST_F(DensityMapTest, UnwritableFileIsReportedAndTheMapStillBuilt) {
  SetRecords({{0.25, 0.75, 0.01, 0, 3}});
  dlg->m_session.SetOutputFolder(dir / "no-such-folder/");
  dlg->RebuildTransitionMap();
  EXPECT_EQ(dlg->m_basePixels[50][150], ColorOf(255));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], "Cannot write \"" + (dir / "no-such-folder/3dgrid.dat") + "\": No such file or directory.");

  dlg->m_session.SetOutputFolder("");
  host.messages.clear();
  dlg->RebuildTransitionMap();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(GridField(dir.Read("3dgrid.dat"), 1, 50, 150), Padded("3", 15));
}

}  // namespace
