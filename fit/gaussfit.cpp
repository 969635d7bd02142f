#include "fit/gaussfit.h"

#include <cmath>

namespace {

// Values returned outside the allowed region: no sum of squares of 50 counts comes near it.
constexpr double kForbidden = 1e300;
// Start of the search: amplitude, width, and steps of 0.1 along each parameter alone.
constexpr double kStartAmplitude = 20.0;
constexpr double kStartWidth = 0.5;
constexpr double kStartStep = 0.1;
// A sweep must lower the sum by no more than the minimiser's absolute floor (5e-26) to end
// the search: in practice, by nothing.
constexpr double kFitTolerance = 1e-80;

}  // namespace

std::vector<double> InRangeValues(const std::vector<double>& list) {
  std::vector<double> values;
  for (double v : list) {
    const double lnv = std::log(v);
    if (lnv > kHistogramStart && lnv < kHistogramEnd) values.push_back(v);
  }
  return values;
}

double gaussObjective(const ClassHistogram& histogram, const DoubleVector& p) {
  const double A = p[0], xc = p[1], w = p[2];
  double sum = 0.0;
  for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
    const double x = histogram.centres[i];
    const double y = histogram.counts[i];
    const double model = A / (std::sqrt(kHalfPi) * w) * std::exp(-2.0 * ((x - xc) / w) * (x - xc) / w);
    sum = sum + (y - model) * (y - model);
  }
  if (w < 0.5 || A < 1.0 || xc < -9.0 || xc > -1.0) return kForbidden;
  return sum;
}

GaussFit FitGaussian(const ClassHistogram& histogram, const std::vector<double>& values) {
  double sum = 0.0;
  for (double v : values) sum += std::log(v);

  DoubleVector p(3);
  DoubleMatrix xi(3, 3);
  p[0] = kStartAmplitude;
  p[1] = sum / static_cast<double>(values.size());
  p[2] = kStartWidth;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) xi[r][c] = r == c ? kStartStep : 0.0;

  GaussFit fit{};
  const Objective objective = [&](const DoubleVector& q) {
    // Kept before anything else: the panel draws the last point tried.
    fit.lastEvaluated = {q[0], q[1], q[2]};
    return gaussObjective(histogram, q);
  };
  int iter = 0;
  double fret = 0.0;
  powell(p, xi, kFitTolerance, iter, fret, objective);
  fit.fitted = {p[0], p[1], p[2]};
  return fit;
}

KineticRate KineticRateOf(const GaussianParams& fit, double exposureTime) {
  const double rate = std::exp(fit.centre) / exposureTime;
  return {rate, fit.width / 2.0 * rate};
}
