// The hidden Markov model against simulated truth and against answers found without it: the
// parameters a chain was drawn with, the number of its states, the likeliest path by trying
// every path, and the same model on any number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "idealise/hmm.h"

namespace {

struct Chain {
  std::vector<double> means, widths, transitions;  // transitions row-major
};

// `molecules` traces of `frames` frames drawn from `chain`, the first state uniform.
std::vector<std::vector<double>> Draw(const Chain& chain, int molecules, int frames, unsigned seed,
                                      std::vector<std::vector<int>>* states = nullptr) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::normal_distribution<double> normal(0.0, 1.0);
  const std::size_t k = chain.means.size();
  std::vector<std::vector<double>> traces(static_cast<std::size_t>(molecules));
  if (states) states->assign(static_cast<std::size_t>(molecules), {});
  for (int m = 0; m < molecules; ++m) {
    std::size_t state = static_cast<std::size_t>(uniform(engine) * static_cast<double>(k)) % k;
    for (int t = 0; t < frames; ++t) {
      traces[m].push_back(chain.means[state] + chain.widths[state] * normal(engine));
      if (states) (*states)[m].push_back(static_cast<int>(state));
      double u = uniform(engine);
      std::size_t next = 0;
      while (next + 1 < k && (u -= chain.transitions[state * k + next]) >= 0) ++next;
      state = next;
    }
  }
  return traces;
}

std::vector<std::span<const double>> Spans(const std::vector<std::vector<double>>& traces) {
  return {traces.begin(), traces.end()};
}

const Chain kThreeStates{{0.2, 0.5, 0.8},
                         {0.05, 0.04, 0.06},
                         {0.95, 0.04, 0.01,  //
                          0.03, 0.92, 0.05,  //
                          0.01, 0.02, 0.97}};

TEST(IdealiseHmm, ExpectationMaximisationFindsTheMeansWidthsAndChancesTheChainWasDrawnWith) {
  const auto traces = Draw(kThreeStates, 40, 1000, 7);
  HmmSettings settings;
  const StateCountFit fit = FitHmm(Spans(traces), 3, settings);
  ASSERT_TRUE(fit.fitted) << fit.why;
  // 40,000 frames, about 13,000 a state: a mean's error is some width / 115, a width's some
  // 0.6 %, a chance of leaving c some sqrt(c / 13,000); four of each, and a wrong sum is far off.
  for (std::size_t s = 0; s < 3; ++s) {
    EXPECT_NEAR(fit.model.means[s], kThreeStates.means[s], 0.002) << s;
    EXPECT_NEAR(fit.model.widths[s], kThreeStates.widths[s], 0.03 * kThreeStates.widths[s]) << s;
    for (std::size_t j = 0; j < 3; ++j) {
      const double truth = kThreeStates.transitions[s * 3 + j];
      EXPECT_NEAR(fit.model.transitions[s * 3 + j], truth, 4 * std::sqrt(std::min(truth, 1 - truth) / 13000.0))
          << s << "->" << j;
    }
  }
  EXPECT_EQ(fit.parameters, 2 * 3 + 2 + 6);
}

TEST(IdealiseHmm, TheInformationCriterionChoosesTheStatesOfTheDataAndShowsEveryFit) {
  const auto traces = Draw(kThreeStates, 20, 500, 3);
  HmmSettings settings;
  settings.leastStates = 1;
  settings.mostStates = 5;
  const Idealisation result = Idealise(Spans(traces), settings);
  ASSERT_TRUE(result.error.empty()) << result.error;
  ASSERT_EQ(result.fits.size(), 5u);
  EXPECT_EQ(result.Model().states, 3);
  for (const StateCountFit& fit : result.fits)
    if (fit.fitted) {
      EXPECT_GE(fit.bic, result.fits[result.chosen].bic) << fit.states;
    }
  // Separated by six widths, nearly every frame's state is found.
  std::vector<std::vector<int>> truth;
  const auto again = Draw(kThreeStates, 20, 500, 3, &truth);
  std::size_t right = 0, frames = 0;
  for (std::size_t m = 0; m < truth.size(); ++m)
    for (std::size_t t = 0; t < truth[m].size(); ++t, ++frames) right += result.paths[m][t] == truth[m][t];
  EXPECT_GT(static_cast<double>(right) / static_cast<double>(frames), 0.99);
}

