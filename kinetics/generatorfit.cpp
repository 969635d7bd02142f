// The maximum-likelihood generator of a continuous-time Markov chain seen once per frame.
//
// Model. A molecule's state follows a continuous-time Markov chain over n states with the
// generator Q: Q_ij = k_ij >= 0 for i != j, the rate constant of the step i -> j, and
// Q_ii = -sum_j k_ij. Seen at the start of every frame, the frames form a discrete chain whose
// transition matrix is P(Q) = expm(Q T), whatever the chain did inside a frame (several steps, a
// step away and back). The frame-to-frame counts C_ij (a frame in i followed by one in j) then
// have the log-likelihood, given each trace's first frame,
//   ln L(Q) = sum_ij C_ij ln P_ij(Q).
// Rates are per frame here (T = 1); the rate matrix divides them by the exposure.
//
// Start. With n_i = sum_j C_ij and the counted matrix P^_ij = C_ij / n_i (a row without counts the
// identity's), ln L is largest over all stochastic matrices at P = P^. Where P^ has a real
// principal logarithm (no eigenvalue on the closed negative real axis, the eigenvalues checked
// with kNegativeAxis) that is a valid generator (off-diagonals >= -kSlack, each at most
// kMostRatePerFrame; its rows sum to 0 of themselves) and 0 within kSlack on every path held at
// 0, that logarithm is the maximum itself. Otherwise (the embedding problem: no generator gives
// P^) its negative and held off-diagonals are set to 0 and the others kept within the bounds;
// without a real logarithm the start is the first-order rate -ln(1 - P_i) P^_ij / P_i of every
// free path, P_i = sum_{j != i} P^_ij. A start at which a counted step has no chance (ln L is
// minus infinity) has every free path at 0 raised to half a step over its row's frames,
// 0.5 / max(n_i, 1).
//
// Maximisation over the free off-diagonals k within 0 <= k <= kMostRatePerFrame, by projected
// Fisher scoring (the projected Newton method of Bertsekas 1982, SIAM J. Control Optim.
// 20:221, with the expected information of Kalbfleisch & Lawless 1985, JASA 80:863):
//   gradient g_p = sum_ij (C_ij / P_ij) dP_ij/dk_p,
//   information F_pq = sum_i n_i sum_j (dP_ij/dk_p)(dP_ij/dk_q) / P_ij,
// dP/dk_p for the path p = a -> b the Frechet derivative of expm at Q in the direction
// E = e_a (e_b - e_a)^T, which is the upper right block of expm([[Q, E], [0, Q]]) (Van Loan 1978,
// IEEE Trans. Autom. Control 23:395). A path at a bound whose gradient points out of the box
// (k = 0 with g <= 0, k = kMostRatePerFrame with g >= 0), or about which the counts say nothing
// (F_pp = 0), is held for the step; the others take d = F^-1 g (F restricted to them; where its
// Cholesky factorisation fails, F + lambda I with lambda from kRidge up by factors of 100). The
// step is projected into the box and halved, at most kMostHalvings times, until ln L rises and
// by at least kArmijo of the rise g . (step) the gradient predicts.
//
// Stopping. Converged when the full step's predicted rise 1/2 g . d is below kGainTolerance
// (1e-9 in ln L: the remaining distance to the maximum is then below sqrt(2e-9) = 4.5e-5
// standard errors of any rate, as ln L falls by 1/2 at one standard error), or when no halved
// step raises ln L while the predicted rise is below kNoiseGain (the rounding of a sum of 10^7
// counts' logarithms is of order 1e-9; 1e-6 is within 1.4e-3 standard errors); not converged
// after kMostIterations steps or when the line search fails further away.
#include "kinetics/generatorfit.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/MatrixFunctions>
#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "kinetics/ratematrix.h"

