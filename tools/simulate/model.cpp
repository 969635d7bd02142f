#include "tools/simulate/simulation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "tools/simulate/arithmetic.h"

namespace simulate {

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

// Two observed values closer than this could print as the same text.
constexpr double kDistinctValues = 1e-6;

}  // namespace

[[noreturn]] void usageError(const std::string& message) {
  std::cerr << "varnel-simulate: " << message << "\n"
            << "Try 'varnel-simulate --help'.\n";
  std::exit(kExitUsage);
}

[[noreturn]] void runtimeError(const std::string& message) {
  std::cerr << "varnel-simulate: " << message << "\n";
  std::exit(kExitFailure);
}

// True rates in s^-1, row-major, k[i * n + j]; the diagonal is unused.
std::vector<double> trueRates(int stateCount) {
  const auto n = static_cast<std::size_t>(stateCount);
  std::vector<double> rates(n * n, 0.0);
  if (stateCount == 3) {
    // Slow enough that ln(rate per frame) sits between about -5.3 and -2.5 at
    // 0.1 s per frame, well inside the histogram range, and all different so
    // each class has its own peak.
    rates = {0.0,  0.5, 0.1,  //
             0.3,  0.0, 0.8,  //
             0.05, 0.2, 0.0};
    return rates;
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i == j) continue;
      const double distance = i > j ? static_cast<double>(i - j) : static_cast<double>(j - i);
      const double downward = i > j ? 0.5 : 1.0;
      rates[i * n + j] = 0.6 * portableExp(-0.4 * (distance - 1.0)) * downward;
    }
  }
  return rates;
}

// Observed value of each visited state, redrawn while it would coincide with
// an earlier one, so that different states never give equal values.
std::vector<double> observeStates(const Model& model, const std::vector<int>& visited, Random& random) {
  constexpr int kMaxDraws = 10000;
  std::vector<double> observed;
  for (const int state : visited) {
    const double truth = model.options.states[static_cast<std::size_t>(state)];
    double value = truth;
    for (int draw = 0;; ++draw) {
      if (draw == kMaxDraws) runtimeError("cannot keep the observed state values apart");
      value = std::clamp(truth + model.options.noise * random.normal(), 0.0, 1.0);
      const bool clash = std::any_of(observed.begin(), observed.end(),
                                     [&](double other) { return std::fabs(other - value) < kDistinctValues; });
      if (!clash) break;
    }
    observed.push_back(value);
  }
  return observed;
}

}  // namespace simulate