TEST(IdealiseHmm, RareLevelsBesideACommonOneEachGetAState) {
  // Two thirds of the frames at 0.8: the quantiles of all frames lie mostly on it, and a start
  // from them alone can end with two states there and one over both rare levels.
  const Chain skewed{{0.2, 0.5, 0.8},
                     {0.05, 0.05, 0.05},
                     {0.94, 0.05, 0.01,  //
                      0.03, 0.89, 0.08,  //
                      0.005, 0.02, 0.975}};
  for (const unsigned seed : {11u, 12u, 13u, 14u}) {
    const auto traces = Draw(skewed, 20, 1000, seed);
    const StateCountFit fit = FitHmm(Spans(traces), 3, HmmSettings{});
    ASSERT_TRUE(fit.fitted) << fit.why;
    for (std::size_t s = 0; s < 3; ++s) EXPECT_NEAR(fit.model.means[s], skewed.means[s], 0.01) << seed << " " << s;
  }
}

TEST(IdealiseHmm, OneMoleculesOwnChancesAreFoundWhenEachHasItsMatrix) {
  Chain slow{{0.3, 0.7}, {0.05, 0.05}, {0.99, 0.01, 0.01, 0.99}};
  Chain fast = slow;
  fast.transitions = {0.9, 0.1, 0.1, 0.9};
  auto traces = Draw(slow, 1, 20000, 1);
  traces.push_back(Draw(fast, 1, 20000, 2).front());
  HmmSettings settings;
  settings.transitions = TransitionSharing::PerMolecule;
  const StateCountFit fit = FitHmm(Spans(traces), 2, settings);
  ASSERT_TRUE(fit.fitted) << fit.why;
  ASSERT_EQ(fit.model.transitions.size(), 8u);
  EXPECT_NEAR(fit.model.Transitions(0)[1], 0.01, 0.003);
  EXPECT_NEAR(fit.model.Transitions(1)[1], 0.1, 0.01);
  EXPECT_EQ(fit.parameters, 2 * 2 + 1 + 2 * 2);
}

// ln of the chance of `path` and `frames` under `model`, term by term.
double PathScore(const HmmModel& model, const std::vector<double>& frames, const std::vector<int>& path) {
  const auto k = static_cast<std::size_t>(model.states);
  double score = std::log(model.initial[static_cast<std::size_t>(path[0])]);
  for (std::size_t t = 0; t < frames.size(); ++t) {
    const auto s = static_cast<std::size_t>(path[t]);
    const double z = (frames[t] - model.means[s]) / model.widths[s];
    score += -0.5 * z * z - std::log(model.widths[s]);
    if (t > 0) score += std::log(model.transitions[static_cast<std::size_t>(path[t - 1]) * k + s]);
  }
  return score;
}

TEST(IdealiseHmm, TheViterbiPathIsTheBestOfEveryPathTried) {
  HmmModel model;
  model.states = 3;
  model.means = {0.1, 0.5, 0.9};
  model.widths = {0.1, 0.2, 0.1};
  model.initial = {0.5, 0.3, 0.2};
  model.transitions = {0.8, 0.15, 0.05, 0.1, 0.8, 0.1, 0.3, 0.1, 0.6};
  // One lone frame near a level between frames of another: the chances decide, not the frame alone.
  const std::vector<double> frames = {0.12, 0.3, 0.55, 0.1, 0.85, 0.7, 0.95, 0.5, 0.2};
  const std::vector<int> found = ViterbiPath(frames, model, 0);
  std::vector<int> path(frames.size(), 0), best;
  double bestScore = -INFINITY;
  for (int code = 0; code < 19683; ++code) {  // 3^9 paths
    for (int t = 0, c = code; t < 9; ++t, c /= 3) path[static_cast<std::size_t>(t)] = c % 3;
    if (const double score = PathScore(model, frames, path); score > bestScore) {
      bestScore = score;
      best = path;
    }
  }
  EXPECT_EQ(found, best);
  EXPECT_EQ(ViterbiPath(std::vector<double>{0.9}, model, 0), std::vector<int>{2});
}

