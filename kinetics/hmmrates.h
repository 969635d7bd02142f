// The rate matrix of a hidden Markov model itself, rather than of its most likely paths.
//
// A most likely (Viterbi) path passes over dwells too short for the noise to show: at low
// signal-to-noise ratios a frame-long visit to another state is taken for noise, so the steps
// counted on the paths fall short of those the chain made and the rates of the paths are low.
// The model's own transition matrix A keeps them: under the model, the frames of molecule m in
// state i followed by a frame in state j are expected sum_t xi_t(i, j) times (xi the posterior of
// the pair of states of frames t and t + 1), and A is the rows of their sum over the molecules
// over the rows' sums. The generator Q whose expm(Q T) best gives these expected counts is fitted
// as the rate matrix of counted frames is (kinetics/ratematrix.h), its intervals from the same
// bootstrap over the molecules, each molecule's expected counts standing for its counts.
#pragma once

#include <optional>
#include <vector>

#include "idealise/hmm.h"
#include "kinetics/ratematrix.h"

namespace kinetics {

// The frame counts each molecule is expected to have under `fit` (a fitted model), in the order
// of its states; nothing for a fit that was not made.
std::vector<FrameCounts> ExpectedFrameCounts(const StateCountFit& fit);

// The rate matrix of the fitted model `fit` at the exposure and paths of `options`: from every
// molecule's expected counts, with intervals when there are molecules enough. A model whose
// molecules each have their own transition matrix has no one rate matrix: `trouble` says so, as it
// says why no other could be fitted. Nothing when `progress` (counting the replicates) is asked
// to stop.
std::optional<RateMatrix> FitHmmRateMatrix(const StateCountFit& fit, const RateOptions& options,
                                           WorkProgress* progress = nullptr);

}  // namespace kinetics