namespace kinetics {
namespace {

constexpr double kGainTolerance = 1e-9;
constexpr double kNoiseGain = 1e-6;
constexpr int kMostIterations = 200;
constexpr int kMostHalvings = 40;
constexpr double kArmijo = 1e-4;
// The least ridge tried on a singular information matrix, relative to its largest diagonal,
// and how many times it grows by 100 before the step falls back to the gradient over F's
// diagonal.
constexpr double kRidge = 1e-12;
constexpr int kMostRidges = 8;
// An eigenvalue of P^ whose imaginary part is at most this and whose real part is at most this
// lies on the closed negative real axis: P^ has no real logarithm.
constexpr double kNegativeAxis = 1e-10;
// How far a logarithm's off-diagonal may lie below 0 (or a held path's from 0) by rounding.
constexpr double kSlack = 1e-12;
// A chance below this counts as none in the information (its terms would overflow).
constexpr double kLeastChance = 1e-300;

// The profile's threshold: half the 0.90 quantile of chi-square with 1 degree of freedom, the
// fall of ln L at a one-sided 95 % limit. The walk outward doubles the rate; the bisection on
// ln(rate) stops when the bracket is narrower than kLimitTolerance (0.1 %), or after
// kMostBisections.
constexpr double kOneSidedThreshold = 0.5 * 2.705543454095404;
constexpr double kLimitTolerance = 1e-3;
constexpr int kMostBisections = 60;

Eigen::MatrixXd GeneratorOf(int n, std::span<const double> rates) {
  Eigen::MatrixXd q = Eigen::MatrixXd::Zero(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      if (i != j) {
        const double k = rates[static_cast<std::size_t>(i * n + j)];
        q(i, j) = k;
        q(i, i) -= k;
      }
  return q;
}

std::vector<double> RowSums(const StepCounts& c) {
  std::vector<double> sums(static_cast<std::size_t>(c.n), 0.0);
  for (int i = 0; i < c.n; ++i)
    for (int j = 0; j < c.n; ++j) sums[static_cast<std::size_t>(i)] += c.counts[static_cast<std::size_t>(i * c.n + j)];
  return sums;
}

bool IsFree(const StepCounts& c, int p) { return p / c.n != p % c.n && c.free[static_cast<std::size_t>(p)]; }

double LogLikelihoodOfChances(const StepCounts& c, const Eigen::MatrixXd& chances) {
  double sum = 0;
  for (int i = 0; i < c.n; ++i)
    for (int j = 0; j < c.n; ++j) {
      const double count = c.counts[static_cast<std::size_t>(i * c.n + j)];
      if (!(count > 0)) continue;
      const double p = chances(i, j);
      if (!(p > 0)) return -std::numeric_limits<double>::infinity();
      sum += count * std::log(p);
    }
  return sum;
}

// The step d solving F d = g for the moving paths, and its predicted rise 1/2 g . d.
Eigen::VectorXd ScoringStep(const Eigen::MatrixXd& information, const Eigen::VectorXd& gradient) {
  const double largest = information.diagonal().maxCoeff();
  double ridge = 0;
  for (int attempt = 0; attempt <= kMostRidges; ++attempt) {
    Eigen::MatrixXd f = information;
    if (ridge > 0) f.diagonal().array() += ridge;
    const Eigen::LLT<Eigen::MatrixXd> factor(f);
    if (factor.info() == Eigen::Success) {
      Eigen::VectorXd d = factor.solve(gradient);
      if (d.allFinite() && gradient.dot(d) >= 0) return d;
    }
    ridge = ridge > 0 ? ridge * 100 : kRidge * largest;
  }
  return gradient.cwiseQuotient(information.diagonal());
}

}  // namespace

double LogLikelihood(const StepCounts& counts, std::span<const double> rates) {
  const Eigen::MatrixXd chances = GeneratorOf(counts.n, rates).exp();
  return LogLikelihoodOfChances(counts, chances);
}

std::string Unreachable(const StepCounts& c) {
  for (int i = 0; i < c.n; ++i) {
    std::vector<bool> reached(static_cast<std::size_t>(c.n), false);
    std::vector<int> queue{i};
    reached[static_cast<std::size_t>(i)] = true;
    for (std::size_t k = 0; k < queue.size(); ++k)
      for (int j = 0; j < c.n; ++j)
        if (!reached[static_cast<std::size_t>(j)] && IsFree(c, queue[k] * c.n + j)) {
          reached[static_cast<std::size_t>(j)] = true;
          queue.push_back(j);
        }
    for (int j = 0; j < c.n; ++j)
      if (!reached[static_cast<std::size_t>(j)] && c.counts[static_cast<std::size_t>(i * c.n + j)] > 0)
        return "steps " + std::to_string(i + 1) + "->" + std::to_string(j + 1) +
               " were counted, but no chain of free paths leads there";
  }
  return {};
}

std::vector<double> StartOf(const StepCounts& c, bool& fromLogarithm) {
  const int n = c.n;
  const std::vector<double> rows = RowSums(c);
  Eigen::MatrixXd counted = Eigen::MatrixXd::Identity(n, n);
  for (int i = 0; i < n; ++i)
    if (rows[static_cast<std::size_t>(i)] > 0)
      for (int j = 0; j < n; ++j)
        counted(i, j) = c.counts[static_cast<std::size_t>(i * n + j)] / rows[static_cast<std::size_t>(i)];
  std::vector<double> k(static_cast<std::size_t>(n * n), 0.0);
  fromLogarithm = false;
  const Eigen::EigenSolver<Eigen::MatrixXd> eigen(counted, false);
  bool realLogarithm = eigen.info() == Eigen::Success;
  if (realLogarithm)
    for (const std::complex<double>& lambda : eigen.eigenvalues())
      if (std::fabs(lambda.imag()) <= kNegativeAxis && lambda.real() <= kNegativeAxis) realLogarithm = false;
  Eigen::MatrixXd logarithm;
  if (realLogarithm) {
    logarithm = counted.log();
    realLogarithm = logarithm.allFinite();
  }
  if (realLogarithm) {
    bool valid = true;
    for (int p = 0; p < n * n; ++p) {
      const int i = p / n, j = p % n;
      if (i == j) continue;
      const double v = logarithm(i, j);
      if (IsFree(c, p)) {
        valid = valid && v >= -kSlack && v <= kMostRatePerFrame;
        k[static_cast<std::size_t>(p)] = std::clamp(v, 0.0, kMostRatePerFrame);
      } else {
        valid = valid && std::fabs(v) <= kSlack;
      }
    }
    fromLogarithm = valid;
  } else {
    for (int i = 0; i < n; ++i) {
      const double leave = 1.0 - counted(i, i);
      if (!(leave > 0)) continue;
      const double factor = leave < 1.0 ? -std::log1p(-leave) / leave : kMostRatePerFrame;
      for (int j = 0; j < n; ++j)
        if (IsFree(c, i * n + j))
          k[static_cast<std::size_t>(i * n + j)] = std::min(counted(i, j) * factor, kMostRatePerFrame);
    }
  }
  if (!std::isfinite(LogLikelihood(c, k)))
    for (int p = 0; p < n * n; ++p)
      if (IsFree(c, p) && k[static_cast<std::size_t>(p)] == 0)
        k[static_cast<std::size_t>(p)] = 0.5 / std::max(rows[static_cast<std::size_t>(p / n)], 1.0);
  return k;
}

GeneratorFit MaximiseLikelihood(const StepCounts& c, std::vector<double> k) {
  const int n = c.n;
  std::vector<int> paths;
  for (int p = 0; p < n * n; ++p) {
    if (p / n == p % n) {
      k[static_cast<std::size_t>(p)] = 0;
      continue;
    }
    if (IsFree(c, p)) {
      paths.push_back(p);
      k[static_cast<std::size_t>(p)] = std::clamp(k[static_cast<std::size_t>(p)], 0.0, kMostRatePerFrame);
    }
  }
  const std::vector<double> rows = RowSums(c);
  const int m = static_cast<int>(paths.size());
  GeneratorFit fit;
  double logL = LogLikelihood(c, k);
  if (!std::isfinite(logL) || m == 0) {
    fit.rates = std::move(k);
    fit.logLikelihood = logL;
    fit.converged = std::isfinite(logL);
    return fit;
  }
  Eigen::MatrixXd block = Eigen::MatrixXd::Zero(2 * n, 2 * n);
  Eigen::MatrixXd chances(n, n);
  std::vector<Eigen::MatrixXd> derivative(static_cast<std::size_t>(m));
  Eigen::VectorXd gradient(m);
  Eigen::MatrixXd information(m, m);
  std::vector<double> trial;
  int iteration = 0;
  for (; iteration < kMostIterations; ++iteration) {
    const Eigen::MatrixXd q = GeneratorOf(n, k);
    for (int r = 0; r < m; ++r) {
      const int a = paths[static_cast<std::size_t>(r)] / n, b = paths[static_cast<std::size_t>(r)] % n;
      block.setZero();
      block.topLeftCorner(n, n) = q;
      block.bottomRightCorner(n, n) = q;
      block(a, n + b) = 1.0;
      block(a, n + a) = -1.0;
      const Eigen::MatrixXd both = block.exp();
      if (r == 0) chances = both.topLeftCorner(n, n);
      derivative[static_cast<std::size_t>(r)] = both.topRightCorner(n, n);
    }
    gradient.setZero();
    information.setZero();
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        const double p = chances(i, j);
        if (!(p > kLeastChance)) continue;
        const double count = c.counts[static_cast<std::size_t>(i * n + j)];
        const double weight = rows[static_cast<std::size_t>(i)] / p;
        for (int r = 0; r < m; ++r) {
          const double dr = derivative[static_cast<std::size_t>(r)](i, j);
          if (count > 0) gradient(r) += count / p * dr;
          for (int s = 0; s <= r; ++s) information(r, s) += weight * dr * derivative[static_cast<std::size_t>(s)](i, j);
        }
      }
    for (int r = 0; r < m; ++r)
      for (int s = 0; s < r; ++s) information(s, r) = information(r, s);
    std::vector<int> moving;
    for (int r = 0; r < m; ++r) {
      const double value = k[static_cast<std::size_t>(paths[static_cast<std::size_t>(r)])];
      const bool outOfBox = (value <= 0 && gradient(r) <= 0) || (value >= kMostRatePerFrame && gradient(r) >= 0);
      if (!outOfBox && information(r, r) > 0) moving.push_back(r);
    }
    if (moving.empty()) {
      fit.converged = true;
      break;
    }
    const int free = static_cast<int>(moving.size());
    Eigen::MatrixXd f(free, free);
    Eigen::VectorXd g(free);
    for (int r = 0; r < free; ++r) {
      g(r) = gradient(moving[static_cast<std::size_t>(r)]);
      for (int s = 0; s < free; ++s) f(r, s) = information(moving[static_cast<std::size_t>(r)], moving[static_cast<std::size_t>(s)]);
    }
    const Eigen::VectorXd d = ScoringStep(f, g);
    const double gain = 0.5 * g.dot(d);
    if (!(gain >= kGainTolerance)) {
      fit.converged = gain < kGainTolerance;
      break;
    }
    bool accepted = false;
    double alpha = 1.0;
    for (int halving = 0; halving <= kMostHalvings && !accepted; ++halving, alpha *= 0.5) {
      trial = k;
      double predicted = 0;
      for (int r = 0; r < free; ++r) {
        const auto p = static_cast<std::size_t>(paths[static_cast<std::size_t>(moving[static_cast<std::size_t>(r)])]);
        trial[p] = std::clamp(k[p] + alpha * d(r), 0.0, kMostRatePerFrame);
        predicted += g(r) * (trial[p] - k[p]);
      }
      const double next = LogLikelihood(c, trial);
      if (next > logL && next >= logL + kArmijo * std::max(predicted, 0.0)) {
        accepted = true;
        k.swap(trial);
        logL = next;
      }
    }
    if (!accepted) {
      fit.converged = gain < kNoiseGain;
      break;
    }
  }
  fit.rates = std::move(k);
  fit.logLikelihood = logL;
  fit.iterations = iteration;
  return fit;
}

std::optional<double> UpperLimit(const StepCounts& counts, const GeneratorFit& best, int path) {
  StepCounts held = counts;
  held.free[static_cast<std::size_t>(path)] = false;
  std::vector<double> warm = best.rates;
  auto fallen = [&](double rate) {
    warm[static_cast<std::size_t>(path)] = rate;
    GeneratorFit profile = MaximiseLikelihood(held, warm);
    warm = std::move(profile.rates);
    return best.logLikelihood - profile.logLikelihood;
  };
  const double estimate = best.rates[static_cast<std::size_t>(path)];
  double frames = 0;
  for (int j = 0; j < counts.n; ++j) frames += counts.counts[static_cast<std::size_t>((path / counts.n) * counts.n + j)];
  double inside = estimate;
  double outside = estimate > 0 ? 2 * estimate : 1.0 / std::max(frames, 1.0);
  while (true) {
    outside = std::min(outside, kMostRatePerFrame);
    const double drop = fallen(outside);
    if (std::isnan(drop)) return std::nullopt;
    if (drop >= kOneSidedThreshold) break;
    if (outside >= kMostRatePerFrame) return std::nullopt;
    inside = outside;
    outside *= 2;
  }
  for (int step = 0; step < kMostBisections && outside > inside * (1 + kLimitTolerance); ++step) {
    const double middle = inside > 0 ? std::sqrt(inside * outside) : 0.5 * outside;
    (fallen(middle) >= kOneSidedThreshold ? outside : inside) = middle;
  }
  return inside > 0 ? std::sqrt(inside * outside) : 0.5 * outside;
}

}  // namespace kinetics
