// The kinetic scheme's geometry: states on a ring standing on a flat side, the arrows of a pair
// parallel between the rims, and no label on a state or on another label.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "export/schemelayout.h"

namespace {

double Distance(SchemePoint a, SchemePoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

// A label as drawn: its centre, its base line's direction and its half sizes along and across.
struct Label {
  SchemePoint centre;
  double angle;
  double halfLength, halfThickness;
  std::vector<SchemePoint> Corners() const {
    const double cx = std::cos(angle), sy = std::sin(angle);
    std::vector<SchemePoint> corners;
    for (double a : {-1.0, 1.0})
      for (double b : {-1.0, 1.0})
        corners.push_back({centre.x + a * halfLength * cx - b * halfThickness * sy,
                           centre.y + a * halfLength * sy + b * halfThickness * cx});
    return corners;
  }
};

// Whether a circle reaches into the label: its centre's nearest point of the rectangle is nearer
// than the radius.
bool Touches(const Label& label, SchemePoint centre, double radius) {
  const double dx = centre.x - label.centre.x, dy = centre.y - label.centre.y;
  const double along = dx * std::cos(label.angle) + dy * std::sin(label.angle);
  const double across = -dx * std::sin(label.angle) + dy * std::cos(label.angle);
  const double nearAlong = along - std::clamp(along, -label.halfLength, label.halfLength);
  const double nearAcross = across - std::clamp(across, -label.halfThickness, label.halfThickness);
  return std::hypot(nearAlong, nearAcross) < radius;
}

// Two rectangles overlap unless one of their four side directions separates their corners.
bool Overlap(const Label& a, const Label& b) {
  const std::vector<SchemePoint> ca = a.Corners(), cb = b.Corners();
  for (double angle : {a.angle, a.angle + std::numbers::pi / 2, b.angle, b.angle + std::numbers::pi / 2}) {
    const double ux = std::cos(angle), uy = std::sin(angle);
    const auto span = [&](const std::vector<SchemePoint>& corners) {
      double low = 1e300, high = -1e300;
      for (const SchemePoint& p : corners) low = std::min(low, p.x * ux + p.y * uy), high = std::max(high, p.x * ux + p.y * uy);
      return std::pair{low, high};
    };
    const auto [lowA, highA] = span(ca);
    const auto [lowB, highB] = span(cb);
    if (highA <= lowB || highB <= lowA) return false;
  }
  return true;
}

std::vector<std::pair<int, int>> EveryPath(int states) {
  std::vector<std::pair<int, int>> paths;
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j)
      if (i != j) paths.push_back({i, j});
  return paths;
}

}  // namespace

