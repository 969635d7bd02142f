// The map's pixels: the start-up test image, the cutoff lines, the picked class's rectangle and
// the circle, drawn into an image.
#include "display/mapdraw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr Pixel kOverlay = 0x123456;

constexpr Cutoffs kThreeEven = {1.0 / 3, 2.0 / 3, 1.0};

// Whether every pixel of `image` is `value`.
bool AllPixels(const MapImage& image, Pixel value) {
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c)
      if (image[r][c] != value) return false;
  return true;
}

TEST(MapDraw, TheTestImageIsABlueSpotFadingToBlack) {
  MapImage image;
  DrawTestImage(image);
  EXPECT_EQ(image[100][100], 100u);
  EXPECT_EQ(image[100][110], 90u);  // 100 exp(-0.1)
  EXPECT_EQ(image[100][150], 8u);   // 100 exp(-2.5)
  EXPECT_EQ(image[100][167], 1u);   // 100 exp(-4.489)
  EXPECT_EQ(image[100][168], 0u);   // 100 exp(-4.624)
  EXPECT_EQ(image[150][100], 8u);
  for (int r : {0, 200})
    for (int c : {0, 200}) EXPECT_EQ(image[r][c], 0u);
}

TEST(MapDraw, CutoffsAreVerticalLinesBeforeTheLockAndAGridAfter) {
  MapImage image;
  DrawCutoffLines(image, 3, kThreeEven, false, kOverlay);
  for (int r = 0; r < kMapCells; ++r) {
    EXPECT_EQ(image[r][66], kOverlay);
    EXPECT_EQ(image[r][133], kOverlay);
  }
  EXPECT_EQ(image[66][10], 0u);
  EXPECT_EQ(image[10][200], 0u);  // the last cutoff, 1.0, is not drawn

  MapImage locked;
  DrawCutoffLines(locked, 3, kThreeEven, true, kOverlay);
  for (int c = 0; c < kMapCells; ++c) {
    EXPECT_EQ(locked[66][c], kOverlay);
    EXPECT_EQ(locked[133][c], kOverlay);
  }
  EXPECT_EQ(locked[200][10], 0u);

  // 0.7 x 200 is column 140.
  MapImage seven;
  DrawCutoffLines(seven, 2, {0.7, 1.0}, false, kOverlay);
  EXPECT_EQ(seven[0][140], kOverlay);
  EXPECT_EQ(seven[0][139], 0u);
  // Cutoffs off the axis draw no line; no count draws none.
  MapImage off;
  DrawCutoffLines(off, 3, {-0.3, 1.7, 1.0}, true, kOverlay);
  DrawCutoffLines(off, 0, kThreeEven, true, kOverlay);
  EXPECT_TRUE(AllPixels(off, 0));
}

TEST(MapDraw, ThePickedClassRectangleAddsTwoHundredWithItsCarry) {
  MapImage image;
  DrawCutoffLines(image, 3, kThreeEven, false, kOverlay);
  MarkPickedClass(image, StateSpanOf(1, 3, kThreeEven), StateSpanOf(1, 3, kThreeEven));
  EXPECT_EQ(image[0][0], 200u);
  EXPECT_EQ(image[65][65], 200u);
  EXPECT_EQ(image[65][10], 200u);
  EXPECT_EQ(image[66][10], 0u);
  EXPECT_EQ(image[10][66], kOverlay);  // the line lies outside the span
  EXPECT_EQ(image[67][67], 0u);

  MapImage lower;
  DrawCutoffLines(lower, 3, kThreeEven, false, kOverlay);
  MarkPickedClass(lower, StateSpanOf(3, 3, kThreeEven), StateSpanOf(2, 3, kThreeEven));
  EXPECT_EQ(lower[133][66], kOverlay + 200u);  // a line pixel inside is raised too
  EXPECT_EQ(lower[200][132], 200u);
  EXPECT_EQ(lower[140][100], 200u);
  EXPECT_EQ(lower[132][100], 0u);
  EXPECT_EQ(lower[140][133], kOverlay);
  EXPECT_EQ(lower[140][65], 0u);

  // One state: every row and column but the last (the span ends at the cell of 1.0).
  MapImage one;
  MarkPickedClass(one, StateSpanOf(1, 1, {1.0}), StateSpanOf(1, 1, {1.0}));
  EXPECT_EQ(one[199][199], 200u);
  EXPECT_EQ(one[200][0], 0u);
  EXPECT_EQ(one[0][200], 0u);

  // The carry runs on into green, red and the unused byte.
  MapImage carry;
  carry[10][10] = 0xFFFFFF;
  carry[10][11] = 0x000038;
  MarkPickedClass(carry, StateSpanOf(1, 3, kThreeEven), StateSpanOf(1, 3, kThreeEven));
  EXPECT_EQ(carry[10][10], 0x010000C7u);
  EXPECT_EQ(carry[10][11], 0x00000100u);

  // Cutoffs off the axis: the span of state 2 is clamped to the whole map.
  const Cutoffs off = {-0.3, 1.7, 1.0};
  EXPECT_EQ(StateSpanOf(2, 3, off).begin, 0);
  EXPECT_EQ(StateSpanOf(2, 3, off).end, kMapCells);
}

TEST(MapDraw, ACircleIsAnOutlineAtItsRadiusClippedToTheMap) {
  MapImage image;
  DrawCircle(image, {true, 100, 100, 10}, kOverlay);
  for (auto [r, c] : {std::pair{90, 100}, {110, 100}, {100, 90}, {100, 110}, {92, 106}})
    EXPECT_EQ(image[r][c], kOverlay) << r << "," << c;
  EXPECT_EQ(image[100][100], 0u);
  for (int r = 0; r < kMapCells; ++r)
    for (int c = 0; c < kMapCells; ++c)
      if (image[r][c] == kOverlay) {
        EXPECT_NEAR(std::hypot(r - 100, c - 100), 10.0, 1.5) << r << "," << c;
      }

  MapImage centre;
  DrawCircle(centre, {true, 20, 30, 0}, kOverlay);
  EXPECT_EQ(centre[20][30], kOverlay);
  MapImage none;
  DrawCircle(none, {true, 20, 30, -3}, kOverlay);
  EXPECT_TRUE(AllPixels(none, 0));

  // Under the sanitizers: no write outside the image, what lies inside drawn.
  MapImage edge;
  DrawCircle(edge, {true, 195, -3, 12}, kOverlay);
  EXPECT_EQ(edge[195][9], kOverlay);
  DrawCircle(edge, {true, 2000000000, 2000000000, 2000000000}, kOverlay);
}

}  // namespace
