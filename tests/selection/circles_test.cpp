// Circles: moving and resizing the shown class's circle, and rebuilding a class from it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "selection/classlists.h"
#include "tests/selection/selection_fixture.h"

namespace {

using CirclesTest = SelectionTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(CirclesTest, ClassOperationsBeforeTheFirstLockOnlyAskForIt) {
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_PICK_NEXT);  // a class is shown, but nothing is locked
  for (int id : {IDC_CIRCLE_UP, IDC_CIRCLE_DOWN, IDC_CIRCLE_LEFT, IDC_CIRCLE_RIGHT, IDC_RADIUS_UP, IDC_RADIUS_DOWN,
                 IDC_SET_CIRCLE})
    Click(id);
  EXPECT_EQ(host.messages, std::vector<std::string>(7, "Lock cutoffs first."));
  for (const auto& row : dlg->m_circles)
    for (const SelectionCircle& c : row) EXPECT_FALSE(c.visible);
  EXPECT_TRUE(dlg->m_session.Lists().empty());
}

TEST_F(CirclesTest, EachButtonMovesTheShownCircleOneCellAndShowsIt) {
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  Click(IDC_PICK_NEXT);  // 1->2: centre row 50, column 150
  const SelectionCircle& c = dlg->m_circles[0][1];
  Click(IDC_CIRCLE_UP);
  EXPECT_TRUE(c.visible);
  EXPECT_EQ(c.row, 49);
  Click(IDC_CIRCLE_DOWN);
  Click(IDC_CIRCLE_DOWN);
  Click(IDC_CIRCLE_LEFT);
  EXPECT_EQ(c.row, 51);
  EXPECT_EQ(c.col, 149);
  Click(IDC_CIRCLE_RIGHT);
  Click(IDC_CIRCLE_RIGHT);
  Click(IDC_RADIUS_DOWN);
  EXPECT_EQ(c.col, 151);
  EXPECT_EQ(c.radius, 9);
  Click(IDC_RADIUS_UP);
  Click(IDC_RADIUS_UP);
  EXPECT_EQ(c.radius, 11);
  EXPECT_FALSE(dlg->m_circles[0][0].visible);
  EXPECT_TRUE(host.messages.empty());

  // Drawn only while the box is ticked; ticking alone does not redraw. (The cell lies in the
  // picked rectangle, lifted by 200, until the outline covers it.)
  EXPECT_EQ(Shown(40, 151), Base(40, 151) + 200u);
  Click(IDC_USE_CIRCLES);
  EXPECT_EQ(dlg->m_useCircles, 1);
  EXPECT_EQ(Shown(40, 151), Base(40, 151) + 200u);
  Click(IDC_CIRCLE_UP);  // centre row 50, radius 11
  EXPECT_EQ(Shown(39, 151), Line());
  EXPECT_EQ(Shown(61, 151), Line());
  EXPECT_EQ(Shown(50, 140), Line());
  EXPECT_EQ(Shown(50, 162), Line());
  Click(IDC_PICK_NEXT);  // 2->1 has no visible circle
  EXPECT_EQ(Shown(39, 151), Base(39, 151));
}

TEST_F(CirclesTest, CirclesMayLeaveTheMapAndRadiiGoNegative) {
  Type(IDC_STATE_COUNT, "1");
  Click(IDC_LOCK_CUTOFFS);  // 1->1: centre (100, 100), radius 10
  Click(IDC_USE_CIRCLES);
  for (int n = 0; n < 105; ++n) Click(IDC_CIRCLE_UP);
  EXPECT_EQ(dlg->m_circles[0][0].row, -5);
  EXPECT_EQ(Shown(5, 100), Line());  // the lower half is still drawn
  for (int n = 0; n < 12; ++n) Click(IDC_RADIUS_DOWN);
  EXPECT_EQ(dlg->m_circles[0][0].radius, -2);
  EXPECT_EQ(Shown(5, 100), Base(5, 100) + 200u);  // nothing drawn, the picked rectangle shows
}

