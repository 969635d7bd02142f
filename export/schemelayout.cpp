#include "export/schemelayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// State k's place on a ring of radius 1 round the origin: from the lower left of the flat base,
// clockwise on the page (y down).
SchemePoint OnUnitRing(int k, int states) {
  const double angle = kPi / 2 + kPi / states + 2 * kPi * k / states;
  return {std::cos(angle), std::sin(angle)};
}

bool Neighbours(int i, int j, int states) {
  const int apart = std::abs(i - j);
  return apart == 1 || apart == states - 1;
}

// The extent of the ring of radius 1: left, right, top, bottom.
struct Bounds {
  double left, right, top, bottom;
};

Bounds UnitBounds(int states) {
  Bounds b{std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
           std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
  for (int k = 0; k < states; ++k) {
    const SchemePoint p = OnUnitRing(k, states);
    b.left = std::min(b.left, p.x), b.right = std::max(b.right, p.x);
    b.top = std::min(b.top, p.y), b.bottom = std::max(b.bottom, p.y);
  }
  return b;
}

constexpr double kRoom = kSchemeNodeRadiusPt + kSchemeLabelRoomPt;
// Spans below this are none: the two states side by side have no height.
constexpr double kFlat = 1e-9;

}  // namespace

double SchemeRing(int states) {
  if (states < 2) return 0;
  return std::clamp(kSchemeNeighboursApartPt / (2 * std::sin(kPi / states)), kSchemeRingPt, kSchemeLargestRingPt);
}

SchemePoint SchemeArea(int states) {
  if (states < 2) return {2 * kRoom, 2 * kRoom};
  const Bounds b = UnitBounds(states);
  const double ring = SchemeRing(states);
  return {ring * (b.right - b.left) + 2 * kRoom, ring * (b.bottom - b.top) + 2 * kRoom};
}

SchemeLayout LayOutScheme(int states, const std::vector<std::pair<int, int>>& paths, double x, double y, double width,
                          double height) {
  SchemeLayout layout;
  if (states < 1) return layout;
  const SchemePoint middle{x + width / 2, y + height / 2};
  if (states == 1) {
    layout.centres.push_back(middle);
    return layout;
  }
  const auto [left, right, top, bottom] = UnitBounds(states);
  // The largest ring whose nodes and outer labels fit the area.
  double ring = SchemeRing(states);
  if (right - left > kFlat) ring = std::min(ring, (width - 2 * kRoom) / (right - left));
  if (bottom - top > kFlat) ring = std::min(ring, (height - 2 * kRoom) / (bottom - top));
  ring = std::max(ring, layout.nodeRadius);
  // The nodes' bounds centred in the area.
  const SchemePoint centre{middle.x - ring * (left + right) / 2, middle.y - ring * (top + bottom) / 2};
  for (int k = 0; k < states; ++k) {
    const SchemePoint p = OnUnitRing(k, states);
    layout.centres.push_back({centre.x + ring * p.x, centre.y + ring * p.y});
  }

  const auto has = [&](int from, int to) {
    return std::find(paths.begin(), paths.end(), std::pair{from, to}) != paths.end();
  };
  const double reach = layout.nodeRadius + kSchemeArrowGapPt;
  for (const auto& [from, to] : paths) {
    if (from < 0 || to < 0 || from >= states || to >= states || from == to) continue;
    const SchemePoint a = layout.centres[static_cast<std::size_t>(from)];
    const SchemePoint b = layout.centres[static_cast<std::size_t>(to)];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const SchemePoint along{(b.x - a.x) / length, (b.y - a.y) / length};
    // To the left of the way on the page: the pair's other arrow has the other side.
    SchemePoint side{along.y, -along.x};
    const bool paired = has(to, from);
    const double offset = paired ? kSchemePairOffsetPt : 0.0;
    if (!paired) {
      // A lone arrow's label goes outwards, away from the ring's middle.
      const double outwards = side.x * ((a.x + b.x) / 2 - centre.x) + side.y * ((a.y + b.y) / 2 - centre.y);
      if (outwards < 0) side = {-side.x, -side.y};
    }
    // Where the arrow's line, `offset` beside the centres' line, leaves and meets the rims.
    const double inset = std::sqrt(reach * reach - offset * offset);
    SchemeArrow arrow;
    arrow.from = from;
    arrow.to = to;
    arrow.side = side;
    arrow.start = {a.x + along.x * inset + side.x * offset, a.y + along.y * inset + side.y * offset};
    arrow.end = {b.x - along.x * inset + side.x * offset, b.y - along.y * inset + side.y * offset};
    double angle = std::atan2(along.y, along.x);
    if (angle > kPi / 2 + kFlat) angle -= kPi;
    if (angle <= -kPi / 2 + kFlat) angle += kPi;
    arrow.angle = angle;
    arrow.chord = !Neighbours(from, to, states);
    arrow.labelAt = arrow.chord ? kSchemeChordLabelAt : 0.5;
    layout.arrows.push_back(arrow);
  }
  return layout;
}

SchemePoint SchemeLabelCentre(const SchemeArrow& arrow, double length, double thickness) {
  const double dx = arrow.end.x - arrow.start.x, dy = arrow.end.y - arrow.start.y;
  const double way = std::hypot(dx, dy);
  if (!(way > 0)) return arrow.start;
  const double half = length / 2;
  const double at = way <= length ? way / 2 : std::clamp(arrow.labelAt * way, half, way - half);
  const double across = kSchemeLabelGapPt + thickness / 2;
  return {arrow.start.x + dx / way * at + arrow.side.x * across, arrow.start.y + dy / way * at + arrow.side.y * across};
}
