#include "fit/gaussfit.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>

namespace {

// The allowed region of the parameters, boundaries included; the centre's bounds keep the
// Gaussian's middle on the histogram, one ln unit in from either end.
constexpr double kLeastWidth = 0.5;
constexpr double kLeastAmplitude = 1.0;
constexpr double kLeastCentre = -9.0;
constexpr double kMostCentre = -1.0;
// Values returned outside the allowed region: no sum of squares of 50 counts comes near it.
constexpr double kForbidden = 1e300;
// Start of the search: amplitude, width, and steps of 0.1 along each parameter alone.
constexpr double kStartAmplitude = 20.0;
constexpr double kStartWidth = 0.5;
constexpr double kStartStep = 0.1;
// A fit pressed against a bound ends where its line search meets the 1e300 beyond it: within
// the search's own tolerance (about 1e-8 of the parameter) of the bound, far inside this.
constexpr double kAtBound = 1e-6;
// A sweep must lower the sum by no more than the minimiser's absolute floor (5e-26) to end
// the search: in practice, by nothing.
constexpr double kFitTolerance = 1e-80;

}  // namespace

bool InFitRangeLn(double lnv) { return lnv > kHistogramStart && lnv < kHistogramEnd; }

bool InFitRange(double value) { return InFitRangeLn(std::log(value)); }

std::vector<double> InRangeValues(const std::vector<double>& list) {
  std::vector<double> values;
  for (double v : list)
    if (InFitRange(v)) values.push_back(v);
  return values;
}

std::optional<double> InRangeMeanLn(const std::vector<double>& list) {
  double sum = 0.0;
  std::size_t used = 0;
  for (double v : list) {
    const double lnv = std::log(v);
    if (!InFitRangeLn(lnv)) continue;
    sum += lnv;
    ++used;
  }
  if (used == 0) return std::nullopt;
  return sum / static_cast<double>(used);
}

double gaussObjective(const ClassHistogram& histogram, const DoubleVector& p) {
  GaussTerms none;
  return gaussObjective(histogram, p, none);
}

double gaussObjective(const ClassHistogram& histogram, const DoubleVector& p, GaussTerms& kept) {
  const double A = p[0], xc = p[1], w = p[2];
  // The sum is not wanted outside the allowed region: nothing to add up there.
  if (w < kLeastWidth || A < kLeastAmplitude || xc < kLeastCentre || xc > kMostCentre) return kForbidden;
  // The same centre and width, bit for bit: the same terms.
  if (!(std::bit_cast<std::uint64_t>(xc) == std::bit_cast<std::uint64_t>(kept.centre) &&
        std::bit_cast<std::uint64_t>(w) == std::bit_cast<std::uint64_t>(kept.width))) {
    for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
      const double x = histogram.centres[i];
      kept.terms[i] = std::exp(-2.0 * ((x - xc) / w) * (x - xc) / w);
    }
    kept.centre = xc;
    kept.width = w;
  }
  double sum = 0.0;
  for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
    const double y = histogram.counts[i];
    const double model = A / (std::sqrt(kHalfPi) * w) * kept.terms[i];
    sum = sum + (y - model) * (y - model);
  }
  return sum;
}

std::optional<GaussFit> FitGaussian(const ClassHistogram& histogram, const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += std::log(v);
  return FitGaussianFromMean(histogram, sum / static_cast<double>(values.size()));
}

std::optional<GaussFit> FitGaussianFromMean(const ClassHistogram& histogram, double mean) {
  GaussFit fit{};
  DoubleVector p(3);
  DoubleMatrix xi(3, 3);
  p[0] = kStartAmplitude;
  // A start outside the allowed region would lie on the flat 1e300 the objective returns there,
  // where no line search finds a way down.
  p[1] = std::clamp(mean, kLeastCentre, kMostCentre);
  fit.startMoved = p[1] != mean;
  p[2] = kStartWidth;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) xi[r][c] = r == c ? kStartStep : 0.0;

  GaussTerms terms;
  const Objective objective = [&](const DoubleVector& q) {
    // Kept before anything else: the panel draws the last point tried.
    fit.lastEvaluated = {q[0], q[1], q[2]};
    return gaussObjective(histogram, q, terms);
  };
  int iter = 0;
  double fret = 0.0;
  try {
    powell(p, xi, kFitTolerance, iter, fret, objective, AtIterationLimit::Throw);
  } catch (const IterationLimitReached&) {
    return std::nullopt;
  }
  fit.fitted = {p[0], p[1], p[2]};
  return fit;
}

KineticRate KineticRateOf(const GaussianParams& fit, double exposureTime) {
  const double rate = std::exp(fit.centre) / exposureTime;
  return {rate, fit.width / 2.0 * rate};
}

BoundsReached BoundsOf(const GaussianParams& fit) {
  return {.centre = fit.centre - kLeastCentre < kAtBound || kMostCentre - fit.centre < kAtBound,
          .width = fit.width - kLeastWidth < kAtBound,
          .amplitude = fit.amplitude - kLeastAmplitude < kAtBound};
}
