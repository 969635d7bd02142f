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

// Four molecules of two states counted by hand, 2 x 2 records each, level a's row at a x 2:
// 20 frames in state 1 with 2 steps to 2; 10 frames in state 1 left only for a level of no state
// (1.2); a last stay in state 1 that was never left, 5 frames, which the records cannot know; and
// a molecule only ever in state 2.
TEST(PooledRate, IsAllTransitionsOverAllFramesSpentInTheInitialState) {
  TransitionRecords records;
  for (const TransitionRecord& r : {TransitionRecord{0.2, 0.2, 0.1, 10, 2}, {0.2, 0.8, 0.1, 10, 2},
                                    {0.8, 0.2, 0.5, 2, 1}, {0.8, 0.8, 0.5, 2, 1},      // 2 steps in 20 frames
                                    {0.2, 0.2, 0.1, 10, 1}, {0.2, 1.2, 0.1, 10, 1},    // none in 10
                                    {0, 0, 0, 0, 0}, {1.2, 1.2, 0, 3, 0},
                                    {0.2, 0.2, 0, 6, 0}, {0, 0, 0, 0, 0},              // frames unknown
                                    {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0},
                                    {0.8, 0.8, 0, 7, 0}, {0, 0, 0, 0, 0},              // never in state 1
                                    {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}})
    records.push_back(r);
  const PooledCount count = PooledCountOf(records, kPerMolecule, OneToTwo());
  EXPECT_EQ(count.transitions, 2.0);
  EXPECT_DOUBLE_EQ(count.frames, 30.0);
  EXPECT_EQ(count.unknown, 1);
  EXPECT_DOUBLE_EQ(*PooledRate(records, kPerMolecule, OneToTwo(), kExposure), 2.0 / 30.0 / kExposure);
  // What the dwells know: the third molecule's 5 frames count too.
  const StateFrames known = {20.0, 10.0, 5.0, 0.0};
  EXPECT_DOUBLE_EQ(*PooledRate(records, kPerMolecule, OneToTwo(), kExposure, &known), 2.0 / 35.0 / kExposure);
  EXPECT_EQ(PooledCountOf(records, kPerMolecule, OneToTwo(), &known).unknown, 0);
  // 2->1 counts the frames of state 2: the first molecule's 2 and the last's, which are unknown.
  const ClassRule twoToOne{1, 0, 2, {0.5, 1.0}, true, {}};
  EXPECT_DOUBLE_EQ(*PooledRate(records, kPerMolecule, twoToOne, kExposure), 1.0 / 2.0 / kExposure);
  EXPECT_EQ(PooledCountOf(records, kPerMolecule, twoToOne).unknown, 1);
  EXPECT_EQ(ContributingMolecules(records, kPerMolecule, OneToTwo()), 1);
  // 2->2 holds the records that stand for leaving state 2: the exit rate.
  EXPECT_DOUBLE_EQ(*PooledRate(records, kPerMolecule, {1, 1, 2, {0.5, 1.0}, true, {}}, kExposure), 0.5 / kExposure);
  EXPECT_FALSE(PooledRate(records, kPerMolecule, {0, 1, 2, {0.1, 1.0}, true, {}}, kExposure));  // no 1->2 at all
  // The interval's replicates count the same frames.
  const ClassUncertainty u = EstimateUncertainty(records, kPerMolecule, OneToTwo(), kExposure, 10);
  EXPECT_DOUBLE_EQ(*u.pooledRate, 2.0 / 30.0 / kExposure);
  EXPECT_EQ(u.framesUnknown, 1);
}

