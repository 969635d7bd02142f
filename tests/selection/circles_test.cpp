// Circles: moving and resizing a class's circle, and rebuilding the class from it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "selection/classlists.h"
#include "tests/support/session_setup.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Every step moves the circle one cell and shows it; circles may leave the map and radii go
// below 0 (nothing is drawn then, which the drawing's tests show).
TEST(SessionCircles, EachStepMovesTheCircleOneCellAndShowsIt) {
  Session session = SessionOf({}, 2);
  ASSERT_TRUE(session.Lock().done);
  const SelectionCircle& c = session.Circles()[0][1];  // 1->2: centre row 50, column 150, radius 10
  ASSERT_FALSE(c.visible);
  EXPECT_THAT(Said(session, {"circle-move", "1", "2", "up"}), IsEmpty());
  EXPECT_TRUE(c.visible);
  EXPECT_EQ(c.row, 49);
  for (const char* step : {"down", "down", "left"}) Said(session, {"circle-move", "1", "2", step});
  EXPECT_EQ(c.row, 51);
  EXPECT_EQ(c.col, 149);
  for (const char* step : {"right", "right", "smaller"}) Said(session, {"circle-move", "1", "2", step});
  EXPECT_EQ(c.col, 151);
  EXPECT_EQ(c.radius, 9);
  for (const char* step : {"larger", "larger"}) Said(session, {"circle-move", "1", "2", step});
  EXPECT_EQ(c.radius, 11);
  EXPECT_FALSE(session.Circles()[0][0].visible);

  for (int n = 0; n < 56; ++n) ASSERT_TRUE(session.MoveCircle(1, 2, &SelectionCircle::row, -1).done);
  EXPECT_EQ(c.row, -5);
  for (int n = 0; n < 13; ++n) ASSERT_TRUE(session.MoveCircle(1, 2, &SelectionCircle::radius, -1).done);
  EXPECT_EQ(c.radius, -2);
}

TEST(SessionCircles, SetCircleRebuildsTheClassFromTheRecordsInsideUntilTheNextLock) {
  Session session = SessionOf({{0.27, 0.78, 0.5, 0, 1},    // distance 0.036 from (0.25, 0.75): inside radius 0.05
                               {0.30, 0.80, 0.4, 0, 1},    // 0.071: outside
                               {0.25, 0.75, 0.3, 0, 2.5},  // the centre itself, weighted three times
                               {0.24, 0.76, 0.2, 0, 0},    // inside, but weight 0
                               {0.26, 0.74, 0.6, 0, 1}},   // inside, though its states make it class 1->2 too
                              2);
  ASSERT_TRUE(session.Lock().done);
  EXPECT_THAT(*session.ClassList(1, 2), ElementsAre(0.5, 0.4, 0.3, 0.3, 0.3, 0.6));
  const std::vector<double> before11 = *session.ClassList(1, 1);

  EXPECT_THAT(Said(session, {"circle-set", "1", "2"}), IsEmpty());
  EXPECT_THAT(*session.ClassList(1, 2), ElementsAre(0.5, 0.3, 0.3, 0.3, 0.6));
  EXPECT_EQ(*session.ClassList(1, 1), before11);
  // ln 0.5 -> bin 46, ln 0.3 -> bin 43, ln 0.6 -> bin 47.
  EXPECT_EQ(session.Histogram(0, 1).counts[46], 1.0);
  EXPECT_EQ(session.Histogram(0, 1).counts[43], 3.0);
  EXPECT_EQ(session.Histogram(0, 1).counts[47], 1.0);
  EXPECT_EQ(session.Histogram(0, 1).counts[45], 0.0);  // 0.4 went with the rebuild

  // A lock restores the class of the cutoffs.
  ASSERT_TRUE(session.Lock().done);
  EXPECT_THAT(*session.ClassList(1, 2), ElementsAre(0.5, 0.4, 0.3, 0.3, 0.3, 0.6));
}

TEST(SessionCircles, OverlappingCirclesBothTakeARecord) {
  Session session = SessionOf({{0.5, 0.5, 0.5, 0, 1}}, 2);
  ASSERT_TRUE(session.Lock().done);
  // Circle 1->1 at (50, 50) and 2->2 at (150, 150); radius 71 cells reaches (100, 100).
  for (int n = 0; n < 61; ++n) {
    session.MoveCircle(1, 1, &SelectionCircle::radius, +1);
    session.MoveCircle(2, 2, &SelectionCircle::radius, +1);
  }
  ASSERT_TRUE(session.SetCircle(1, 1).done);
  ASSERT_TRUE(session.SetCircle(2, 2).done);
  EXPECT_THAT(*session.ClassList(1, 1), ElementsAre(0.5));
  EXPECT_THAT(*session.ClassList(2, 2), ElementsAre(0.5));
}

TEST(SessionCircles, AClassOutsideTheLockedTableIsRefusedAndNothingChanges) {
  Session session = SessionOf({{0.9, 0.9, 0.5, 0, 1}}, 2);
  ASSERT_TRUE(session.Lock().done);
  ASSERT_TRUE(session.SetStates(3).done);
  const std::string refusal = "Class 3->3 is not among the classes of the last lock (2 states). Lock cutoffs again.";
  EXPECT_THAT(Said(session, {"circle-set", "3", "3"}), ElementsAre(refusal));
  EXPECT_THAT(Said(session, {"circle-move", "3", "3", "up"}), ElementsAre(refusal));
  EXPECT_THAT(Said(session, {"circle-move", "3", "3", "smaller"}), ElementsAre(refusal));
  EXPECT_THAT(Said(session, {"circle", "3", "3", "10", "10", "5"}), ElementsAre(refusal));
  EXPECT_FALSE(session.Circles()[2][2].visible);
  EXPECT_EQ(session.Lists().size(), 4u);
  EXPECT_THAT(*session.ClassList(2, 2), ElementsAre(0.5));
}

TEST(CircleMembership, ARecordAtExactlyTheRadiusIsTakenAndANegativeRadiusTakesNothing) {
  // Centre (0.25, 0.75) and radius 25 cells = 0.125: all three exact in binary.
  const TransitionRecords records = {{0.25, 0.875, 0.5, 0, 1}, {0.25, 0.8750001, 0.4, 0, 1}, {0.125, 0.75, 0.3, 0, 1}};
  const auto circled = [&](int radius) {
    ClassRule rule;
    rule.circle = SelectionCircle{true, 50, 150, radius};
    return *ClassListOf(records, rule);
  };
  EXPECT_THAT(circled(25), ElementsAre(0.5, 0.3));
  EXPECT_THAT(circled(-1), IsEmpty());
  EXPECT_FALSE(InsideCircle({std::nan(""), 0.75, 0.1, 0, 1}, {true, 50, 150, 25}));
}

}  // namespace