TEST(SchemeLayout, StatesStandOnAFlatSideAndEveryArrowRunsFromRimToRimBesideItsPartner) {
  // Two states side by side, 1 on the left; both arrows from rim to rim, parallel, 2 x 4.5 pt
  // apart, the labels on their outer sides.
  const SchemePoint two = SchemeArea(2);
  const SchemeLayout pair = LayOutScheme(2, {{0, 1}, {1, 0}}, 0, 0, two.x, two.y);
  ASSERT_EQ(pair.centres.size(), 2u);
  ASSERT_EQ(pair.arrows.size(), 2u);
  EXPECT_NEAR(pair.centres[0].y, pair.centres[1].y, 1e-9);
  EXPECT_LT(pair.centres[0].x, pair.centres[1].x);
  const double reach = kSchemeNodeRadiusPt + kSchemeArrowGapPt;
  for (const SchemeArrow& arrow : pair.arrows) {
    EXPECT_NEAR(Distance(arrow.start, pair.centres[static_cast<std::size_t>(arrow.from)]), reach, 1e-9);
    EXPECT_NEAR(Distance(arrow.end, pair.centres[static_cast<std::size_t>(arrow.to)]), reach, 1e-9);
    EXPECT_NEAR(arrow.start.y, arrow.end.y, 1e-9);
    EXPECT_NEAR(std::abs(arrow.start.y - pair.centres[0].y), 4.5, 1e-9);
    EXPECT_NEAR(arrow.angle, 0.0, 1e-9);  // upright, whichever way the arrow points
  }
  EXPECT_NEAR(std::abs(pair.arrows[0].start.y - pair.arrows[1].start.y), 9.0, 1e-9);
  EXPECT_LT(pair.arrows[0].end.x, pair.centres[1].x);
  EXPECT_GT(pair.arrows[1].end.x, pair.centres[0].x);
  EXPECT_LT(pair.arrows[0].side.y * pair.arrows[1].side.y, 0.0);
  // A lone arrow lies on the centres' line.
  const SchemeLayout lone = LayOutScheme(2, {{1, 0}}, 0, 0, two.x, two.y);
  ASSERT_EQ(lone.arrows.size(), 1u);
  EXPECT_NEAR(lone.arrows[0].start.y, lone.centres[0].y, 1e-9);

  // Three states: an equilateral triangle on its base, 1 at the lower left, 2 on top, 3 at the
  // lower right, all inside the area.
  const SchemePoint three = SchemeArea(3);
  const SchemeLayout triangle = LayOutScheme(3, EveryPath(3), 10, 20, three.x, three.y);
  ASSERT_EQ(triangle.centres.size(), 3u);
  const auto& c = triangle.centres;
  EXPECT_NEAR(Distance(c[0], c[1]), Distance(c[1], c[2]), 1e-9);
  EXPECT_NEAR(Distance(c[0], c[1]), Distance(c[0], c[2]), 1e-9);
  EXPECT_NEAR(c[0].y, c[2].y, 1e-9);
  EXPECT_LT(c[1].y, c[0].y);
  EXPECT_LT(c[0].x, c[1].x);
  EXPECT_LT(c[1].x, c[2].x);
  for (const SchemePoint& p : c) {
    EXPECT_GE(p.x - kSchemeNodeRadiusPt, 10.0);
    EXPECT_LE(p.x + kSchemeNodeRadiusPt, 10.0 + three.x);
    EXPECT_GE(p.y - kSchemeNodeRadiusPt, 20.0);
    EXPECT_LE(p.y + kSchemeNodeRadiusPt, 20.0 + three.y);
  }

  // Every path among three and four states: labels the size the figure draws at 8 pt (a line of
  // "k = 0.000975 s-1 [0.00000, 0.02080]" between neighbours, two lines across the ring) touch
  // no state and no other label.
  for (int states : {3, 4}) {
    const SchemePoint area = SchemeArea(states);
    const SchemeLayout layout = LayOutScheme(states, EveryPath(states), 0, 0, area.x, area.y);
    ASSERT_EQ(layout.arrows.size(), static_cast<std::size_t>(states * (states - 1)));
    std::vector<Label> labels;
    for (const SchemeArrow& arrow : layout.arrows) {
      const double length = arrow.chord ? 80.0 : 145.0, thickness = arrow.chord ? 20.0 : 10.0;
      labels.push_back({SchemeLabelCentre(arrow, length, thickness), arrow.angle, length / 2, thickness / 2});
    }
    for (std::size_t a = 0; a < labels.size(); ++a) {
      const SchemeArrow& arrow = layout.arrows[a];
      for (const SchemePoint& centre : layout.centres)
        EXPECT_FALSE(Touches(labels[a], centre, layout.nodeRadius))
            << states << " states: " << arrow.from + 1 << "->" << arrow.to + 1;
      for (std::size_t b = a + 1; b < labels.size(); ++b)
        EXPECT_FALSE(Overlap(labels[a], labels[b]))
            << states << " states: " << arrow.from + 1 << "->" << arrow.to + 1 << " and "
            << layout.arrows[b].from + 1 << "->" << layout.arrows[b].to + 1;
    }
  }
}