// Molecules that are all alike give every replicate the very data of the fit: no spread.
TEST(Bootstrap, IdenticalMoleculesGiveAnIntervalOfNoWidth) {
  TransitionRecords alike;
  for (int m = 0; m < 30; ++m)
    for (double rate : {0.02, 0.03, 0.05, 0.03}) alike.push_back({0.2, 0.8, rate, 0, 1});
  const auto fitted = FittedRate(alike, OneToTwo(), kExposure);
  ASSERT_TRUE(fitted);
  const ClassUncertainty u = EstimateUncertainty(alike, kPerMolecule, OneToTwo(), kExposure, 200);
  ASSERT_TRUE(u.Rate() && u.Pooled() && u.pooledRate);
  EXPECT_EQ(u.failed, 0);
  EXPECT_EQ(u.Rate()->low, u.Rate()->high);
  EXPECT_NEAR(u.Rate()->low, *fitted, kStartRoundingShare * *fitted);
  EXPECT_EQ(u.Pooled()->low, u.Pooled()->high);
  EXPECT_NEAR(u.Pooled()->low, *u.pooledRate, 1e-12 * *u.pooledRate);
  EXPECT_DOUBLE_EQ(*u.pooledRate, 4.0 / (50.0 + 100.0 / 3) / kExposure);  // n / p of each level's (a, a)
  EXPECT_EQ(u.molecules, 30);
  // Both kinds: every replicate ties with the estimate (z0 = 0), and no molecule differs (a = 0).
  ASSERT_TRUE(u.rateKinds.bca && u.rateKinds.percentile && u.pooledKinds.bca);
  EXPECT_EQ(u.rateKinds.bca->low, u.rateKinds.percentile->low);
  EXPECT_EQ(u.rateKinds.bca->high, u.rateKinds.percentile->low);
  EXPECT_EQ(u.rateAcceleration, 0.0);
  EXPECT_EQ(u.pooledAcceleration, 0.0);
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
  ASSERT_TRUE(u.Rate());
  EXPECT_LE(u.Rate()->low, std::min(*fitWith, *fitWithout));
  EXPECT_GE(u.Rate()->high, std::max(*fitWith, *fitWithout));
  EXPECT_LT(u.Rate()->low, u.Rate()->high);
}

// The draws depend on the class and the replicate alone: any number of threads, every run alike.
TEST(Bootstrap, IsTheSameOnEveryRunAndAnyNumberOfThreads) {
  TransitionRecords records;
  for (int m = 0; m < 25; ++m) AddMolecule(records, 0.01 + 0.002 * m, 1 + m % 4);
  const ClassUncertainty one = EstimateUncertainty(records, kPerMolecule, OneToTwo(), kExposure, 100, 1);
  const ClassUncertainty three = EstimateUncertainty(records, kPerMolecule, OneToTwo(), kExposure, 100, 3);
  ASSERT_TRUE(one.Rate() && three.Rate() && one.Pooled() && three.Pooled());
  EXPECT_EQ(one.Rate()->low, three.Rate()->low);
  EXPECT_EQ(one.Rate()->high, three.Rate()->high);
  EXPECT_EQ(one.Pooled()->low, three.Pooled()->low);
  EXPECT_EQ(one.failed, three.failed);
  // The jackknife's groups too depend on the molecules alone.
  ASSERT_TRUE(one.rateKinds.bca && three.rateKinds.bca && one.pooledKinds.bca && three.pooledKinds.bca);
  EXPECT_EQ(one.rateAcceleration, three.rateAcceleration);
  EXPECT_EQ(one.rateKinds.bca->low, three.rateKinds.bca->low);
  EXPECT_EQ(one.rateKinds.bca->high, three.rateKinds.bca->high);
  EXPECT_EQ(one.pooledKinds.bca->high, three.pooledKinds.bca->high);
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
      EXPECT_NEAR(*replicate.pooled, *PooledRate(rebuilt, kPerMolecule, rule, kExposure), 1e-12 * *replicate.pooled) << b;
    }
  }
  // Drawn so that the class would pass the class lists' limit, it is no replicate at all.
  TransitionRecords huge = {{0.2, 0.8, 0.05, 0, 3e7}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
  const ReplicateRates over = ReplicateOf(huge, kPerMolecule, OneToTwo(), {0, 0}, kExposure);
  EXPECT_FALSE(over.fitted || over.pooled);
  EXPECT_TRUE(ReplicateOf(huge, kPerMolecule, OneToTwo(), {0}, kExposure).fitted);
}

// ---- the BCa interval ------------------------------------------------------------------

// The normal quantile against the values of a table (computed apart, to 16 digits), and as the
// inverse of the normal share on both sides of the point where its approximation changes.
TEST(NormalQuantile, IsTheInverseOfTheNormalShareFromTheCentreToTheFarTails) {
  EXPECT_NEAR(NormalQuantile(0.975), 1.9599639845400536, 1e-14);
  EXPECT_NEAR(NormalQuantile(0.6), 0.2533471031357998, 1e-14);
  EXPECT_NEAR(NormalQuantile(0.3), -0.5244005127080407, 1e-14);
  EXPECT_NEAR(NormalQuantile(0.001), -3.090232306167813, 1e-13);
  EXPECT_NEAR(NormalQuantile(0.9999), 3.7190164854557084, 1e-12);
  EXPECT_NEAR(NormalQuantile(1e-12), -7.034483825301132, 1e-12);
  EXPECT_EQ(NormalQuantile(0.5), 0.0);
  EXPECT_EQ(NormalQuantile(0.0), -INFINITY);
  EXPECT_EQ(NormalQuantile(1.0), INFINITY);
  for (double share : {1e-300, 1e-9, 0.0242, 0.02425, 0.0243, 0.1, 0.49, 0.51, 0.97575, 0.99, 1 - 1e-9})
    EXPECT_NEAR(NormalShare(NormalQuantile(share)), share, 1e-14 * std::max(share, 1e-2)) << share;
}

