// The uncertainty of a class's rate: the pooled estimate by hand, and the bootstrap interval on
// cases whose answer is known without it.
#include <gtest/gtest.h>

#include <cmath>

#include "fit/bootstrap.h"

namespace {

constexpr std::size_t kPerMolecule = 4;  // 2 x 2 records a molecule
constexpr double kExposure = 0.1;

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
  EXPECT_EQ(u.rate->low, *fitted);
  EXPECT_EQ(u.rate->high, *fitted);
  EXPECT_EQ(u.pooled->low, *u.pooledRate);
  EXPECT_EQ(u.pooled->high, *u.pooledRate);
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

}  // namespace
