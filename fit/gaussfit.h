// The Gaussian fit of one class: a Gaussian on the ln(rate per frame) axis fitted by least
// squares to the class histogram with the direction-set minimiser, and the kinetic rate it gives.
#pragma once

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "fit/fitparams.h"
#include "fit/minimiser.h"
#include "selection/histograms.h"

// The values of a class list that the fit uses, in list order: -10 < ln v < 0 (zero and
// negative values fail both tests).
std::vector<double> InRangeValues(const std::vector<double>& list);
bool InFitRange(double value);
// The same test on ln v itself.
bool InFitRangeLn(double lnv);
// The mean of ln v over those values, summed in list order; nothing when there are none.
std::optional<double> InRangeMeanLn(const std::vector<double>& list);

// Sum of squares between the histogram and the Gaussian p = (area A, centre xc, width w) on
// the ln axis; 1e300 outside w >= 0.5, A >= 1, -9 <= xc <= -1.
double gaussObjective(const ClassHistogram& histogram, const DoubleVector& p);

// The bins' exp terms of the objective at one centre and width. A fit evaluates many points
// that differ in the area alone (a search along the area, and every point outside the region
// costs nothing); with the terms kept, those points take no exp, and every sum is the same, bit
// for bit, as gaussObjective's.
struct GaussTerms {
  double centre = std::nan("");
  double width = std::nan("");
  std::array<double, kHistogramBins> terms{};
};
double gaussObjective(const ClassHistogram& histogram, const DoubleVector& p, GaussTerms& kept);

struct GaussFit {
  GaussianParams fitted;         // the minimum the minimiser returned
  GaussianParams lastEvaluated;  // the last point it evaluated, which the panel draws
  bool startMoved = false;       // the mean of ln v lay outside -9 ... -1: the start is the nearest bound
};

// Fits the histogram from A = 20, w = 0.5 and the mean of ln v over `values` (not empty) as
// the centre, kept within -9 ... -1, in steps of 0.1 along each parameter alone. Nothing when
// the minimiser reaches one of its iteration limits.
std::optional<GaussFit> FitGaussian(const ClassHistogram& histogram, const std::vector<double>& values);
// The same fit from the mean of ln v over those values, however it was summed.
std::optional<GaussFit> FitGaussianFromMean(const ClassHistogram& histogram, double meanLn);

// The bounds of the allowed region that a fit ended on. The centre on -9 or -1: the class's
// rates lie beyond what the fit can say, and its rate is a limit. The width on 0.5: the class
// is narrower than the fit can show, and its stdev is a limit. The amplitude on 1: the fit
// found next to nothing.
struct BoundsReached {
  bool centre = false;
  bool width = false;
  bool amplitude = false;
};
BoundsReached BoundsOf(const GaussianParams& fit);

// What a fit of a class was made on and gave: the class's histogram then, and the Gaussian.
struct ClassGaussian {
  ClassHistogram histogram;
  GaussianParams fitted{};
};

struct KineticRate {
  double rate;   // e^xc / exposure, s^-1
  double stdev;  // the ln-axis standard deviation w / 2 times the rate
};

KineticRate KineticRateOf(const GaussianParams& fit, double exposureTime);
