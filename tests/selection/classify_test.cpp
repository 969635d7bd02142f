// "Lock cutoffs": states of values, weights, the ln-rate bins, the default circles, and what a
// lock of the session keeps and refuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "selection/classlists.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The lists of a lock of the records with these cutoffs (the first `states` slots used).
ClassLists Classify(const TransitionRecords& records, int states, const Cutoffs& cutoffs, bool weighted = true) {
  std::optional<ClassLists> lists = ClassifyRecords(records, states, cutoffs, weighted);
  EXPECT_TRUE(lists);
  return lists ? *lists : ClassLists{};
}

TEST(Classification, ValuesEqualToACutoffBelongToTheLowerState) {
  const ClassLists lists = Classify({{0.3, 0.8, 0.11, 0, 1},
                                     {0.5, 0.5, 0.12, 0, 1},
                                     {0.2, 1.2, 0.13, 0, 1},  // final value above every cutoff: no class
                                     {0.0, 1.0, 0.14, 0, 1},
                                     {0.5000001, 0.5, 0.15, 0, 1}},
                                    2, {0.5, 1.0});
  ASSERT_EQ(lists.size(), 4u);
  EXPECT_THAT(lists[0], ElementsAre(0.12));
  EXPECT_THAT(lists[1], ElementsAre(0.11, 0.14));
  EXPECT_THAT(lists[2], ElementsAre(0.15));
  EXPECT_THAT(lists[3], IsEmpty());
}

TEST(Classification, CutoffsOutOfOrderAreTestedInSlotOrder) {
  // 0.5 and 0.45 lie above the second cutoff but not above the first: state 1. 0.7: state 3.
  const ClassLists lists = Classify({{0.5, 0.7, 0.2, 0, 1}, {0.45, 0.35, 0.3, 0, 1}}, 3, {0.6, 0.4, 1.0});
  EXPECT_THAT(lists[0 * 3 + 2], ElementsAre(0.2));
  EXPECT_THAT(lists[0 * 3 + 0], ElementsAre(0.3));
  // A value that is no number has no state.
  EXPECT_FALSE(StateOf(std::nan(""), 3, {0.6, 0.4, 1.0}));
  EXPECT_FALSE(StateOf(1.0000001, 3, {0.6, 0.4, 1.0}));
}

TEST(Classification, WeightsCountEveryStartedTransitionOnlyWhenWeighting) {
  const TransitionRecords records = {{0.1, 0.1, 0.3, 0, 3},
                                     {0.1, 0.1, 0.25, 0, 2.5},
                                     {0.1, 0.1, 0.04, 0, 0.4},
                                     {0.1, 0.1, 0.5, 0, 0},
                                     {0.1, 0.1, 0.6, 0, -2}};
  EXPECT_THAT(Classify(records, 1, {1.0}, true)[0], ElementsAre(0.3, 0.3, 0.3, 0.25, 0.25, 0.25, 0.04));
  EXPECT_THAT(Classify(records, 1, {1.0}, false)[0], ElementsAre(0.3, 0.25, 0.04));
}

TEST(Classification, RatesFallIntoTheBinsOfTheirLogarithm) {
  const ClassHistogram histogram = HistogramOf({0.5,              // ln = -0.693: bin trunc(46.53) = 46
                                                1.0,              // bin 50: no bin
                                                0.999,            // bin 49
                                                4.0e-5,           // ln = -10.13: truncated toward zero into bin 0
                                                3.0e-5,           // ln = -10.41: below bin 0
                                                0.0,              // no logarithm
                                                -0.2, 2.5,        //
                                                std::exp(-9.85),  // bin 0 reaches up to -9.8
                                                std::exp(-9.75)});
  const auto& counts = histogram.counts;
  EXPECT_EQ(counts[46], 1.0);
  EXPECT_EQ(counts[49], 1.0);
  EXPECT_EQ(counts[0], 2.0);
  EXPECT_EQ(counts[1], 1.0);
  double total = 0;
  for (double count : counts) total += count;
  EXPECT_EQ(total, 5.0);

  EXPECT_NEAR(histogram.centres[0], -9.9, 1e-12);
  EXPECT_NEAR(histogram.centres[46], -0.7, 1e-12);
  EXPECT_NEAR(histogram.centres[49], -0.1, 1e-12);
}

TEST(Classification, DefaultCirclesSitInTheMiddleOfEvenCells) {
  CircleTable circles{};
  circles[1][2].visible = true;
  PlaceDefaultCircles(circles, 3);
  const int centres3[] = {33, 99, 165};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(circles[i][j].row, centres3[i]);
      EXPECT_EQ(circles[i][j].col, centres3[j]);
      EXPECT_EQ(circles[i][j].radius, 10);
    }
  EXPECT_TRUE(circles[1][2].visible);  // the lock leaves visibility alone
  EXPECT_FALSE(circles[0][0].visible);

  PlaceDefaultCircles(circles, 7);
  const int centres7[] = {14, 42, 70, 98, 126, 154, 182};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(circles[i][6 - i].row, centres7[i]);
    EXPECT_EQ(circles[i][6 - i].col, centres7[6 - i]);
  }
}

