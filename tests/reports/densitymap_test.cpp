// The density map of a few records whose values are known by hand: "3dgrid.dat" and the colour
// indices of its cells.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/reports/map_fixture.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

class DensityMapCase : public ::testing::Test {
 protected:
  // The map of `records`, weighted or not, rebuilt and written as the weight box does it.
  const DensityGrid& Map(const std::vector<TransitionRecord>& records, bool weighted = true) {
    session = SessionOf(records);
    EXPECT_TRUE(Said(session, {"weight", weighted ? "on" : "off"}).empty());
    return session.Grid();
  }
  std::string File() const { return dir.Read("3dgrid.dat"); }

  TempDir dir;  // the current directory, where the map's file goes before any load
  Session session;
};

// One record at (0.25, 0.75) with 3 transitions: 3 at cell (50, 150), 3 e^-0.05 = 2.854 at its
// four neighbours; weighting off: 1 and e^-0.05 = 0.9512. Index 255 and trunc(255 e^-0.05) = 242.
TEST_F(DensityMapCase, SingleRecordWithAndWithoutWeighting) {
  const DensityGrid& grid = Map({{0.25, 0.75, 0.01, 7, 3}});
  std::string file = File();
  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 202u);
  EXPECT_EQ(lines[0], Padded("0.25", 20) + Padded("0.75", 20) + Padded("0.01", 20));
  EXPECT_EQ(lines[1].size(), 201u * 15u);
  EXPECT_EQ(GridField(file, 1, 50, 150), Padded("3", 15));
  for (auto [i, j] : {std::pair{49, 150}, {51, 150}, {50, 149}, {50, 151}}) {
    EXPECT_EQ(GridField(file, 1, i, j), Padded("2.854", 15)) << i << ", " << j;
    EXPECT_EQ(IndexAt(grid, i, j), 242);
  }
  EXPECT_EQ(GridField(file, 1, 49, 149), Padded("2.715", 15));  // 3 e^-0.1
  EXPECT_EQ(IndexAt(grid, 50, 150), 255);
  EXPECT_EQ(IndexAt(grid, 0, 0), 0);
  EXPECT_EQ(GridField(file, 1, 0, 0), Padded("0", 15));

  Map({{0.25, 0.75, 0.01, 7, 3}}, false);
  file = File();
  EXPECT_EQ(GridField(file, 1, 50, 150), Padded("1", 15));
  EXPECT_EQ(GridField(file, 1, 51, 150), Padded("0.9512", 15));
  EXPECT_EQ(IndexAt(session.Grid(), 50, 150), 255);
  EXPECT_EQ(IndexAt(session.Grid(), 50, 151), 242);
}

// Equal values, no transitions, or a rate at or below 0.00001: listed, but no spot.
TEST_F(DensityMapCase, FilteredRecordsAreListedButAddNothing) {
  const DensityGrid& grid =
      Map({{0.4, 0.4, 0.5, 0, 9}, {0.2, 0.6, 0.5, 0, 0}, {0.3, 0.7, 0.00001, 0, 5}, {0.3, 0.7, -1, 0, 5}});
  const auto lines = Lines(File());
  ASSERT_EQ(lines.size(), 205u);
  EXPECT_EQ(lines[0], Padded("0.4", 20) + Padded("0.4", 20) + Padded("0.5", 20));
  EXPECT_EQ(lines[1], Padded("0.2", 20) + Padded("0.6", 20) + Padded("0.5", 20));
  EXPECT_EQ(lines[2], Padded("0.3", 20) + Padded("0.7", 20) + Padded("1e-05", 20));
  EXPECT_EQ(lines[3], Padded("0.3", 20) + Padded("0.7", 20) + Padded("-1", 20));
  std::string zeros;
  for (int j = 0; j < 201; ++j) zeros += Padded("0", 15);
  for (std::size_t line = 4; line < lines.size(); ++line) ASSERT_EQ(lines[line], zeros) << line;
  // No positive maximum: every cell takes colour 0.
  ExpectColourIndices(grid, std::vector<int>(201 * 201, 0));
}

