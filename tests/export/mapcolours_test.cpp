// The exported map's colours: the log scale's entries and bar positions at densities worked out
// by hand, and the perceptual colours' anchors.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "export/mapcolours.h"

namespace {

TEST(MapColourScale, LogEntriesFallAThirdOfTheTableForEachDecadeBelowTheMaximum) {
  // 255 x (3 + log10(v / 10)) / 3.
  EXPECT_EQ(ScaledColourIndex(10.0, 10.0, ColourScale::Log), 255);
  EXPECT_EQ(ScaledColourIndex(1.0, 10.0, ColourScale::Log), 170);
  EXPECT_EQ(ScaledColourIndex(0.1, 10.0, ColourScale::Log), 85);
  // log10(0.5) = -0.30103: 255 x 2.69897 / 3 = 229.4.
  EXPECT_EQ(ScaledColourIndex(5.0, 10.0, ColourScale::Log), 229);
  // The floor, a thousandth of the maximum, and everything below it take entry 0.
  EXPECT_EQ(ScaledColourIndex(0.01, 10.0, ColourScale::Log), 0);
  EXPECT_EQ(ScaledColourIndex(0.004, 10.0, ColourScale::Log), 0);
  EXPECT_EQ(ScaledColourIndex(0.0, 10.0, ColourScale::Log), 0);
  EXPECT_EQ(ScaledColourIndex(std::nan(""), 10.0, ColourScale::Log), 0);
  EXPECT_EQ(ScaledColourIndex(1.0, 0.0, ColourScale::Log), 0);
  // The linear scale is the window's: trunc(5 x 255 / 10).
  EXPECT_EQ(ScaledColourIndex(5.0, 10.0, ColourScale::Linear), 127);
  EXPECT_EQ(ScaledColourIndex(12.0, 10.0, ColourScale::Linear), 255);
  // The colour bar by the same scale: a decade a third of its height.
  EXPECT_DOUBLE_EQ(ColourBarShare(1.0, 10.0, ColourScale::Log), 2.0 / 3.0);
  EXPECT_EQ(ColourBarShare(0.001, 10.0, ColourScale::Log), 0.0);
  EXPECT_DOUBLE_EQ(ColourBarShare(2.5, 10.0, ColourScale::Linear), 0.25);
}

TEST(PerceptualColours, RunFromDarkVioletToYellowThroughTheirAnchors) {
  const ColorTable table = PerceptualColours();
  const auto rgb = [&](int e) {
    const ColorEntry& c = table[static_cast<std::size_t>(e)];
    return std::array<std::uint32_t, 3>{c.red, c.green, c.blue};
  };
  EXPECT_EQ(rgb(0), (std::array<std::uint32_t, 3>{68, 1, 84}));
  EXPECT_EQ(rgb(255), (std::array<std::uint32_t, 3>{253, 231, 37}));
  // Entry 51 is 51 x 10 / 255 = 2 anchors along: the third anchor itself.
  EXPECT_EQ(rgb(51), (std::array<std::uint32_t, 3>{65, 68, 135}));
  // Entry 128 is 0.0196 of the way from (33, 145, 140) to (34, 168, 132).
  EXPECT_EQ(rgb(128), (std::array<std::uint32_t, 3>{33, 145, 140}));
  // Lightness rises: green, the largest share of it, never falls.
  for (int e = 1; e < kColorEntries; ++e) EXPECT_GE(table[e].green, table[e - 1].green) << e;
}

}  // namespace
