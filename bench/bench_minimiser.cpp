// One fit-sized minimisation: a Gaussian of three parameters (area, centre,
// width) fitted by least squares to a 50-bin histogram on the ln axis.
#include "fit/minimiser.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

namespace {

constexpr int kBins = 50;
constexpr double kBinWidth = 0.2;
constexpr double kAxisStart = -10.0;

// pi / 2 as the fit uses it: A / (sqrt(pi / 2) w) exp(-2 (x - xc)^2 / w^2)
// has area A and standard deviation w / 2.
constexpr double kHalfPi = 1.5707963267945;

double model(double x, double area, double centre, double width) {
  return area / (std::sqrt(kHalfPi) * width) * std::exp(-2 * ((x - centre) / width) * (x - centre) / width);
}

double binCentre(int k) { return k * kBinWidth + kAxisStart + kBinWidth / 2; }

// The histogram being fitted: exact counts of a Gaussian of area 40, centre
// -4.6, width 0.6.
std::array<double, kBins> makeCounts() {
  std::array<double, kBins> counts{};
  for (int k = 0; k < kBins; ++k) counts[k] = model(binCentre(k), 40.0, -4.6, 0.6);
  return counts;
}

const std::array<double, kBins> g_counts = makeCounts();
long g_evaluations = 0;

// Sum of squared residuals; outside the allowed region a value so large that
// no line search stays there.
double sumOfSquares(const DoubleVector& p) {
  ++g_evaluations;
  const double area = p[0];
  const double centre = p[1];
  const double width = p[2];
  if (width < 0.5 || area < 1 || centre < -9 || centre > -1) return 1e300;
  double s = 0.0;
  for (int k = 0; k < kBins; ++k) {
    const double r = g_counts[k] - model(binCentre(k), area, centre, width);
    s += r * r;
  }
  return s;
}

void BM_GaussianFit(benchmark::State& state) {
  g_evaluations = 0;
  double area = 0.0, centre = 0.0, width = 0.0, sweeps = 0.0, value = 0.0;
  for (auto _ : state) {
    DoubleVector p(3);
    DoubleMatrix xi(3, 3);
    p[0] = 20.0;
    p[1] = -4.4;
    p[2] = 0.5;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) xi[i][j] = i == j ? 0.1 : 0.0;
    int iter = 0;
    double fret = 0.0;
    powell(p, xi, 1e-80, iter, fret, sumOfSquares);
    benchmark::DoNotOptimize(fret);
    area = p[0];
    centre = p[1];
    width = p[2];
    sweeps = iter;
    value = fret;
  }
  state.counters["evaluations"] =
      benchmark::Counter(static_cast<double>(g_evaluations), benchmark::Counter::kAvgIterations);
  state.counters["sweeps"] = sweeps;
  state.counters["A"] = area;
  state.counters["xc"] = centre;
  state.counters["w"] = width;
  state.counters["residual"] = value;
}

BENCHMARK(BM_GaussianFit)->Unit(benchmark::kMicrosecond);

}  // namespace
