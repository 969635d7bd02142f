// The rasteriser: exact pixels of lines, fills, clipping and stretch copies.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "platform/gdi.h"
#include "platform/surface.h"

namespace {

constexpr Pixel kInk = 0xABCDEF;

std::set<std::pair<int, int>> InkedPixels(const PixelSurface& s) {
  std::set<std::pair<int, int>> inked;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.At(x, y) == kInk) inked.insert({x, y});
  return inked;
}

TEST(Rasteriser, FlatLineCoversStartUpToButNotIncludingEnd) {
  PixelSurface s(10, 5);
  s.DrawLine({1, 2}, {7, 2}, 1, kInk);
  std::set<std::pair<int, int>> expected;
  for (int x = 1; x <= 6; ++x) expected.insert({x, 2});
  EXPECT_EQ(InkedPixels(s), expected);
}

TEST(Rasteriser, LinesRunInEitherDirection) {
  PixelSurface s(10, 10);
  s.DrawLine({7, 3}, {2, 3}, 1, kInk);
  std::set<std::pair<int, int>> expected;
  for (int x = 3; x <= 7; ++x) expected.insert({x, 3});
  EXPECT_EQ(InkedPixels(s), expected);
}

TEST(Rasteriser, DiagonalTakesOnePixelPerStep) {
  PixelSurface s(6, 6);
  s.DrawLine({0, 0}, {3, 3}, 1, kInk);
  EXPECT_EQ(InkedPixels(s), (std::set<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 2}}));
}

// A slanted line takes, on each row it crosses, the column nearest the ideal line.
TEST(Rasteriser, SteepLineFollowsNearestColumn) {
  PixelSurface s(10, 10);
  s.DrawLine({0, 0}, {2, 5}, 1, kInk);
  std::set<std::pair<int, int>> expected;
  for (int y = 0; y < 5; ++y) expected.insert({static_cast<int>(std::lround(2.0 * y / 5.0)), y});
  EXPECT_EQ(InkedPixels(s), expected);
}

TEST(Rasteriser, FlatLineFollowsNearestRow) {
  PixelSurface s(12, 12);
  s.DrawLine({0, 1}, {7, 3}, 1, kInk);
  std::set<std::pair<int, int>> expected;
  for (int x = 0; x < 7; ++x) {
    const double y = 1 + 2.0 * x / 7.0;
    if (std::fabs(y - std::floor(y) - 0.5) < 1e-9) continue;  // no ties on this line
    expected.insert({x, static_cast<int>(std::lround(y))});
  }
  EXPECT_EQ(InkedPixels(s).size(), 7u);
  for (const auto& p : expected) EXPECT_TRUE(InkedPixels(s).count(p)) << p.first << "," << p.second;
}

TEST(Rasteriser, WidthTwoAddsRightNeighbourOfSteepAndLowerNeighbourOfFlatLines) {
  PixelSurface steep(8, 8);
  steep.DrawLine({3, 1}, {3, 5}, 2, kInk);
  std::set<std::pair<int, int>> expected;
  for (int y = 1; y <= 4; ++y) expected.insert({3, y}), expected.insert({4, y});
  EXPECT_EQ(InkedPixels(steep), expected);

  PixelSurface flat(8, 8);
  flat.DrawLine({1, 2}, {5, 2}, 2, kInk);
  expected.clear();
  for (int x = 1; x <= 4; ++x) expected.insert({x, 2}), expected.insert({x, 3});
  EXPECT_EQ(InkedPixels(flat), expected);
}

TEST(Rasteriser, ZeroLengthLineDrawsNothing) {
  PixelSurface s(4, 4);
  s.DrawLine({2, 2}, {2, 2}, 2, kInk);
  EXPECT_TRUE(InkedPixels(s).empty());
}

TEST(Rasteriser, ClipsToTheSurface) {
  PixelSurface s(5, 5);
  s.DrawLine({-3, 2}, {9, 2}, 2, kInk);
  s.DrawLine({4, -2}, {4, 9}, 2, kInk);  // its right neighbour column 5 is outside
  std::set<std::pair<int, int>> expected;
  for (int x = 0; x < 5; ++x) expected.insert({x, 2}), expected.insert({x, 3});
  for (int y = 0; y < 5; ++y) expected.insert({4, y});
  EXPECT_EQ(InkedPixels(s), expected);
}

TEST(Rasteriser, FillIsClippedAndRightBottomExclusive) {
  PixelSurface s(4, 4);
  s.FillRect({-1, 1, 2, 9}, kInk);
  std::set<std::pair<int, int>> expected;
  for (int y = 1; y < 4; ++y) expected.insert({0, y}), expected.insert({1, y});
  EXPECT_EQ(InkedPixels(s), expected);
}

TEST(Rasteriser, StretchDoublingReplicatesEachPixelAsTwoByTwoBlock) {
  PixelSurface src(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) src.Plot(x, y, static_cast<Pixel>(10 * y + x + 1));
  PixelSurface dst(10, 10, 0xEEEEEE);
  dst.StretchFrom(src, 1, 1, 6, 4, 0, 0, 3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) EXPECT_EQ(dst.At(1 + 2 * x + dx, 1 + 2 * y + dy), src.At(x, y));
  EXPECT_EQ(dst.At(0, 0), 0xEEEEEEu);
  EXPECT_EQ(dst.At(7, 1), 0xEEEEEEu);
  EXPECT_EQ(dst.At(1, 5), 0xEEEEEEu);
}

TEST(DeviceContext, PenColourAndSelectionRestore) {
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.CreateCompatibleBitmap(nullptr, 6, 6));
  CDC dc;
  dc.CreateCompatibleDC(nullptr);
  CBitmap* oldBitmap = dc.SelectObject(&bitmap);
  CPen green(PS_SOLID, 1, RGB(0, 200, 0));
  CPen* oldPen = dc.SelectObject(&green);
  const POINT line[3] = {{0, 0}, {3, 0}, {3, 3}};
  dc.Polyline(line, 3);
  // A polyline draws each segment without its end; the last point stays empty.
  EXPECT_EQ(bitmap.Surface().At(0, 0), 0x00C800u);
  EXPECT_EQ(bitmap.Surface().At(3, 0), 0x00C800u);
  EXPECT_EQ(bitmap.Surface().At(3, 2), 0x00C800u);
  EXPECT_EQ(bitmap.Surface().At(3, 3), 0u);
  EXPECT_EQ(dc.SelectObject(oldPen), &green);
  EXPECT_EQ(dc.SelectObject(oldBitmap), &bitmap);
  // With the stock bitmap selected back, drawing goes nowhere.
  dc.FillSolidRect(0, 0, 6, 6, RGB(255, 0, 0));
  EXPECT_EQ(bitmap.Surface().At(5, 5), 0u);
}

TEST(DeviceContext, BitmapBitsAreBlueGreenRedUnusedPerPixel) {
  CBitmap bitmap;
  bitmap.CreateCompatibleBitmap(nullptr, 2, 1);
  const unsigned char bits[8] = {0x11, 0x22, 0x33, 0x00, 0xC8, 0x00, 0x00, 0x01};
  EXPECT_EQ(bitmap.SetBitmapBits(8, bits), 8u);
  EXPECT_EQ(bitmap.Surface().At(0, 0), 0x00332211u);
  EXPECT_EQ(bitmap.Surface().At(1, 0), 0x010000C8u);
}

}  // namespace