// With no bias and no acceleration the BCa interval is the percentile interval; with both, its
// ends lie at shares worked out apart (z0 = z(0.6), a = 0.1: Phi(z0 + (z0 + z_q) / (1 - a (z0 +
// z_q))) = 0.114203 and 0.999019), and a rate that grows with its spread (a > 0) stretches the
// interval upwards.
TEST(BcaInterval, IsThePercentileIntervalWithoutBiasOrAccelerationAndMovesWithThem) {
  std::vector<double> values;
  for (int v = 998; v >= 0; --v) values.push_back(v);  // any order
  const auto percentile = PercentileInterval(values);
  const auto plain = BcaInterval(values, 499.0, 0.0);  // 499 below, one equal: z0 = 0
  ASSERT_TRUE(percentile && plain);
  EXPECT_NEAR(plain->low, percentile->low, 1e-9);
  EXPECT_NEAR(plain->high, percentile->high, 1e-9);
  EXPECT_NEAR(percentile->low, 0.025 * 998, 1e-9);

  std::vector<double> thousand;
  for (int v = 1; v <= 1000; ++v) thousand.push_back(v);  // the point at share s is 1 + 999 s
  const auto moved = BcaInterval(thousand, 600.5, 0.1);   // 600 below: z0 = z(0.6)
  ASSERT_TRUE(moved);
  EXPECT_NEAR(moved->low, 1 + 999 * 0.11420295403892644, 1e-8);
  EXPECT_NEAR(moved->high, 1 + 999 * 0.9990185075970077, 1e-8);
  // The estimate beyond every replicate: z0 stays finite, at half a replicate inside.
  const auto beyond = BcaInterval(thousand, 5000.0, 0.0);
  ASSERT_TRUE(beyond);
  EXPECT_GT(beyond->low, 1.0);
  EXPECT_LE(beyond->high, 1000.0);
  EXPECT_FALSE(BcaInterval({}, 1.0, 0.0));
}

// For the mean, the jackknife's acceleration is the classical skewness / (6 sqrt n): the
// estimates with one value left out are (n mean - x_i) / (n - 1).
TEST(JackknifeAcceleration, OfTheMeanIsTheSamplesSkewnessOverSixRootN) {
  const std::vector<double> x = {1, 2, 2, 3, 4, 10, 0.5};
  const double n = static_cast<double>(x.size());
  double mean = 0.0;
  for (double v : x) mean += v / n;
  double m2 = 0.0, m3 = 0.0;
  for (double v : x) {
    m2 += (v - mean) * (v - mean) / n;
    m3 += (v - mean) * (v - mean) * (v - mean) / n;
  }
  std::vector<double> leftOut, mirrored;
  for (double v : x) {
    leftOut.push_back((n * mean - v) / (n - 1));
    mirrored.push_back(-(n * mean - v) / (n - 1));
  }
  const double a = JackknifeAcceleration(leftOut);
  EXPECT_NEAR(a, m3 / std::pow(m2, 1.5) / (6 * std::sqrt(n)), 1e-12);
  EXPECT_GT(a, 0.0);  // skewed to the right
  EXPECT_NEAR(JackknifeAcceleration(mirrored), -a, 1e-12);
  EXPECT_EQ(JackknifeAcceleration({2.0, 2.0, 2.0}), 0.0);
}