TEST(IdealiseHmm, EveryNumberOfThreadsGivesTheVeryModelAndPaths) {
  const auto traces = Draw(kThreeStates, 13, 300, 5);
  HmmSettings settings;
  settings.mostStates = 4;
  settings.threads = 1;
  const Idealisation one = Idealise(Spans(traces), settings);
  ASSERT_TRUE(one.error.empty()) << one.error;
  for (const int threads : {2, 3, 8}) {
    settings.threads = threads;
    const Idealisation more = Idealise(Spans(traces), settings);
    ASSERT_EQ(more.fits.size(), one.fits.size());
    for (std::size_t f = 0; f < one.fits.size(); ++f) {
      EXPECT_EQ(more.fits[f].logLikelihood, one.fits[f].logLikelihood) << threads;
      EXPECT_EQ(more.fits[f].model.means, one.fits[f].model.means) << threads;
      EXPECT_EQ(more.fits[f].model.transitions, one.fits[f].model.transitions) << threads;
    }
    EXPECT_EQ(more.paths, one.paths) << threads;
  }
}

TEST(IdealiseHmm, AModelTheFramesCannotCarryIsSaidNotGuessed) {
  HmmSettings settings;
  settings.mostStates = 3;
  const std::vector<std::vector<double>> flat = {{0.4, 0.4, 0.4}, {0.4, 0.4}};
  const Idealisation one = Idealise(Spans(flat), settings);
  EXPECT_NE(one.error.find("every frame holds the one value 0.4"), std::string::npos) << one.error;

  const std::vector<std::vector<double>> twoValues = {std::vector<double>(30, 0.2), std::vector<double>(30, 0.8)};
  const Idealisation two = Idealise(Spans(twoValues), settings);
  ASSERT_TRUE(two.error.empty()) << two.error;
  EXPECT_EQ(two.fits[2].why, "the frames hold only 2 different values");
  // Two states on two exact values narrow onto them: no width is left to fit.
  EXPECT_FALSE(two.fits[1].fitted);
  EXPECT_NE(two.fits[1].why.find("narrowed onto the single value"), std::string::npos) << two.fits[1].why;

  const auto few = Draw(kThreeStates, 1, 40, 9);
  const StateCountFit fit = FitHmm(Spans(few), 3, settings);
  EXPECT_FALSE(fit.fitted);
  EXPECT_EQ(fit.why, "too few frames: 40 for 14 parameters, which need at least 70");
}

