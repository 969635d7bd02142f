// The dwells of levels put into states, their histogram and survival curve, and the per-frame
// correction of rates: cases worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "dwell/dwelltimes.h"

namespace {

Cutoffs CutoffsOf(std::initializer_list<double> values) {
  Cutoffs cutoffs{};
  std::size_t k = 0;
  for (double v : values) cutoffs[k++] = v;
  return cutoffs;
}

MoleculeDwells Molecule(std::vector<LevelDwell> dwells) {
  std::int64_t start = 1;
  for (LevelDwell& dwell : dwells) {
    dwell.start = start;
    start += dwell.frames;
  }
  return {"m", dwells};
}

void ExpectDwell(const StateDwell& dwell, int state, std::int64_t frames, bool cutAtStart, bool cutAtEnd, int next) {
  EXPECT_EQ(dwell.state, state);
  EXPECT_EQ(dwell.frames, frames);
  EXPECT_EQ(dwell.cutAtStart, cutAtStart);
  EXPECT_EQ(dwell.cutAtEnd, cutAtEnd);
  EXPECT_EQ(dwell.next, next);
}

TEST(DwellsInStates, MergesBackToBackLevelsOfOneStateKeepingTheFirstStartCutAndTheLastEndCut) {
  // Levels 0.2 and 0.3 both lie in state 0 (cutoff 0.5): one dwell of 3 + 4 frames.
  const DwellTable table = {Molecule({{0.2, 0, 3, true, false},
                                      {0.3, 0, 4, false, false},
                                      {0.8, 0, 2, false, false},
                                      {0.1, 0, 5, false, false},
                                      {0.4, 0, 1, false, true}})};
  const StateDwells dwells = DwellsInStates(table, 2, CutoffsOf({0.5, 1.0}));
  ASSERT_EQ(dwells.size(), 1u);
  ASSERT_EQ(dwells[0].size(), 3u);
  ExpectDwell(dwells[0][0], 0, 7, true, false, 1);
  ExpectDwell(dwells[0][1], 1, 2, false, false, 0);
  ExpectDwell(dwells[0][2], 0, 6, false, true, -1);
}

TEST(DwellsInStates, ALevelOfNoStateCutsTheDwellsOnBothSidesAndIsNoDwellItself) {
  // 0.9 lies above both cutoffs (0.5, 0.7): the dwell before it is cut at its end (and was not
  // left for any state), the one after it cut at its start.
  const DwellTable table = {Molecule({{0.2, 0, 3, true, false},
                                      {0.9, 0, 4, false, false},
                                      {0.6, 0, 2, false, false},
                                      {0.3, 0, 1, false, true}})};
  const StateDwells dwells = DwellsInStates(table, 2, CutoffsOf({0.5, 0.7}));
  ASSERT_EQ(dwells[0].size(), 3u);
  ExpectDwell(dwells[0][0], 0, 3, true, true, -1);
  ExpectDwell(dwells[0][1], 1, 2, true, false, 0);
  ExpectDwell(dwells[0][2], 0, 1, false, true, -1);
}

TEST(DwellsInStates, KeepsEveryMoleculeInTableOrderEvenOneWithNoDwellInAnyState) {
  // The third molecule's two levels of one state would make one dwell longer than any count
  // holds: it is no trace, and gets no dwells rather than a wrapped length.
  constexpr std::int64_t kHalf = std::numeric_limits<std::int64_t>::max() / 2 + 1;
  const DwellTable table = {Molecule({{0.9, 0, 5, true, true}}), Molecule({{0.2, 0, 5, true, true}}),
                            {"huge", {{0.2, 1, kHalf, true, false}, {0.3, 1, kHalf, false, true}}}};
  const StateDwells dwells = DwellsInStates(table, 1, CutoffsOf({0.5}));
  ASSERT_EQ(dwells.size(), 3u);
  EXPECT_TRUE(dwells[0].empty());
  ASSERT_EQ(dwells[1].size(), 1u);
  ExpectDwell(dwells[1][0], 0, 5, true, true, -1);
  EXPECT_TRUE(dwells[2].empty());
}

// State 0's dwells: whole 1, 2, 2, 3 and one cut after 2 frames.
StateDwells SmallState() {
  return {{{0, 1, false, false, 1}, {1, 9, false, false, 0}, {0, 2, false, false, 1}, {1, 9, false, false, 0},
           {0, 2, false, true, -1}},
          {{0, 2, false, false, 1}, {1, 1, false, false, 0}, {0, 3, false, false, 1}, {1, 4, false, true, -1}}};
}

TEST(DwellSurvival, IsTheProductLimitEstimateWithTheCutDwellStillAtRiskAtItsOwnLength) {
  // At 1 frame 5 dwells are going and 1 ends: 4/5. At 2, 4 are going (2, 2, 3 and the cut 2)
  // and 2 end: 4/5 x 2/4 = 0.4. At 3 one is going and it ends: 0.
  const StateDwellTimes times = AnalyseState(SmallState(), 0, CutDwells::kCensor);
  const std::vector<std::int64_t> frames = {0, 1, 2, 3};
  EXPECT_EQ(times.survival.frames, frames);
  ASSERT_EQ(times.survival.surviving.size(), 4u);
  EXPECT_DOUBLE_EQ(times.survival.surviving[0], 1.0);
  EXPECT_DOUBLE_EQ(times.survival.surviving[1], 0.8);
  EXPECT_DOUBLE_EQ(times.survival.surviving[2], 0.4);
  EXPECT_DOUBLE_EQ(times.survival.surviving[3], 0.0);
}

TEST(DwellSurvival, WithCutDwellsDroppedIsTheShareOfWholeDwellsLongerThanEachLength) {
  const StateDwellTimes times = AnalyseState(SmallState(), 0, CutDwells::kDrop);
  ASSERT_EQ(times.survival.surviving.size(), 4u);
  EXPECT_DOUBLE_EQ(times.survival.surviving[1], 0.75);
  EXPECT_DOUBLE_EQ(times.survival.surviving[2], 0.25);
  EXPECT_DOUBLE_EQ(times.survival.surviving[3], 0.0);
  EXPECT_EQ(times.dwells, 4);
  EXPECT_EQ(times.cut, 0);
  EXPECT_EQ(times.leftOut, 1);
  EXPECT_EQ(times.molecules, 2);
}

TEST(DwellHistogram, TakesTheFewestWholeFramesPerBinThatKeepItToSixtyBins) {
  // The longest dwell, 130 frames, needs bins of ceil(130 / 60) = 3 frames: 44 bins, the last
  // holding 130 alone. Lengths 1-3 share bin 0, 4 starts bin 1.
  StateDwells dwells = {{{0, 3, false, false, 1}, {1, 1, false, false, 0}, {0, 4, false, false, 1},
                         {1, 1, false, false, 0}, {0, 130, false, true, -1}}};
  const DwellHistogram histogram = AnalyseState(dwells, 0, CutDwells::kCensor).histogram;
  EXPECT_EQ(histogram.binFrames, 3);
  ASSERT_EQ(histogram.whole.size(), 44u);
  ASSERT_EQ(histogram.cut.size(), 44u);
  EXPECT_EQ(histogram.whole[0], 1);
  EXPECT_EQ(histogram.whole[1], 1);
  EXPECT_EQ(histogram.cut[43], 1);
  EXPECT_EQ(histogram.whole[43], 0);
}

TEST(FrameCorrectedRates, ScaleEachChanceByMinusLnOfTheChanceOfStayingOverTheChanceOfLeaving) {
  // P = 0.5: k_j = ln 2 p_j / 0.5.
  const std::vector<double> perFrame = {0.0, 0.2, 0.3};
  const auto rates = FrameCorrectedRates(perFrame);
  ASSERT_TRUE(rates);
  ASSERT_EQ(rates->size(), 3u);
  EXPECT_DOUBLE_EQ((*rates)[0], 0.0);
  EXPECT_NEAR((*rates)[1], 0.27725887222397812, 1e-15);
  EXPECT_NEAR((*rates)[2], 0.41588830833596718, 1e-15);
}

TEST(FrameCorrectedRates, TendToTheChancesThemselvesAsTheyVanishAndRefuseImpossibleChances) {
  const std::vector<double> tiny = {1e-12, 2e-12};
  const auto rates = FrameCorrectedRates(tiny);
  ASSERT_TRUE(rates);
  EXPECT_NEAR((*rates)[1] / 2e-12, 1.0, 1e-11);
  const std::vector<double> none = {0.0, 0.0};
  EXPECT_EQ(*FrameCorrectedRates(none), none);
  const std::vector<double> certain = {0.6, 0.4};
  EXPECT_FALSE(FrameCorrectedRates(certain));
  const std::vector<double> negative = {0.1, -0.01};
  EXPECT_FALSE(FrameCorrectedRates(negative));
  const std::vector<double> nan = {0.1, std::nan("")};
  EXPECT_FALSE(FrameCorrectedRates(nan));
}

}  // namespace