// The BCa interval of a class, made again by hand: the replicates' rates from their drawn
// molecules, the estimate on all of them, and the jackknife of 100 groups, the k-th molecule of
// the class in group k mod 100, each group's estimate the class rebuilt from the records of the
// molecules left. The pooled rate's groups are of every molecule with frames in state 1: also
// those that stay in it, stepping between two of its levels, and never step to 2.
TEST(Bootstrap, TheBcaIntervalIsTheReplicatesMovedByTheirBiasAndAGroupedJackknife) {
  TransitionRecords records;
  for (int m = 0; m < 230; ++m) {
    if (m % 9 == 4) {  // in no 1->2 record
      for (int r = 0; r < 4; ++r) records.push_back({0.8, 0.8, 0.05, 0, 1});
      continue;
    }
    if (m % 9 == 7) {  // 1/0.1 + 1/0.2 = 15 frames in state 1, at levels 0.2 and 0.3, and no step to 2
      for (const TransitionRecord& r : {TransitionRecord{0.2, 0.2, 0.1, 0, 1}, {0.2, 0.3, 0.1, 0, 1},
                                        {0.3, 0.2, 0.2, 0, 1}, {0.3, 0.3, 0.2, 0, 1}})
        records.push_back(r);
      continue;
    }
    AddMolecule(records, 0.03 * std::exp(0.5 * std::sin(2.3 * m) + 0.3 * (m % 7 == 0)), 1 + m % 4);
  }
  const std::size_t molecules = records.size() / kPerMolecule;
  constexpr int kReplicates = 300;
  const ClassUncertainty u = EstimateUncertainty(records, kPerMolecule, OneToTwo(), kExposure, kReplicates);
  ASSERT_GT(u.molecules, kJackknifeGroups);
  ASSERT_TRUE(u.rateKinds.bca && u.pooledKinds.bca && u.Rate() && u.Pooled());
  EXPECT_EQ(u.Rate()->low, u.rateKinds.Of(kDefaultIntervalKind)->low);

  std::vector<double> fitted, pooled;
  for (int b = 0; b < kReplicates; ++b) {
    const ReplicateRates r =
        ReplicateOf(records, kPerMolecule, OneToTwo(), ReplicateDraws(OneToTwo(), b, molecules), kExposure);
    fitted.push_back(*r.fitted);
    pooled.push_back(*r.pooled);
  }
  std::vector<std::size_t> inClass, inState1;
  for (std::size_t m = 0; m < molecules; ++m) {
    if (InClass(records[m * kPerMolecule + 1], OneToTwo())) inClass.push_back(m);
    if (records[m * kPerMolecule].initial == 0.2) inState1.push_back(m);
  }
  ASSERT_GT(inState1.size(), inClass.size());
  // Every molecule but those of group g of `members`.
  const auto without = [&](const std::vector<std::size_t>& members, std::size_t g) {
    std::vector<bool> out(molecules);
    for (std::size_t k = g; k < members.size(); k += kJackknifeGroups) out[members[k]] = true;
    TransitionRecords kept;
    for (std::size_t m = 0; m < molecules; ++m)
      if (!out[m])
        for (std::size_t r = 0; r < kPerMolecule; ++r) kept.push_back(records[m * kPerMolecule + r]);
    return kept;
  };
  std::vector<double> fittedLeftOut, pooledLeftOut;
  for (std::size_t g = 0; g < kJackknifeGroups; ++g) {
    fittedLeftOut.push_back(*FittedRate(without(inClass, g), OneToTwo(), kExposure));
    pooledLeftOut.push_back(*PooledRate(without(inState1, g), kPerMolecule, OneToTwo(), kExposure));
  }
  const double a = JackknifeAcceleration(fittedLeftOut);
  EXPECT_NEAR(u.rateAcceleration, a, 1e-3 * std::abs(a));
  EXPECT_NEAR(u.pooledAcceleration, JackknifeAcceleration(pooledLeftOut), 1e-9 * std::abs(u.pooledAcceleration));
  const auto rate = BcaInterval(fitted, *FittedRate(records, OneToTwo(), kExposure), a);
  const auto pooledInterval = BcaInterval(pooled, *u.pooledRate, JackknifeAcceleration(pooledLeftOut));
  EXPECT_NEAR(u.rateKinds.bca->low, rate->low, 1e-6 * rate->low);
  EXPECT_NEAR(u.rateKinds.bca->high, rate->high, 1e-6 * rate->high);
  EXPECT_NEAR(u.pooledKinds.bca->low, pooledInterval->low, 1e-9 * pooledInterval->low);
  EXPECT_NEAR(u.pooledKinds.bca->high, pooledInterval->high, 1e-9 * pooledInterval->high);
  // Of the same replicates, the BCa interval is not the percentile one.
  EXPECT_NE(u.pooledKinds.bca->low, u.pooledKinds.percentile->low);
}

}  // namespace
