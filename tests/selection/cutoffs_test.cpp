// The number of states and the cutoffs: even spacing, what a count refuses, steps and values held
// on the unit axis.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/session_setup.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SessionCutoffs, EveryCountIsEvenlySpacedAndReplacesCutoffsMovedBefore) {
  Session session;
  EXPECT_THAT(Said(session, {"states", "3"}), IsEmpty());
  EXPECT_EQ(session.CutoffValues()[0], 1.0 / 3.0);
  EXPECT_EQ(session.CutoffValues()[1], 2.0 / 3.0);
  EXPECT_EQ(session.CutoffValues()[2], 1.0);

  ASSERT_TRUE(session.SetStates(1).done);
  EXPECT_EQ(session.CutoffValues()[0], 1.0);

  ASSERT_TRUE(session.SetStates(10).done);
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(session.CutoffValues()[static_cast<std::size_t>(k)], 0.1 * (k + 1), 1e-15);
  EXPECT_EQ(session.CutoffValues()[9], 1.0);

  // A new count, the same one again too, throws away the cutoffs set by hand.
  ASSERT_TRUE(session.SetStates(2).done);
  EXPECT_THAT(Said(session, {"cutoff", "1", "0.505"}), IsEmpty());
  ASSERT_TRUE(session.SetStates(4).done);
  EXPECT_EQ(session.CutoffValues()[0], 0.25);
  EXPECT_EQ(session.CutoffValues()[1], 0.5);
  ASSERT_TRUE(session.SetStates(4).done);
  EXPECT_EQ(session.CutoffValues()[0], 0.25);
}

TEST(SessionCutoffs, CountsOutsideOneToTenAreRefusedAndKeepTheCountAndCutoffs) {
  Session session;
  ASSERT_TRUE(session.SetStates(3).done);
  ASSERT_EQ(session.SetCutoff(1, 0.7), 0.7);
  for (const char* bad : {"0", "-2", "11"})
    EXPECT_THAT(Said(session, {"states", bad}), ElementsAre("Number of states: enter a whole number from 1 to 10."))
        << bad;
  EXPECT_THAT(Said(session, {"states", "abc"}), ElementsAre("'abc' is not a whole number"));
  EXPECT_THAT(Said(session, {"states", "3x"}), ElementsAre("'3x' is not a whole number"));
  EXPECT_EQ(session.States(), 3);
  EXPECT_EQ(session.CutoffValues()[1], 0.7);
}

// A cutoff is held on the value axis [0, 1], whatever it is set or stepped to.
TEST(SessionCutoffs, ACutoffIsHeldOnTheUnitAxis) {
  Session session;
  ASSERT_TRUE(session.SetStates(2).done);
  EXPECT_EQ(session.SetCutoff(0, 1.7), 1.0);
  EXPECT_EQ(session.CutoffValues()[0], 1.0);
  EXPECT_EQ(session.SetCutoff(0, -0.3), 0.0);
  EXPECT_EQ(session.SetCutoff(0, 0.998 + 0.005), 1.0);
  EXPECT_EQ(session.SetCutoff(0, std::nan("")), 0.0);
  EXPECT_THAT(Said(session, {"cutoff", "1", "0.42"}), IsEmpty());
  EXPECT_EQ(session.CutoffValues()[0], 0.42);
  EXPECT_EQ(session.CutoffValues()[1], 1.0);  // the last state's bound stays

  // Only the N - 1 movable cutoffs; before a count, the one slot the window's list shows.
  EXPECT_THAT(Said(session, {"cutoff", "2", "0.5"}), ElementsAre("Cutoff 2 is not among the 1 cutoff of 2 states."));
  Session fresh;
  EXPECT_THAT(Said(fresh, {"cutoff", "1", "0.005"}), IsEmpty());
  EXPECT_EQ(fresh.CutoffValues()[0], 0.005);
  EXPECT_EQ(fresh.States(), 0);
  EXPECT_THAT(Said(fresh, {"cutoff", "1", "nan"}), ElementsAre("'nan' is not a number"));
  EXPECT_EQ(fresh.CutoffValues()[0], 0.005);
}

}  // namespace
