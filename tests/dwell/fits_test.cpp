// The exponential fits of a state's dwells and the rate matrix: closed forms worked out by hand,
// and simulated states of known law.
#include <gtest/gtest.h>

#include <cmath>

#include "dwell/dwelltimes.h"
#include "dwell/exponentials.h"
#include "dwell/ratematrix.h"
#include "dwell_simulation.h"
#include "import/counting.h"

namespace {

using dwelltest::AlternatingTraces;
using dwelltest::Term;

// Half the chi-square (1 dof) 0.95 quantile: the fall of ln L at the ends of a 95 % interval.
constexpr double kHalfChiSquare95 = 1.920729410347062;

// State 0 of one molecule: whole dwells of the given lengths, then a cut one.
StateDwells OneMolecule(const std::vector<std::int64_t>& whole, std::int64_t cut) {
  std::vector<StateDwell> trace;
  for (std::int64_t length : whole) {
    trace.push_back({0, length, false, false, 1});
    trace.push_back({1, 1, false, false, 0});
  }
  trace.push_back({0, cut, false, true, -1});
  return {trace};
}

TEST(DwellFit, OneExponentialWithCensoringIsWholeDwellsOverThemPlusEveryFrameNotLeft) {
  // Whole 1, 2, 4 and cut 3: D = 3, sum of (l - 1) over all = 0 + 1 + 3 + 2 = 6, p = 3 / 9.
  const StateDwellTimes censored = AnalyseState(OneMolecule({1, 2, 4}, 3), 0, CutDwells::kCensor, 1);
  ASSERT_EQ(censored.chosen, 0);
  EXPECT_NEAR(censored.fits[0].terms[0].rate, std::log(1.5), 1e-14);
  EXPECT_DOUBLE_EQ(censored.fits[0].terms[0].amplitude, 1.0);
  // Dropped, the cut dwell's 2 frames go too: p = 3 / 7.
  const StateDwellTimes dropped = AnalyseState(OneMolecule({1, 2, 4}, 3), 0, CutDwells::kDrop, 1);
  EXPECT_NEAR(dropped.fits[0].terms[0].rate, -std::log(4.0 / 7.0), 1e-14);
  // ln L = 3 ln(1/3) + 6 ln(2/3); BIC adds (2 - 1) ln 4.
  const double logLikelihood = 3 * std::log(1.0 / 3) + 6 * std::log(2.0 / 3);
  EXPECT_NEAR(censored.fits[0].logLikelihood, logLikelihood, 1e-12);
  EXPECT_NEAR(censored.fits[0].bic, -2 * logLikelihood + std::log(4.0), 1e-12);
}

TEST(DwellFit, LeavesOutADwellCutAtTheStartEvenWhenCensoring) {
  // A trace that began during a dwell of 40 frames: adding it changes nothing.
  StateDwells dwells = OneMolecule({1, 2, 4}, 3);
  dwells.push_back({{0, 40, true, false, 1}, {1, 1, false, true, -1}});
  const StateDwellTimes times = AnalyseState(dwells, 0, CutDwells::kCensor, 1);
  EXPECT_NEAR(times.fits[0].terms[0].rate, std::log(1.5), 1e-14);
  EXPECT_EQ(times.dwells, 4);
  EXPECT_EQ(times.cut, 1);
  EXPECT_EQ(times.leftOut, 1);
  EXPECT_EQ(times.molecules, 2);
}

TEST(DwellFit, OneExponentialWithOnlyTheLastDwellCutIsTheReportsTransitionsOverFramesWithANextFrame) {
  // Levels 0.2 (state 0) and 0.8 (state 1) frame by frame; the trace's end cuts the last dwell.
  const std::vector<std::int64_t> zeros = {3, 1, 6, 2};
  std::vector<Dwell> frames;
  std::vector<StateDwell> trace;
  for (std::size_t k = 0; k < zeros.size(); ++k) {
    const bool last = k + 1 == zeros.size();
    AppendFrames(frames, 0.2, zeros[k]);
    trace.push_back({0, zeros[k], false, last, last ? -1 : 1});
    if (!last) {
      AppendFrames(frames, 0.8, 2);
      trace.push_back({1, 2, false, false, 0});
    }
  }
  const LevelCounts counts = CountTransitions(frames, 2);
  const double perFrame = static_cast<double>(counts.Steps(0, 1)) / static_cast<double>(counts.framesWithNext[0]);
  const StateDwellTimes times = AnalyseState({trace}, 0, CutDwells::kCensor, 1);
  EXPECT_NEAR(times.fits[0].terms[0].rate, -std::log1p(-perFrame), 1e-14);
}

TEST(DwellFit, OneExponentialIntervalIsWhereTheLikelihoodFallsByHalfTheChiSquareQuantile) {
  // Whole dwells 1 ... 20 and five cut after 10 frames: D = 20, T = 190 + 45 = 235, and
  // ln L(p) = D ln p + T ln(1 - p). Each end solved here by bisection on p.
  std::vector<std::int64_t> whole;
  for (int l = 1; l <= 20; ++l) whole.push_back(l);
  StateDwells dwells = OneMolecule(whole, 10);
  for (int k = 0; k < 4; ++k) dwells.push_back({{0, 10, false, true, -1}});
  const double D = 20, T = 235, best = D / (D + T);
  auto logL = [&](double p) { return D * std::log(p) + T * std::log1p(-p); };
  auto solve = [&](double inside, double outside) {
    for (int step = 0; step < 200; ++step) {
      const double middle = 0.5 * (inside + outside);
      (logL(best) - logL(middle) > kHalfChiSquare95 ? outside : inside) = middle;
    }
    return -std::log1p(-inside);
  };
  const StateDwellTimes times = AnalyseState(dwells, 0, CutDwells::kCensor, 1);
  const ExponentialTerm& term = times.fits[0].terms[0];
  EXPECT_NEAR(term.rate, -std::log1p(-best), 1e-14);
  ASSERT_TRUE(term.rateInterval);
  EXPECT_NEAR(term.rateInterval->low / solve(best, 1e-9), 1.0, 2e-4);
  EXPECT_NEAR(term.rateInterval->high / solve(best, 0.999), 1.0, 2e-4);
}

TEST(DwellFit, CountingCutDwellsAsWholeRaisesTheRateAndCensoringThemRecoversTheTruth) {
  // State 0 left with p = 0.02 a frame (mean dwell 50) in windows of 100 frames: most of its
  // dwells are cut. 400 molecules give about 1,000 whole dwells: the censored rate's standard
  // error is about 3 %.
  const double p = 0.02, truth = -std::log1p(-p);
  const StateDwells dwells = AlternatingTraces(7, 400, 100, {{1.0, p}}, {{1.0, 0.2}});
  const double censored = AnalyseState(dwells, 0, CutDwells::kCensor, 1).fits[0].terms[0].rate;
  const double dropped = AnalyseState(dwells, 0, CutDwells::kDrop, 1).fits[0].terms[0].rate;
  // Counted whole: every dwell ends where it was seen to.
  StateDwells whole = dwells;
  for (auto& trace : whole)
    for (StateDwell& dwell : trace) dwell.cutAtEnd = false;
  const double counted = AnalyseState(whole, 0, CutDwells::kCensor, 1).fits[0].terms[0].rate;
  EXPECT_NEAR(censored / truth, 1.0, 0.1);
  EXPECT_GT(counted, 1.3 * truth);
  // Dropping keeps only dwells short enough to end in the window: faster too.
  EXPECT_GT(dropped, 1.3 * truth);
}

TEST(DwellFit, RecoversAKnownTwoExponentialStateWithinItsProfileIntervalsAndBicChoosesTwo) {
  // 40 % of dwells left at p = 0.3 a frame, 60 % at 0.03; about 3,000 dwells.
  const std::vector<Term> law = {{0.4, 0.3}, {0.6, 0.03}};
  const StateDwells dwells = AlternatingTraces(11, 100, 1500, law, {{1.0, 0.2}});
  const StateDwellTimes times = AnalyseState(dwells, 0, CutDwells::kCensor);
  ASSERT_EQ(times.fits.size(), 3u);
  ASSERT_EQ(times.chosen, 1);
  const ExponentialFit& fit = times.fits[1];
  ASSERT_TRUE(fit.converged);
  ASSERT_EQ(fit.terms.size(), 2u);
  for (std::size_t c = 0; c < 2; ++c) {
    const double truth = -std::log1p(-law[c].p);
    ASSERT_TRUE(fit.terms[c].rateInterval) << c;
    EXPECT_LT(fit.terms[c].rateInterval->low, truth) << c;
    EXPECT_GT(fit.terms[c].rateInterval->high, truth) << c;
    EXPECT_LT(fit.terms[c].rateInterval->low, fit.terms[c].rate) << c;
    EXPECT_GT(fit.terms[c].rateInterval->high, fit.terms[c].rate) << c;
    EXPECT_NEAR(fit.terms[c].amplitude, law[c].amplitude, 0.06) << c;
  }
  EXPECT_NEAR(fit.terms[0].amplitude + fit.terms[1].amplitude, 1.0, 1e-12);
  // ln L never falls as terms are added: each fit starts from the split of the one before.
  EXPECT_GE(times.fits[1].logLikelihood, times.fits[0].logLikelihood);
  EXPECT_GE(times.fits[2].logLikelihood, times.fits[1].logLikelihood - 1e-6);
}

TEST(DwellFit, BicKeepsOneExponentialForAOneExponentialStateThoughMoreTermsFitAsWell) {
  const StateDwells dwells = AlternatingTraces(5, 100, 1000, {{1.0, 0.1}}, {{1.0, 0.2}});
  const StateDwellTimes times = AnalyseState(dwells, 0, CutDwells::kCensor);
  ASSERT_EQ(times.fits.size(), 3u);
  EXPECT_EQ(times.chosen, 0);
  EXPECT_GE(times.fits[2].logLikelihood, times.fits[0].logLikelihood - 1e-6);
}

TEST(DwellFit, TooFewWholeDwellsForTheTermsIsTroubleNotConvergedAndNeverChosen) {
  // Three whole dwells: one term (needs 2) fits, two (needs 4) do not.
  const StateDwellTimes times = AnalyseState(OneMolecule({2, 3, 5}, 4), 0, CutDwells::kCensor, 2);
  ASSERT_EQ(times.fits.size(), 2u);
  EXPECT_TRUE(times.fits[0].trouble.empty());
  EXPECT_FALSE(times.fits[1].trouble.empty());
  EXPECT_FALSE(times.fits[1].converged);
  EXPECT_EQ(times.chosen, 0);
  // Only cut dwells: nothing fits.
  const StateDwellTimes onlyCut = AnalyseState({{{0, 5, true, true, -1}}}, 0, CutDwells::kCensor);
  EXPECT_EQ(onlyCut.chosen, -1);
  for (const ExponentialFit& fit : onlyCut.fits) EXPECT_FALSE(fit.trouble.empty());
}

TEST(DwellFit, ExactlyGivesTheOneFitOfThatManyTerms) {
  const StateDwells dwells = AlternatingTraces(5, 50, 1000, {{1.0, 0.1}}, {{1.0, 0.2}});
  const StateDwellTimes times = AnalyseState(dwells, 0, CutDwells::kCensor, 2, true);
  ASSERT_EQ(times.fits.size(), 1u);
  EXPECT_EQ(times.fits[0].terms.size(), 2u);
  EXPECT_EQ(times.chosen, 0);
}

TEST(DwellFit, MeanRateIsTheInverseOfTheMixturesMeanDwell) {
  ExponentialFit fit;
  fit.terms = {{0.5, 0.25, {}}, {0.05, 0.75, {}}};
  EXPECT_DOUBLE_EQ(fit.MeanRate(), 1.0 / (0.25 / 0.5 + 0.75 / 0.05));
}

// Molecule m: state 0 dwells of 2 frames left for state 1 three times and for state 2 once,
// then one cut after 3 + m mod 3 frames; state 1 and 2 dwells of 1 frame.
StateDwells SplitExits(int molecules) {
  StateDwells all;
  for (int m = 0; m < molecules; ++m)
    all.push_back({{0, 2, false, false, 1}, {1, 1, false, false, 0}, {0, 2, false, false, 1}, {1, 1, false, false, 0},
                   {0, 2, false, false, 2}, {2, 1, false, false, 0}, {0, 2, false, false, 1},
                   {1, 1, false, false, 0}, {0, 3 + m % 3, false, true, -1}});
  return all;
}

TEST(DwellRateMatrix, SplitsTheExitRateByWhereTheExitsWentAndSkipsPairsNeverSeen) {
  // One molecule: state 0 has 4 whole dwells of 2 frames and one cut after 3: p = 4 / (4 + 4 + 2),
  // k_0 = -ln(1 - p); n_01 = 3, n_02 = 1 of n_0 = 4. States 1 and 2 are left after one frame.
  const auto withBasis = DwellRateMatrixWithBasis(SplitExits(1), 3, CutDwells::kCensor, 20);
  ASSERT_TRUE(withBasis);
  const std::vector<DwellRate>* matrix = &withBasis->rates;
  const double k0 = -std::log1p(-0.4);
  // State 2's one whole dwell is too few for a fit; state 1's three dwells of one frame put its
  // rate on the fit's upper bound (a chance of 1 a frame), which is no rate: neither has rates,
  // and state 1's row says why.
  ASSERT_EQ(matrix->size(), 2u);  // 0->1, 0->2
  EXPECT_TRUE(withBasis->rows[1].atBound);
  EXPECT_EQ(withBasis->rows[1].chosen, -1);
  EXPECT_FALSE(DwellRowFlags(withBasis->rows[1]).empty());
  EXPECT_FALSE(withBasis->rows[0].atBound || withBasis->rows[0].passedOver);
  const DwellRate& toOne = (*matrix)[0];
  EXPECT_EQ(toOne.from, 0);
  EXPECT_EQ(toOne.to, 1);
  EXPECT_EQ(toOne.transitions, 3);
  EXPECT_EQ(toOne.exits, 4);
  EXPECT_NEAR(toOne.rate, k0 * 3 / 4, 1e-14);
  EXPECT_NEAR((*matrix)[1].rate, k0 / 4, 1e-14);
  // One molecule is too few for an interval.
  EXPECT_FALSE(toOne.interval);
}

TEST(DwellRateMatrix, BootstrapIntervalsAreTheSameOnOneThreadAndOnSeveral) {
  const StateDwells dwells = AlternatingTraces(3, 30, 300, {{0.5, 0.4}, {0.5, 0.05}}, {{1.0, 0.1}});
  const auto one = DwellRateMatrix(dwells, 2, CutDwells::kCensor, 60, nullptr, 1);
  const auto three = DwellRateMatrix(dwells, 2, CutDwells::kCensor, 60, nullptr, 3);
  ASSERT_TRUE(one && three);
  ASSERT_EQ(one->size(), 2u);
  ASSERT_EQ(three->size(), 2u);
  for (std::size_t k = 0; k < 2; ++k) {
    ASSERT_TRUE((*one)[k].interval);
    ASSERT_TRUE((*three)[k].interval);
    EXPECT_EQ((*one)[k].interval->low, (*three)[k].interval->low);
    EXPECT_EQ((*one)[k].interval->high, (*three)[k].interval->high);
    EXPECT_EQ((*one)[k].replicates, 60);
    EXPECT_LT((*one)[k].interval->low, (*one)[k].rate);
    EXPECT_GT((*one)[k].interval->high, (*one)[k].rate);
  }
}

TEST(DwellRateMatrix, CountsItsReplicatesAndGivesNothingWhenAskedToStop) {
  const StateDwells dwells = SplitExits(12);
  WorkProgress progress;
  ASSERT_TRUE(DwellRateMatrix(dwells, 3, CutDwells::kCensor, 10, &progress));
  // Only state 0 has rates (states 1 and 2 are left after every frame, a rate on the fit's
  // bound): 10 replicates.
  EXPECT_EQ(progress.total.load(), 10u);
  EXPECT_EQ(progress.done.load(), 10u);
  WorkProgress stopped;
  stopped.stop.request_stop();
  EXPECT_FALSE(DwellRateMatrix(dwells, 3, CutDwells::kCensor, 10, &stopped));
}

TEST(DwellRateMatrix, NeverTakesATermOnlyCutDwellsHoldUpAndSaysWhenABetterFitHadOne) {
  // 30 molecules of nine whole dwells, each geometric at 0.2 a frame, alternating between two
  // states, then a last dwell of 300 frames that the trace's end cuts. The whole dwells say
  // -ln(0.8) / 0.1 s = 2.23 s^-1; a second term at the fit's least chance (1e-12 a frame) takes
  // the cut dwells, and its mean rate once gave both rows 1e-10 s^-1 without a word.
  std::mt19937_64 random(2024);
  StateDwells dwells;
  for (int m = 0; m < 30; ++m) {
    std::vector<StateDwell> trace;
    int state = m % 2;
    for (int k = 0; k < 9; ++k, state = 1 - state)
      trace.push_back({state, dwelltest::GeometricLength(random, 0.2), false, false, 1 - state});
    trace.push_back({state, 300, false, true, -1});
    dwells.push_back(trace);
  }
  const double exposure = 0.1, whole = -std::log(0.8) / exposure;
  // No fit of several terms reaches below one exit over the longest trace (about 350 frames).
  EXPECT_GT(dwell::SlowestShowableRate(dwells), 1.0 / 400);
  EXPECT_LT(dwell::SlowestShowableRate(dwells), 1.0 / 300);
  for (int s = 0; s < 2; ++s) {
    const StateDwellTimes times = AnalyseState(dwells, s, CutDwells::kCensor);
    ASSERT_GE(times.chosen, 0);
    for (const ExponentialTerm& term : times.fits[static_cast<std::size_t>(times.chosen)].terms)
      EXPECT_FALSE(dwell::AtFitBound(term)) << s;
  }
  const auto matrix = DwellRateMatrixWithBasis(dwells, 2, CutDwells::kCensor, 40);
  ASSERT_TRUE(matrix);
  ASSERT_EQ(matrix->rates.size(), 2u);
  for (const DwellRate& rate : matrix->rates) {
    const DwellRowBasis& row = matrix->rows[static_cast<std::size_t>(rate.from)];
    const double perSecond = rate.rate / exposure;
    EXPECT_TRUE(std::fabs(perSecond / whole - 1) < 0.25 || ((row.passedOver || row.atBound) && !DwellRowFlags(row).empty()))
        << rate.from << "->" << rate.to << ": " << perSecond << " s^-1";
    EXPECT_GT(perSecond, 0.1) << rate.from << "->" << rate.to;
  }
}

}  // namespace