TEST(IdealiseHmm, StatesWithinTheNoiseOfEachOtherAreNoChoiceAndMoreStatesNeverFitWorse) {
  // Two levels 0.4 apart at width 0.03, every molecule's frames moved by its own offset of sd
  // 0.03: the pooled frames are two wide humps of many narrow ones, which more states fit better
  // in likelihood, each hump split among states within two widths of each other.
  const Chain two{{0.3, 0.7}, {0.03, 0.03}, {0.97, 0.03, 0.02, 0.98}};
  auto traces = Draw(two, 40, 500, 21);
  std::mt19937_64 engine(22);
  std::normal_distribution<double> offset(0.0, 0.03);
  for (std::vector<double>& trace : traces) {
    const double shift = offset(engine);
    for (double& x : trace) x += shift;
  }
  HmmSettings settings;
  settings.mostStates = 5;
  const Idealisation result = Idealise(Spans(traces), settings);
  ASSERT_TRUE(result.error.empty()) << result.error;
  EXPECT_EQ(result.Model().states, 2);
  EXPECT_TRUE(result.fits[result.chosen].unseparated.empty());
  std::size_t leastBic = result.chosen;
  for (std::size_t f = 0; f < result.fits.size(); ++f) {
    const StateCountFit& fit = result.fits[f];
    ASSERT_TRUE(fit.fitted) << fit.states << ": " << fit.why;
    if (fit.bic < result.fits[leastBic].bic) leastBic = f;
    // Each fit of K starts from that of K - 1 too: it ends no lower (short of EM's tolerance).
    if (f > 0) {
      EXPECT_GE(fit.logLikelihood, result.fits[f - 1].logLikelihood - 1e-7 * 20000) << fit.states;
    }
    // A fit is taken only when its neighbouring means lie two widths apart.
    for (std::size_t s = 1; s < fit.model.means.size(); ++s) {
      const bool apart =
          fit.model.means[s] - fit.model.means[s - 1] >= 2.0 * std::max(fit.model.widths[s], fit.model.widths[s - 1]);
      if (!apart) {
        EXPECT_FALSE(fit.unseparated.empty()) << fit.states;
      }
    }
  }
  // BIC alone would have taken more states.
  EXPECT_GT(result.fits[leastBic].states, 2);
}

// Two molecules, each at both levels 0.3 and 0.7 moved by its own offset (+0.03 and -0.03), the
// first 300 frames low and 100 high, the second the other way round; each stretch's noise is
// the cycle -2w, -w, 0, w, 2w (mean 0, sd w sqrt 2). The levels and offsets add up to every
// stretch's mean exactly, so the fit with offsets has them at the optimum: means 0.3 and 0.7,
// offsets +-0.03 (equal frames, the weighted mean 0), widths w sqrt 2. Without offsets the low
// state's mean is its frames' (300 x 0.33 + 100 x 0.27) / 400 = 0.315, the high one's 0.685.
TEST(IdealiseHmm, EachMoleculesOffsetIsFittedWithTheStatesMeans) {
  constexpr double w = 0.01;
  const auto stretch = [&](std::vector<double>& trace, double level, int frames) {
    for (int t = 0; t < frames; ++t) trace.push_back(level + w * static_cast<double>(t % 5 - 2));
  };
  std::vector<std::vector<double>> traces(2);
  stretch(traces[0], 0.33, 300);
  stretch(traces[0], 0.73, 100);
  stretch(traces[1], 0.27, 100);
  stretch(traces[1], 0.67, 300);
  HmmSettings settings;
  settings.moleculeOffsets = true;
  const StateCountFit fit = FitHmm(Spans(traces), 2, settings);
  ASSERT_TRUE(fit.fitted) << fit.why;
  ASSERT_EQ(fit.model.offsets.size(), 2u);
  EXPECT_NEAR(fit.model.offsets[0], 0.03, 1e-6);
  EXPECT_NEAR(fit.model.offsets[1], -0.03, 1e-6);
  EXPECT_NEAR(fit.model.offsets[0] + fit.model.offsets[1], 0.0, 1e-12);
  EXPECT_NEAR(fit.model.means[0], 0.3, 1e-6);
  EXPECT_NEAR(fit.model.means[1], 0.7, 1e-6);
  for (const double width : fit.model.widths) EXPECT_NEAR(width, w * std::sqrt(2.0), 1e-6);
  EXPECT_EQ(fit.parameters, 2 * 2 + 1 + 2 + 1);  // one offset free of the two
  // The most likely path of each molecule follows its own levels.
  EXPECT_EQ(ViterbiPath(traces[1], fit.model, 1)[99], 0);
  EXPECT_EQ(ViterbiPath(traces[1], fit.model, 1)[100], 1);

  const StateCountFit shared = FitHmm(Spans(traces), 2, HmmSettings{});
  ASSERT_TRUE(shared.fitted) << shared.why;
  EXPECT_TRUE(shared.model.offsets.empty());
  EXPECT_NEAR(shared.model.means[0], 0.315, 1e-6);
  EXPECT_NEAR(shared.model.means[1], 0.685, 1e-6);
}

