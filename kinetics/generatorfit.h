// The maximum-likelihood generator of a chain seen once per frame, on counts of frame-to-frame
// steps: what the rate matrix, its bootstrap replicates and its profile limits share. Rates here
// are per frame (T = 1); kinetics/generatorfit.cpp states the model and the method.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kinetics {

// A fit's answer: rates[i * n + j] the rate per frame of i -> j (the diagonal 0).
struct GeneratorFit {
  std::vector<double> rates;
  double logLikelihood = 0;
  bool converged = false;
  int iterations = 0;
};

// The counts of a fit: n x n, C_ij row-major, and which off-diagonals are free (row-major, n x n;
// the diagonal unused). A path that is not free keeps the value its start gives it.
struct StepCounts {
  int n = 0;
  std::vector<double> counts;
  std::vector<bool> free;
};

// ln L = sum_ij C_ij ln [expm(Q)]_ij of the rates per frame `rates` (minus infinity where a
// counted step has no chance).
double LogLikelihood(const StepCounts& counts, std::span<const double> rates);

// Why `counts` cannot be fitted: a counted step i -> j (i != j) that no chain of free paths leads
// along; empty when every counted step can be made.
std::string Unreachable(const StepCounts& counts);

// The start of the fit of `counts`: the counted matrix's logarithm, projected onto the free
// paths and the bounds where it is no valid generator, or the first-order rates where it has no
// real logarithm. `fromLogarithm` says whether the logarithm was a valid generator as it stood.
std::vector<double> StartOf(const StepCounts& counts, bool& fromLogarithm);

// The maximum of ln L over the free paths, 0 <= k <= kMostRatePerFrame, from `start`.
GeneratorFit MaximiseLikelihood(const StepCounts& counts, std::vector<double> start);

// The one-sided 95 % upper limit of the free path `path` (i * n + j) of the fit `best`: the rate
// above best's at which ln L, with every other free path refitted, has fallen by half the
// chi-square (1 degree of freedom) 0.90 quantile, 1.3528; none when it has not fallen so far by
// kMostRatePerFrame.
std::optional<double> UpperLimit(const StepCounts& counts, const GeneratorFit& best, int path);

}  // namespace kinetics
