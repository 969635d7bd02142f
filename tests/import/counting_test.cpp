// The counting rule on traces worked out by hand, and the records of the report it makes.
#include <gtest/gtest.h>

#include <vector>

#include "import/counting.h"

namespace {

std::vector<Dwell> Trace(const std::vector<double>& frames) {
  std::vector<Dwell> dwells;
  for (const double value : frames) AppendFrames(dwells, value);
  return dwells;
}

void ExpectRecord(const TransitionRecords& records, std::size_t index, const TransitionRecord& expected) {
  const TransitionRecord r = records[index];
  EXPECT_EQ(r.initial, expected.initial) << "record " << index;
  EXPECT_EQ(r.final, expected.final) << "record " << index;
  EXPECT_EQ(r.rate, expected.rate) << "record " << index;
  EXPECT_EQ(r.spare, expected.spare) << "record " << index;
  EXPECT_EQ(r.count, expected.count) << "record " << index;
}

// 0.2 0.2 0.8 0.8 0.8 0.2: dwells 2, 3, 1. Level 0.2 has 2 frames with a next one (its last
// frame ends the trace) and one step up; level 0.8 has 3 and one step down.
TEST(ImportCounting, TwoLevels) {
  const LevelCounts counts = CountTransitions(Trace({0.2, 0.2, 0.8, 0.8, 0.8, 0.2}), 3);
  EXPECT_EQ(counts.levels, (std::vector<double>{0.2, 0.8}));
  EXPECT_EQ(counts.framesWithNext, (std::vector<std::int64_t>{2, 3}));
  EXPECT_EQ(counts.dwells, (std::vector<std::int64_t>{2, 1}));
  const TransitionRecords records = ReportRecords(counts, 3);
  ASSERT_EQ(records.size(), 9u);
  ExpectRecord(records, 0, {0.2, 0.2, 1.0 / 2, 1.5, 1});  // leaving 0.2: 1 of 2
  ExpectRecord(records, 1, {0.2, 0.8, 1.0 / 2, 1.5, 1});
  ExpectRecord(records, 3, {0.8, 0.2, 1.0 / 3, 3, 1});
  ExpectRecord(records, 4, {0.8, 0.8, 1.0 / 3, 3, 1});
  for (const std::size_t unused : {2u, 5u, 6u, 7u, 8u}) ExpectRecord(records, unused, {0, 0, 0, 0, 0});
}

// 0.5 0.5 0.5 0.1 0.5 0.5: level 0.1 (slot 0) is one frame, which has a next frame and leaves.
TEST(ImportCounting, ALevelVisitedOnce) {
  const TransitionRecords records = ReportRecords(CountTransitions(Trace({0.5, 0.5, 0.5, 0.1, 0.5, 0.5}), 2), 2);
  ExpectRecord(records, 0, {0.1, 0.1, 1, 1, 1});
  ExpectRecord(records, 1, {0.1, 0.5, 1, 1, 1});
  ExpectRecord(records, 2, {0.5, 0.1, 1.0 / 4, 2.5, 1});  // 3 + 1 frames with a next one
  ExpectRecord(records, 3, {0.5, 0.5, 1.0 / 4, 2.5, 1});
}

// A molecule that never leaves its level still has its record: no transitions, rate 0, one
// dwell of all five frames. A level only at the last frame has no frame to leave from.
TEST(ImportCounting, AMoleculeThatNeverLeavesAndALevelOnlyAtTheEnd) {
  const TransitionRecords still = ReportRecords(CountTransitions(Trace({0.3, 0.3, 0.3, 0.3, 0.3}), 2), 2);
  ExpectRecord(still, 0, {0.3, 0.3, 0, 5, 0});
  for (const std::size_t unused : {1u, 2u, 3u}) ExpectRecord(still, unused, {0, 0, 0, 0, 0});

  const TransitionRecords last = ReportRecords(CountTransitions(Trace({0.3, 0.3, 0.7}), 2), 2);
  ExpectRecord(last, 1, {0.3, 0.7, 1.0 / 2, 2, 1});
  ExpectRecord(last, 3, {0.7, 0.7, 0, 1, 0});
}

// a a b b b c a c c b a a: dwells a2 b3 c1 a1 c2 b1 a2, each of the six steps once.
// Frames with a next one: a 2 + 1 + 1 = 4, b 3 + 1 = 4, c 1 + 2 = 3 (11 pairs in 12 frames).
// Mean dwells: a (2 + 1 + 2) / 3, b (3 + 1) / 2, c (1 + 2) / 2.
TEST(ImportCounting, ThreeLevelsWithEveryPair) {
  const double a = 0.1, b = 0.5, c = 0.9;
  const LevelCounts counts = CountTransitions(Trace({a, a, b, b, b, c, a, c, c, b, a, a}), 3);
  EXPECT_EQ(counts.frames, 12);
  const TransitionRecords records = ReportRecords(counts, 4);
  const double dwellA = 5.0 / 3, dwellB = 2, dwellC = 1.5;
  ExpectRecord(records, 0, {a, a, 2.0 / 4, dwellA, 2});
  ExpectRecord(records, 1, {a, b, 1.0 / 4, dwellA, 1});
  ExpectRecord(records, 2, {a, c, 1.0 / 4, dwellA, 1});
  ExpectRecord(records, 4, {b, a, 1.0 / 4, dwellB, 1});
  ExpectRecord(records, 5, {b, b, 2.0 / 4, dwellB, 2});
  ExpectRecord(records, 6, {b, c, 1.0 / 4, dwellB, 1});
  ExpectRecord(records, 8, {c, a, 1.0 / 3, dwellC, 1});
  ExpectRecord(records, 9, {c, b, 1.0 / 3, dwellC, 1});
  ExpectRecord(records, 10, {c, c, 2.0 / 3, dwellC, 2});
  for (const std::size_t unused : {3u, 7u, 11u, 12u, 15u}) ExpectRecord(records, unused, {0, 0, 0, 0, 0});
}

// Values within 1e-9 of each other are one level, and frames that alternate between them one
// dwell; 2e-9 apart they are two levels. Beyond the levels asked for, nothing is counted.
TEST(ImportCounting, NearlyEqualValuesAreOneLevel) {
  const double near = 0.5 + 4e-10, apart = 0.5 + 2e-9;
  const LevelCounts one = CountTransitions(Trace({0.5, near, 0.5, near, 0.5}), 2);
  EXPECT_EQ(one.levels, std::vector<double>{0.5});
  EXPECT_EQ(one.dwells, std::vector<std::int64_t>{1});
  EXPECT_EQ(one.Steps(0, 0), 0);
  const LevelCounts two = CountTransitions(Trace({0.5, apart, 0.5}), 2);
  EXPECT_EQ(two.levels, (std::vector<double>{0.5, apart}));
  EXPECT_EQ(two.Steps(0, 1), 1);
  const LevelCounts many = CountTransitions(Trace({0.1, 0.2, 0.3}), 2);
  EXPECT_EQ(many.LevelCount(), 3u);
  EXPECT_TRUE(many.steps.empty());
}

}  // namespace
