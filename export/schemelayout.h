// Where the scheme of a rate matrix puts its states and arrows: plain arithmetic on the page, in
// points with y down, apart from any drawing (the figure itself needs Cairo; this does not).
//
// The states lie on a ring, state 1 at the lower left and the others clockwise after it, so that
// the ring stands on a flat side: two states side by side, three as a triangle on its base, four
// as a square. Each free path i -> j is a straight arrow from i's rim to j's; the two arrows of a
// pair run parallel, each on its own side of the line between the centres, and every label lies
// along its arrow on that same side, away from the other.
#pragma once

#include <utility>
#include <vector>

struct SchemePoint {
  double x = 0;
  double y = 0;
};

// A state's circle; the arrows keep this far from its rim.
inline constexpr double kSchemeNodeRadiusPt = 22.0;
inline constexpr double kSchemeArrowGapPt = 3.0;
// Each arrow of a pair runs this far beside the line between the centres.
inline constexpr double kSchemePairOffsetPt = 4.5;
// A label keeps this far from its arrow.
inline constexpr double kSchemeLabelGapPt = 2.0;
// Room beyond the outer nodes' rims for the labels of the outer arrows.
inline constexpr double kSchemeLabelRoomPt = 12.0;
// The ring's radius: this, or more where more states would otherwise crowd it, so that
// neighbours' centres lie kSchemeNeighboursApartPt apart, but never beyond kSchemeLargestRingPt
// (ten states keep to a page's width).
inline constexpr double kSchemeRingPt = 105.0;
inline constexpr double kSchemeNeighboursApartPt = 210.0;
inline constexpr double kSchemeLargestRingPt = 200.0;
// Between states that are not neighbours on the ring, a label centres this share of the way along
// its arrow, near the state it leaves, so that the labels of crossing arrows keep apart.
inline constexpr double kSchemeChordLabelAt = 0.3;

struct SchemeArrow {
  int from = 0;  // 0-based
  int to = 0;
  SchemePoint start;  // beside the rim of `from`
  SchemePoint end;    // the arrowhead's tip, beside the rim of `to`
  SchemePoint side;   // unit vector across the arrow towards its label
  double angle = 0;   // of the label's base line, radians, upright: within (-pi / 2, pi / 2]
  double labelAt = 0.5;  // the share of the way from start to end the label centres on
  bool chord = false;    // between states that are not neighbours on the ring, across it
};

struct SchemeLayout {
  double nodeRadius = kSchemeNodeRadiusPt;
  std::vector<SchemePoint> centres;  // one per state
  std::vector<SchemeArrow> arrows;   // one per path, in the order given
};

// The radius of the ring of `states` states that an area of SchemeArea(states) gives.
double SchemeRing(int states);
// The width and height of the area that takes the ring of `states` states with the nodes and the
// labels of the outer arrows.
SchemePoint SchemeArea(int states);

// The scheme of `states` states (2 ... 10; a single state stands in the middle) with arrows for
// `paths` (0-based i -> j, i != j, both below `states`; any other is passed over) in the area
// with its upper left corner at (x, y): the largest ring up to SchemeRing(states) that fits, the
// nodes' bounds centred in it.
SchemeLayout LayOutScheme(int states, const std::vector<std::pair<int, int>>& paths, double x, double y, double width,
                          double height);

// The centre of a label `length` long across its arrow's way and `thickness` thick, laid along
// `arrow` on its side: at arrow.labelAt of the way, moved no nearer either end than half its
// length (centred when the arrow is shorter than it).
SchemePoint SchemeLabelCentre(const SchemeArrow& arrow, double length, double thickness);
