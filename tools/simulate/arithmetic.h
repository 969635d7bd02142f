// varnel-simulate's arithmetic: the random numbers and the elementary functions behind every
// number it writes.
//
// Every number in the output comes from std::mt19937_64 (whose sequence the
// C++ standard fixes), seeded and drawn below n by fit/random.h in integer
// arithmetic, and from the distribution and elementary functions here, which
// use only +, -, *, / and exact operations (sqrt, floor, frexp, ldexp). The
// standard library's distributions and exp/log differ between
// implementations; ours give byte-identical reports everywhere.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

#include "fit/random.h"

namespace simulate {

// e to the power x: 0 below -745, infinity above 709.
double portableExp(double x);

// Natural logarithm of a positive finite x.
double portableLog(double x);

class Random {
 public:
  // Each molecule has its own stream, so molecule m is the same file whatever
  // the number of molecules written.
  Random(std::uint64_t seed, std::uint64_t molecule) : engine_(SplitMix64(seed ^ SplitMix64(molecule))) {}

  // Uniform in the open interval (0, 1), on a grid of 2^-53.
  double uniform() { return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53; }

  // Uniform integer in [0, n), without modulo bias.
  std::uint64_t below(std::uint64_t n) { return UniformBelow(engine_, n); }

  // Standard normal, Marsaglia's polar method (no trigonometry needed).
  double normal() {
    if (hasSpare_) {
      hasSpare_ = false;
      return spare_;
    }
    double u = 0.0, v = 0.0, s = 0.0;
    do {
      u = 2.0 * uniform() - 1.0;
      v = 2.0 * uniform() - 1.0;
      s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    const double factor = std::sqrt(-2.0 * portableLog(s) / s);
    spare_ = v * factor;
    hasSpare_ = true;
    return u * factor;
  }

  // Poisson by multiplying uniforms; the means used here are at most 20.
  unsigned poisson(double mean) {
    const double threshold = portableExp(-mean);
    unsigned count = 0;
    double product = uniform();
    while (product > threshold) {
      ++count;
      product *= uniform();
    }
    return count;
  }

 private:
  std::mt19937_64 engine_;
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

}  // namespace simulate
