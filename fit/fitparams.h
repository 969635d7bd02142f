// The Gaussian of the fit on the ln(rate per frame) axis, and the one the fit evaluated last: a
// class's fit keeps both, and the window's histogram panel draws its curve from the last one.
#pragma once

#include <cmath>

// Area A, centre xc and width w; the Gaussian's standard deviation is w / 2.
struct GaussianParams {
  double amplitude;
  double centre;
  double width;
};

// A / (sqrt(kHalfPi) w) is the height of a Gaussian of area A and standard deviation w / 2.
// The literal is a little below pi/2 (1.5707963267948966); the fit and the panel both use it.
inline constexpr double kHalfPi = 1.5707963267945;

// The height of the Gaussian at x on the ln axis, as the panel draws it and the exports give
// it: A / (sqrt(kHalfPi) w) x exp(-2 u^2) with u = (x - xc) / w.
inline double GaussianAt(const GaussianParams& g, double x) {
  const double u = (x - g.centre) / g.width;
  return (g.amplitude / (std::sqrt(kHalfPi) * g.width)) * std::exp(-2.0 * (u * u));
}
