#include "tools/simulate/arithmetic.h"

#include <limits>

namespace simulate {

namespace {

// ln 2 split so that n * kLn2Hi is exact for |n| < 2^20.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 0.70710678118654752440;

}  // namespace

double portableExp(double x) {
  if (x > 709.0) return std::numeric_limits<double>::infinity();
  if (x < -745.0) return 0.0;
  // x = n ln2 + r with |r| <= ln2 / 2; exp(r) by its Taylor series, whose
  // 14th term is below 1e-17 there.
  const double n = std::floor(x * kInvLn2 + 0.5);
  const double r = (x - n * kLn2Hi) - n * kLn2Lo;
  double sum = 1.0;
  for (int i = 14; i >= 1; --i) sum = 1.0 + sum * r / i;
  return std::ldexp(sum, static_cast<int>(n));
}

double portableLog(double x) {
  int exponent = 0;
  double m = std::frexp(x, &exponent);  // x = m 2^exponent, m in [0.5, 1)
  if (m < kSqrtHalf) {
    m *= 2.0;
    --exponent;
  }
  // ln m = 2 atanh(s) = 2 (s + s^3/3 + s^5/5 + ...) with |s| <= 0.172,
  // so thirteen terms reach full precision.
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  double series = 0.0;
  for (int k = 12; k >= 0; --k) series = 1.0 / (2 * k + 1) + s2 * series;
  const double e = exponent;
  return (e * kLn2Lo + 2.0 * s * series) + e * kLn2Hi;
}

}  // namespace simulate
