// A hidden Markov model with Gaussian emissions, fitted to the FRET traces of many molecules at
// once: the states' means and widths are shared by all molecules, the matrix of transition
// chances is one for all of them or one per molecule. Fitted by expectation-maximisation for
// each number of states asked for, the number chosen by the Bayesian information criterion
// among the models whose states lie apart (kLeastSeparation), and every molecule's most likely
// path of states found.
//
// The model: frame t of molecule m, in state k, emits N(mu_k + delta_m, sigma_k^2 / w_mt). Without
// molecule offsets (HmmSettings::moleculeOffsets off) every delta_m is 0. Each frame's weight
// w_mt is given with the frames, not fitted: 1 for every frame unless weights are given (a
// frame of twice the photons of another has half its variance under shot noise, so its weight
// is its brightness over a reference, and sigma_k is the width at that reference). With molecule
// offsets, each molecule has a level offset delta_m of its own (a molecule whose dyes or
// surroundings move all its levels alike), with sum over m of T_m delta_m = 0, T_m the
// molecule's frames, which fixes the one shift of every mean up and every offset down that
// leaves the likelihood as it is. The
// offsets are M - 1 more free parameters, M the molecules, and BIC counts them.
//
// The E-step is the forward-backward recursion on each molecule's frames less its offset. With
// weights the M-step takes each frame's sums times its weight: mu_k = sum gamma w x / sum gamma w,
// sigma_k^2 = sum gamma w (x - mu_k)^2 / sum gamma, the exact maxima of Q. The
// M-step with offsets solves the means, offsets and widths together by coordinate ascent of the
// expected complete log-likelihood Q, from the sums of each molecule's frames in each state:
// kOffsetSweeps sweeps of the means given the offsets, the offsets given the means and widths,
// then the widths given both, each the exact maximum of Q in its own parameters; then the
// offsets' weighted mean is moved into the means. No step lowers Q, so this is a generalised EM
// (Dempster, Laird and Rubin 1977, section 3): no iteration lowers the likelihood either.
// Stopping rule, with or without offsets: EM stops once an iteration raises the log-likelihood
// by no more than 1e-7 per frame, and a fit still rising after 1000 iterations is not taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct WorkProgress;

// The model takes at most this many states; the analysis handles no more.
inline constexpr int kMostHmmStates = 10;

// Two neighbouring states are distinct when their means lie at least kLeastSeparation times the
// wider one's width apart. An even mixture of two Gaussians of one width has two modes only
// beyond 2 widths: closer, the frames show one level, and a model that splits it fits the shape
// of the noise (a skewed ratio, molecules' offsets), not another state. BIC chooses among the
// models of distinct states.
inline constexpr double kLeastSeparation = 2.0;

enum class TransitionSharing {
  Shared,       // one matrix for all molecules
  PerMolecule,  // each molecule its own
};

struct HmmSettings {
  int leastStates = 1;
  int mostStates = 4;
  TransitionSharing transitions = TransitionSharing::Shared;
  int threads = 0;  // 0: as many as the machine runs at once
  std::uint64_t seed = 1;  // of the random starts
  bool moleculeOffsets = false;  // each molecule a level offset of its own (see the model above)
};

struct HmmModel {
  int states = 0;
  std::vector<double> means;   // increasing
  std::vector<double> widths;  // standard deviations
  std::vector<double> initial;  // the chance of each state in a molecule's first frame
  // Row-major K x K matrices, A[i * K + j] the chance of state j in the frame after one in state
  // i: one matrix, or one per molecule in molecule order.
  std::vector<double> transitions;
  // Each molecule's level offset delta_m, in molecule order, their mean weighted by the
  // molecules' frames 0; empty without molecule offsets.
  std::vector<double> offsets;

  std::span<const double> Transitions(std::size_t molecule) const;
  double Offset(std::size_t molecule) const { return offsets.empty() ? 0.0 : offsets[molecule]; }
  // The offsets' root mean square; 0 without them.
  double OffsetsRms() const;
};

// The fit of one number of states.
struct StateCountFit {
  int states = 0;
  bool fitted = false;
  std::string why;  // why it could not be fitted
  HmmModel model;
  double logLikelihood = 0;
  long parameters = 0;
  double bic = 0;  // -2 ln L + parameters ln N, N the frames of all molecules
  int iterations = 0;
  // Fitted, but two of its states lie within the noise of each other (kLeastSeparation): which,
  // and by how much; empty for a model of distinct states.
  std::string unseparated;
  // What the fitted model expects of each molecule, from the forward-backward posterior of the
  // E-step at the parameters EM stopped at (that of its last iteration), states in the order of
  // `model`: expectedSteps[(m * K + i) * K + j] = sum over t of xi_t(i, j), the frames of molecule
  // m in state i followed by a frame in state j; expectedFrames[m * K + i] = sum over t of
  // gamma_t(i), every frame in state i, its last too. The M-step that would follow takes the
  // shared matrix as the rows of the summed steps over their sums.
  std::vector<double> expectedSteps;
  std::vector<double> expectedFrames;
  // The log-likelihood at every E-step of the EM run whose model was kept, the last that of the
  // model itself (the trials before it not counted).
  std::vector<double> climb;
};

struct Idealisation {
  std::string error;  // why no model could be fitted; then nothing else holds
  bool stopped = false;  // asked to stop before it was done; then nothing else holds either
  std::vector<StateCountFit> fits;  // one per number of states, increasing
  // The fit of least BIC among those of distinct states; of least BIC of all when none is.
  std::size_t chosen = 0;
  std::vector<std::vector<int>> paths;  // each molecule's most likely states of the chosen model, from 0

  const HmmModel& Model() const { return fits[chosen].model; }
};

// Fits a model of `states` states to `molecules` (each at least one frame). Idealise adds to
// the starts of K states each state of its fit of K - 1 split in two, and where EM from the
// best start ends below the likelihood of K - 1, runs EM from the best split, its halves barely apart,
// too: the fit of K then ends no lower than K - 1 (within the stopping rule).
// Each molecule's frame weights w_mt, in molecule order, each as long as its frames; empty: every
// weight 1.
using FrameWeights = std::vector<std::span<const double>>;

StateCountFit FitHmm(const std::vector<std::span<const double>>& molecules, int states, const HmmSettings& settings,
                     const FrameWeights& weights = {});

// Fits every number of states `settings` asks for, chooses one and finds the molecules' paths.
// With `progress`, each number of states fitted is a step and the paths one more; asked to stop,
// it stops within an iteration of EM and gives back nothing. Out of memory on any thread, it
// throws std::bad_alloc on the caller's, once every thread has ended.
Idealisation Idealise(const std::vector<std::span<const double>>& molecules, const HmmSettings& settings,
                      WorkProgress* progress = nullptr, const FrameWeights& weights = {});

// The most likely states of the frames `frames` of molecule `molecule` under `model` (its
// offset taken off the frames), each frame of the weight `weights` gives (empty: 1).
std::vector<int> ViterbiPath(std::span<const double> frames, const HmmModel& model, std::size_t molecule,
                             std::span<const double> weights = {});