TEST_F(CirclesTest, SetCircleRebuildsTheShownClassFromTheRecordsInside) {
  SetRecords({{0.27, 0.78, 0.5, 0, 1},    // distance 0.036 from (0.25, 0.75): inside radius 0.05
              {0.30, 0.80, 0.4, 0, 1},    // 0.071: outside
              {0.25, 0.75, 0.3, 0, 2.5},  // the centre itself, weighted three times
              {0.24, 0.76, 0.2, 0, 0},    // inside, but weight 0
              {0.26, 0.74, 0.6, 0, 1}});  // inside, though its states make it class 1->2 too
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_THAT(ClassList(1, 2), ElementsAre(0.5, 0.4, 0.3, 0.3, 0.3, 0.6));
  const std::vector<double> before11 = ClassList(1, 1);

  Click(IDC_PICK_NEXT);
  Click(IDC_SET_CIRCLE);
  EXPECT_THAT(ClassList(1, 2), ElementsAre(0.5, 0.3, 0.3, 0.3, 0.6));
  EXPECT_EQ(ClassList(1, 1), before11);
  // ln 0.5 -> bin 46, ln 0.3 -> bin 43, ln 0.6 -> bin 47.
  EXPECT_EQ(dlg->m_session.Histogram(0, 1).counts[46], 1.0);
  EXPECT_EQ(dlg->m_session.Histogram(0, 1).counts[43], 3.0);
  EXPECT_EQ(dlg->m_session.Histogram(0, 1).counts[47], 1.0);
  EXPECT_EQ(dlg->m_session.Histogram(0, 1).counts[45], 0.0);  // 0.4 went with the rebuild
  EXPECT_EQ(Text(IDC_HIST_MAX), "3");
  EXPECT_EQ(Text(IDC_PICK_TO), "2");

  // A lock restores the cutoff-based class.
  Click(IDC_LOCK_CUTOFFS);
  EXPECT_THAT(ClassList(1, 2), ElementsAre(0.5, 0.4, 0.3, 0.3, 0.3, 0.6));
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

TEST_F(CirclesTest, OverlappingCirclesBothTakeARecord) {
  SetRecords({{0.5, 0.5, 0.5, 0, 1}});
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  // Circle 1->1 at (50, 50) and 2->2 at (150, 150); radius 71 cells reaches (100, 100).
  for (int n = 0; n < 61; ++n) Click(IDC_RADIUS_UP);
  Click(IDC_SET_CIRCLE);
  for (int n = 0; n < 3; ++n) Click(IDC_PICK_NEXT);
  for (int n = 0; n < 61; ++n) Click(IDC_RADIUS_UP);
  Click(IDC_SET_CIRCLE);
  EXPECT_THAT(ClassList(1, 1), ElementsAre(0.5));
  EXPECT_THAT(ClassList(2, 2), ElementsAre(0.5));
}

TEST_F(CirclesTest, AClassOutsideTheLockedTableIsRefused) {
  SetRecords({{0.9, 0.9, 0.5, 0, 1}});
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  Type(IDC_STATE_COUNT, "3");
  for (int n = 0; n < 8; ++n) Click(IDC_PICK_NEXT);  // 3->3, beyond the 2 x 2 table
  ASSERT_EQ(Text(IDC_PICK_FROM), "3");
  Click(IDC_SET_CIRCLE);
  Click(IDC_CIRCLE_UP);
  Click(IDC_RADIUS_DOWN);
  ASSERT_EQ(host.messages.size(), 3u);
  for (const std::string& message : host.messages) EXPECT_NE(message.find("3->3"), std::string::npos);
  EXPECT_FALSE(dlg->m_circles[2][2].visible);
  EXPECT_EQ(dlg->m_session.Lists().size(), 4u);
  EXPECT_THAT(ClassList(2, 2), ElementsAre(0.5));
}

}  // namespace