TEST(IdealiseHmm, WithOffsetsEmNeverLowersTheLikelihoodAndBicAloneFindsTheStates) {
  // The data of the test above whose BIC, without offsets, takes more states: two levels at
  // width 0.03, each molecule moved by its own offset of sd 0.03.
  const Chain two{{0.3, 0.7}, {0.03, 0.03}, {0.97, 0.03, 0.02, 0.98}};
  auto traces = Draw(two, 40, 500, 21);
  std::mt19937_64 engine(22);
  std::normal_distribution<double> offset(0.0, 0.03);
  std::vector<double> truth;
  for (std::vector<double>& trace : traces) {
    truth.push_back(offset(engine));
    for (double& x : trace) x += truth.back();
  }
  // Equal frames: the fitted offsets are the true ones less their plain mean.
  double centre = 0;
  for (const double t : truth) centre += t / static_cast<double>(truth.size());
  HmmSettings settings;
  settings.mostStates = 4;
  settings.moleculeOffsets = true;
  const Idealisation result = Idealise(Spans(traces), settings);
  ASSERT_TRUE(result.error.empty()) << result.error;
  std::size_t leastBic = 0;
  for (std::size_t f = 0; f < result.fits.size(); ++f) {
    const StateCountFit& fit = result.fits[f];
    ASSERT_TRUE(fit.fitted) << fit.states << ": " << fit.why;
    if (fit.bic < result.fits[leastBic].bic) leastBic = f;
    ASSERT_EQ(fit.climb.size(), static_cast<std::size_t>(fit.iterations));
    for (std::size_t i = 1; i < fit.climb.size(); ++i)
      ASSERT_GE(fit.climb[i], fit.climb[i - 1] - 1e-9 * std::fabs(fit.climb[i])) << fit.states << " states, " << i;
  }
  EXPECT_EQ(result.fits[leastBic].states, 2);
  EXPECT_EQ(result.Model().states, 2);
  // 500 frames a molecule at width 0.03: each offset within some 0.0013 of the truth.
  const HmmModel& model = result.Model();
  double squares = 0;
  for (std::size_t m = 0; m < truth.size(); ++m) {
    const double error = model.offsets[m] - (truth[m] - centre);
    squares += error * error / static_cast<double>(truth.size());
  }
  EXPECT_LT(std::sqrt(squares), 0.0025);
  EXPECT_NEAR(model.means[0], 0.3 + centre, 0.002);
  EXPECT_NEAR(model.means[1], 0.7 + centre, 0.002);
  EXPECT_NEAR(model.widths[0], 0.03, 0.0015);
}