// A sum of exactly 0.01 is written as 0, but its colour still comes from 0.01; counts weigh as
// they are, fractional or large.
TEST_F(DensityMapCase, TheThresholdAppliesToTheFileOnlyAndCountsWeighAsTheyAre) {
  const DensityGrid& grid = Map({{0.25, 0.75, 0.01, 0, 0.01}, {0.6, 0.1, 0.01, 0, 0.02}});
  std::string file = File();
  EXPECT_EQ(GridField(file, 2, 50, 150), Padded("0", 15));
  EXPECT_EQ(GridField(file, 2, 120, 20), Padded("0.02", 15));
  EXPECT_EQ(GridField(file, 2, 121, 20), Padded("0.01902", 15));  // 0.02 e^-0.05
  EXPECT_EQ(IndexAt(grid, 120, 20), 255);
  EXPECT_EQ(IndexAt(grid, 50, 150), 127);  // trunc(0.01 x 255 / 0.02)
  EXPECT_EQ(IndexAt(grid, 50, 151), 121);  // trunc(127.5 e^-0.05)

  Map({{0.1, 0.9, 0.3, 0, 2.5}, {0.9, 0.1, 0.3, 0, 123456789}});
  file = File();
  EXPECT_EQ(GridField(file, 2, 20, 180), Padded("2.5", 15));
  EXPECT_EQ(GridField(file, 2, 180, 20), Padded("1.235e+08", 15));
  EXPECT_EQ(IndexAt(session.Grid(), 180, 20), 255);
  EXPECT_EQ(IndexAt(session.Grid(), 20, 180), 0);  // 2.5 x 255 / 123456789 < 1
}

// Values outside [0, 1] reach the grid only with the tails of their spots; negative counts (with
// weighting) give negative sums, colour 0 there, never an index below it.
TEST_F(DensityMapCase, TailsFromOffTheAxesAndNegativeSums) {
  const DensityGrid& grid = Map({{1.01, -0.01, 0.2, 0, 1}});
  std::string file = File();
  EXPECT_EQ(GridField(file, 1, 200, 0), Padded("0.6703", 15));  // e^-((0.01^2 + 0.01^2) / 0.0005)
  EXPECT_EQ(GridField(file, 1, 199, 0), Padded("0.522", 15));   // e^-((0.015^2 + 0.01^2) / 0.0005)
  EXPECT_EQ(IndexAt(grid, 200, 0), 255);
  EXPECT_EQ(IndexAt(grid, 199, 0), 198);  // trunc(255 e^-0.65 / e^-0.4)

  const std::vector<TransitionRecord> signs = {{0.5, 0.2, 0.2, 0, -4}, {0.5, 0.8, 0.2, 0, 2}};
  Map(signs);
  file = File();
  EXPECT_EQ(GridField(file, 2, 100, 40), Padded("0", 15));
  EXPECT_EQ(IndexAt(session.Grid(), 100, 40), 0);
  EXPECT_EQ(IndexAt(session.Grid(), 100, 160), 255);
  const ReferenceMap reference = ComputeReferenceMap(signs, true);
  EXPECT_EQ(file, reference.file);
  ExpectColourIndices(session.Grid(), reference.colorIndices);
}

// Before any load the file goes to the current directory; when it cannot be written the map is
// still built and the user is told.
TEST_F(DensityMapCase, AnUnwritableFileIsReportedAndTheMapStillBuilt) {
  session = SessionOf({{0.25, 0.75, 0.01, 0, 3}});
  const std::filesystem::path gone = dir.path() / "no-such-folder";
  session.SetOutputFolder((gone / "").string());
  EXPECT_EQ(Texts(session.RebuildMap()), std::vector<std::string>{"Cannot write \"" + (gone / "3dgrid.dat").string() +
                                                                  "\": No such file or directory."});
  EXPECT_EQ(IndexAt(session.Grid(), 50, 150), 255);

  session.SetOutputFolder("");
  EXPECT_TRUE(session.RebuildMap().messages.empty());
  EXPECT_EQ(GridField(File(), 1, 50, 150), Padded("3", 15));
}

}  // namespace