// The lock stores what it classified: the lists, and their histograms for the panel and the fit.
TEST(SessionLock, StoresTheListsTheirHistogramsAndTheDefaultCircles) {
  Session session = SessionOf({{0.1, 0.1, 0.5, 0, 2}, {0.1, 0.9, 0.5, 0, 1}, {0.9, 0.1, 1.0, 0, 1}}, 2);
  ASSERT_TRUE(session.Lock().done);
  EXPECT_TRUE(session.Locked());
  EXPECT_THAT(*session.ClassList(1, 1), ElementsAre(0.5, 0.5));
  EXPECT_THAT(*session.ClassList(1, 2), ElementsAre(0.5));
  EXPECT_THAT(*session.ClassList(2, 1), ElementsAre(1.0));  // in the list, in no bin
  EXPECT_EQ(session.Histogram(0, 0).counts[46], 2.0);       // ln 0.5 = -0.693: bin 46
  EXPECT_EQ(session.Histogram(0, 1).counts[46], 1.0);
  for (double count : session.Histogram(1, 0).counts) EXPECT_EQ(count, 0.0);
  EXPECT_NEAR(session.Histogram(1, 1).centres[0], -9.9, 1e-12);
  EXPECT_EQ(session.Circles()[1][0].row, 150);
  EXPECT_EQ(session.Circles()[1][0].col, 50);
}

TEST(SessionLock, WithoutAStateCountOnlyAsksForOne) {
  Session session = SessionOf({{0.3, 0.8, 0.11, 0, 1}});
  EXPECT_THAT(Said(session, {"lock"}), ElementsAre("Enter the number of states first."));
  EXPECT_FALSE(session.Locked());
  EXPECT_TRUE(session.Lists().empty());
  EXPECT_EQ(session.LockedStates(), 0);
}

TEST(SessionLock, ATableTooLargeForMemoryIsRefusedAndTheOldOneStays) {
  // Counted once each, the records fit; weighted by their transitions, they do not.
  Session session = SessionOf({{0.3, 0.8, 0.11, 0, 1}, {0.3, 0.3, 0.2, 0, 1e12}}, 2);
  session.SetWeighted(false);
  ASSERT_TRUE(session.Lock().done);
  ASSERT_TRUE(session.SetStates(3).done);
  session.SetWeighted(true);
  const Outcome refused = session.Lock();
  EXPECT_FALSE(refused.done);
  ASSERT_EQ(refused.messages.size(), 1u);
  EXPECT_EQ(refused.messages[0].severity, Severity::Error);
  EXPECT_EQ(session.LockedStates(), 2);
  EXPECT_THAT(*session.ClassList(1, 2), ElementsAre(0.11));
  // Without weighting the same records fit.
  session.SetWeighted(false);
  ASSERT_TRUE(session.Lock().done);
  EXPECT_EQ(session.LockedStates(), 3);
  EXPECT_THAT(*session.ClassList(1, 1), ElementsAre(0.2));
}

// A lock for 3 states, then one for 2: class 3->3 no longer has the first lock's histogram or
// fit, even with N back at 3; a new N alone changes no class.
TEST(SessionLock, TheTableKeepsTheCountOfItsLockAndNothingBeyondIt) {
  TempDir dir;  // where the fit's rate file goes
  Session session = SessionOf({{0.9, 0.9, 0.5, 0, 1}, {0.1, 0.9, 0.5, 0, 1}}, 3);
  ASSERT_TRUE(session.Lock().done);
  EXPECT_EQ(session.Histogram(2, 2).counts[46], 1.0);
  ASSERT_TRUE(session.Fit(3, 3).done);
  ASSERT_TRUE(session.SetStates(2).done);
  EXPECT_EQ(session.LockedStates(), 3);
  EXPECT_EQ(session.Lists().size(), 9u);
  ASSERT_TRUE(session.Lock().done);
  EXPECT_EQ(session.Lists().size(), 4u);
  EXPECT_EQ(session.Histogram(1, 1).counts[46], 1.0);
  EXPECT_EQ(session.Histogram(0, 1).counts[46], 1.0);
  EXPECT_EQ(session.Histogram(2, 2).counts[46], 0.0);
  EXPECT_EQ(session.Histogram(0, 2).counts[46], 0.0);
  EXPECT_EQ(session.FitOf(3, 3), nullptr);
  ASSERT_TRUE(session.SetStates(3).done);
  for (double count : session.Histogram(2, 2).counts) EXPECT_EQ(count, 0.0);
}

}  // namespace
