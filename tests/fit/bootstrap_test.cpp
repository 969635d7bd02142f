// The uncertainty of a class's rate: the pooled estimate by hand, and the bootstrap interval on
// cases whose answer is known without it.
#include <gtest/gtest.h>

#include <cmath>

#include "fit/bootstrap.h"
#include "fit/gaussfit.h"
#include "selection/classlists.h"

namespace {

constexpr std::size_t kPerMolecule = 4;  // 2 x 2 records a molecule
constexpr double kExposure = 0.1;

// A replicate's fit starts from the mean ln v summed molecule by molecule, where a class list
// sums it value by value: the start differs in its last bits, and the fit, which runs until a
// sweep gains nothing, ends within this share of the rate the list's fit gives.
constexpr double kStartRoundingShare = 1e-7;

// Class 1->2 of 2 states (cutoffs 0.5, 1): records 0.2 -> 0.8 of the molecules.
ClassRule OneToTwo() { return {0, 1, 2, {0.5, 1.0}, true, {}}; }

// A molecule whose 1->2 record has rate per frame `rate` and `count` transitions, and its other
// records in other classes or empty.
void AddMolecule(TransitionRecords& records, double rate, double count) {
  records.push_back({0.2, 0.2, 0.9, 0, 5});
  records.push_back({0.2, 0.8, rate, 0, count});
  records.push_back({0.8, 0.2, 0.03, 0, 2});
  records.push_back({0, 0, 0, 0, 0});
}

TEST(PooledRate, IsAllTransitionsOverAllFramesSpent) {
  TransitionRecords records;
  AddMolecule(records, 0.1, 2);  // 2 transitions in 20 frames
  AddMolecule(records, 0.5, 1);  // 1 in 2
  AddMolecule(records, 0.0, 3);  // a rate of 0 takes no part
  const auto pooled = PooledRate(records, OneToTwo(), kExposure);
  ASSERT_TRUE(pooled);
  EXPECT_DOUBLE_EQ(*pooled, 3.0 / 22.0 / kExposure);
  EXPECT_EQ(ContributingMolecules(records, kPerMolecule, OneToTwo()), 3);
  EXPECT_FALSE(PooledRate(records, {1, 1, 2, {0.5, 1.0}, true, {}}, kExposure));  // 2->2 holds nothing
}

// Molecules that are all alike give every replicate the very data of the fit: no spread.
TEST(Bootstrap, IdenticalMoleculesGiveAnIntervalOfNoWidth) {
  TransitionRecords alike;
  for (int m = 0; m < 30; ++m)
    for (double rate : {0.02, 0.03, 0.05, 0.03}) alike.push_back({0.2, 0.8, rate, 0, 1});
  const auto fitted = FittedRate(alike, OneToTwo(), kExposure);
  ASSERT_TRUE(fitted);
  const ClassUncertainty u = EstimateUncertainty(alike, kPerMolecule, OneToTwo(), kExposure, 200);
  ASSERT_TRUE(u.rate && u.pooled && u.pooledRate);
  EXPECT_EQ(u.failed, 0);
  EXPECT_EQ(u.rate->low, u.rate->high);
  EXPECT_NEAR(u.rate->low, *fitted, kStartRoundingShare * *fitted);
  EXPECT_EQ(u.pooled->low, u.pooled->high);
  EXPECT_NEAR(u.pooled->low, *u.pooledRate, 1e-12 * *u.pooledRate);
  EXPECT_DOUBLE_EQ(*u.pooledRate, 4.0 / (50.0 + 2 * 100.0 / 3 + 20.0) / kExposure);
  EXPECT_EQ(u.molecules, 30);
}

// One molecule far from the others: the interval holds the fit with it and the fit without it.
TEST(Bootstrap, AnOutlyingMoleculeIsWithinTheInterval) {
  TransitionRecords without;
  for (int m = 0; m < 40; ++m) AddMolecule(without, 0.04 * std::exp(0.3 * std::sin(m)), 1 + m % 3);
  TransitionRecords with = without;
  AddMolecule(with, 0.4, 3);
  const auto fitWithout = FittedRate(without, OneToTwo(), kExposure);
  const auto fitWith = FittedRate(with, OneToTwo(), kExposure);
  ASSERT_TRUE(fitWithout && fitWith);
  const ClassUncertainty u = EstimateUncertainty(with, kPerMolecule, OneToTwo(), kExposure, 400);
  ASSERT_TRUE(u.rate);
  EXPECT_LE(u.rate->low, std::min(*fitWith, *fitWithout));
  EXPECT_GE(u.rate->high, std::max(*fitWith, *fitWithout));
  EXPECT_LT(u.rate->low, u.rate->high);
}

// The draws depend on the class and the replicate alone: any number of threads, every run alike.
TEST(Bootstrap, IsTheSameOnEveryRunAndAnyNumberOfThreads) {
  TransitionRecords records;
  for (int m = 0; m < 25; ++m) AddMolecule(records, 0.01 + 0.002 * m, 1 + m % 4);
  const ClassUncertainty one = EstimateUncertainty(records, kPerMolecule, OneToTwo(), kExposure, 100, 1);
  const ClassUncertainty three = EstimateUncertainty(records, kPerMolecule, OneToTwo(), kExposure, 100, 3);
  ASSERT_TRUE(one.rate && three.rate && one.pooled && three.pooled);
  EXPECT_EQ(one.rate->low, three.rate->low);
  EXPECT_EQ(one.rate->high, three.rate->high);
  EXPECT_EQ(one.pooled->low, three.pooled->low);
  EXPECT_EQ(one.failed, three.failed);
}

// A replicate is the class the drawn molecules make: the same as rebuilding the class list from
// their records, drawn in that order, and fitting it. Weighted records of many transitions, rates
// outside the histogram or the fit's range, molecules with two records or none in the class.
TEST(Bootstrap, AReplicateIsTheClassListRebuiltFromItsDrawnMolecules) {
  TransitionRecords records;
  for (int m = 0; m < 24; ++m) {
    const double rate = 0.03 * std::exp(0.4 * std::sin(1.7 * m));
    records.push_back({0.2, 0.8, rate, 0, 1.0 + m % 5 * 250.5});
    records.push_back({0.3, 0.7, m % 3 == 0 ? 1.5 : rate * 1.3, 0, 2});  // 1.5: in no bin, out of range
    records.push_back({0.8, 0.2, 0.03, 0, 2});
    records.push_back(m % 4 == 0 ? TransitionRecord{0.2, 0.8, 4e-5, 0, 1} : TransitionRecord{0, 0, 0, 0, 0});
  }
  for (int m = 0; m < 4; ++m)  // molecules that add nothing to the class
    for (int r = 0; r < 4; ++r) records.push_back({0.8, 0.8, 0.05, 0, 1});
  const std::size_t molecules = records.size() / kPerMolecule;
  for (const bool weighted : {true, false}) {
    ClassRule rule = OneToTwo();
    rule.weighted = weighted;
    for (int b = 0; b < 40; ++b) {
      const std::vector<std::size_t> draws = ReplicateDraws(rule, b, molecules);
      TransitionRecords rebuilt;
      for (std::size_t m : draws)
        for (std::size_t r = m * kPerMolecule; r < (m + 1) * kPerMolecule; ++r) rebuilt.push_back(records[r]);
      const std::vector<double> list = *ClassListOf(rebuilt, rule);
      const auto fit = FitGaussian(HistogramOf(list), InRangeValues(list));
      ASSERT_TRUE(fit);
      const double rate = KineticRateOf(fit->fitted, kExposure).rate;
      const ReplicateRates replicate = ReplicateOf(records, kPerMolecule, rule, draws, kExposure);
      ASSERT_TRUE(replicate.fitted && replicate.pooled);
      EXPECT_NEAR(*replicate.fitted, rate, kStartRoundingShare * rate) << b;
      EXPECT_NEAR(*replicate.pooled, *PooledRate(rebuilt, rule, kExposure), 1e-12 * *replicate.pooled) << b;
    }
  }
  // Drawn so that the class would pass the class lists' limit, it is no replicate at all.
  TransitionRecords huge = {{0.2, 0.8, 0.05, 0, 3e7}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
  const ReplicateRates over = ReplicateOf(huge, kPerMolecule, OneToTwo(), {0, 0}, kExposure);
  EXPECT_FALSE(over.fitted || over.pooled);
  EXPECT_TRUE(ReplicateOf(huge, kPerMolecule, OneToTwo(), {0}, kExposure).fitted);
}

}  // namespace