// With frame weights a state's frames are N(mu, sigma^2 / w). One state has its maximum in closed
// form: mu = sum w x / sum w, sigma^2 = sum w (x - mu)^2 / N, and ln L = sum of -ln(2 pi) / 2 -
// ln sigma + ln(w) / 2 - w (x - mu)^2 / (2 sigma^2). Then two levels drawn at three brightnesses,
// each frame's sd 0.05 / sqrt(w): the weighted fit finds the width at w = 1, where one width for
// all frames is their mixture's.
TEST(IdealiseHmm, WeightedFramesAreFittedWithTheirOwnWidths) {
  std::mt19937_64 engine(5);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::uniform_real_distribution<double> uniform(0.25, 4.0);
  std::vector<std::vector<double>> traces(3), weights(3);
  for (std::size_t m = 0; m < 3; ++m)
    for (int t = 0; t < 200; ++t) {
      weights[m].push_back(uniform(engine));
      traces[m].push_back(0.4 + 0.05 / std::sqrt(weights[m].back()) * normal(engine));
    }
  double sumW = 0, sumWx = 0, frames = 0;
  for (std::size_t m = 0; m < 3; ++m)
    for (std::size_t t = 0; t < traces[m].size(); ++t) {
      sumW += weights[m][t];
      sumWx += weights[m][t] * traces[m][t];
      ++frames;
    }
  const double mu = sumWx / sumW;
  double squares = 0;
  for (std::size_t m = 0; m < 3; ++m)
    for (std::size_t t = 0; t < traces[m].size(); ++t)
      squares += weights[m][t] * (traces[m][t] - mu) * (traces[m][t] - mu);
  const double sigma = std::sqrt(squares / frames);
  double logLikelihood = 0;
  for (std::size_t m = 0; m < 3; ++m)
    for (std::size_t t = 0; t < traces[m].size(); ++t) {
      const double z = (traces[m][t] - mu) / sigma;
      logLikelihood += -0.5 * std::log(2 * std::numbers::pi) - std::log(sigma) + 0.5 * std::log(weights[m][t]) -
                       0.5 * weights[m][t] * z * z;
    }
  const StateCountFit one = FitHmm(Spans(traces), 1, HmmSettings{}, Spans(weights));
  ASSERT_TRUE(one.fitted) << one.why;
  EXPECT_NEAR(one.model.means[0], mu, 1e-12);
  EXPECT_NEAR(one.model.widths[0], sigma, 1e-12);
  EXPECT_NEAR(one.logLikelihood, logLikelihood, 1e-8 * std::fabs(logLikelihood));

  // Brightness 1/4, 1 and 4 of the reference, a molecule each: sd 0.1, 0.05 and 0.025.
  const Chain two{{0.3, 0.7}, {1.0, 1.0}, {0.97, 0.03, 0.03, 0.97}};
  std::vector<std::vector<int>> truth;
  auto drawn = Draw(two, 3, 2000, 9, &truth);
  const double brightness[] = {0.25, 1.0, 4.0};
  for (std::size_t m = 0; m < 3; ++m) {
    weights[m].assign(drawn[m].size(), brightness[m]);
    for (std::size_t t = 0; t < drawn[m].size(); ++t) {
      const double level = two.means[static_cast<std::size_t>(truth[m][t])];
      drawn[m][t] = level + (drawn[m][t] - level) * 0.05 / std::sqrt(brightness[m]);
    }
  }
  const StateCountFit weighted = FitHmm(Spans(drawn), 2, HmmSettings{}, Spans(weights));
  const StateCountFit even = FitHmm(Spans(drawn), 2, HmmSettings{});
  ASSERT_TRUE(weighted.fitted && even.fitted) << weighted.why << even.why;
  // Some 3,000 frames a state: a width's error some 1.3 %.
  for (const double width : weighted.model.widths) EXPECT_NEAR(width, 0.05, 0.003);
  // Their mixture: sqrt((0.1^2 + 0.05^2 + 0.025^2) / 3) = 0.0661.
  for (const double width : even.model.widths) EXPECT_NEAR(width, 0.0661, 0.004);
  // The dim molecule's noise, 2 sd from each level to the middle, is fitted as noise, not as
  // steps: fewer frames off their true state than with one width for all.
  const auto wrong = [&](const StateCountFit& fit, const FrameWeights& w) {
    int count = 0;
    for (std::size_t m = 0; m < 3; ++m) {
      const std::vector<int> path = ViterbiPath(drawn[m], fit.model, m, w.empty() ? std::span<const double>() : w[m]);
      for (std::size_t t = 0; t < path.size(); ++t) count += path[t] != truth[m][t];
    }
    return count;
  };
  EXPECT_LT(wrong(weighted, Spans(weights)), wrong(even, {}));
  // Weights that do not match the frames are refused.
  weights[2].pop_back();
  EXPECT_FALSE(FitHmm(Spans(drawn), 2, HmmSettings{}, Spans(weights)).fitted);
}

}  // namespace
