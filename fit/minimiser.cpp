#include "fit/minimiser.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <utility>

namespace {

// ---------------------------------------------------------------------------
// Tolerances and limits. The arithmetic below depends on their exact values:
// the two golden constants are the six-decimal figures, not the full ratios.
// ---------------------------------------------------------------------------

// Sweeps of the direction-set method before the run is declared hopeless.
constexpr int kMaxSweeps = 200;

// Absolute term of the convergence test
//   2 (fp - fret) <= ftol (|fp| + |fret|) + 1e-25,
// so that a minimum whose value is exactly 0 (where the relative term
// vanishes) still converges, and ftol = 0 ends once a sweep gains <= 5e-26.
constexpr double kConvergenceFloor = 1e-25;

// Fractional abscissa tolerance of every line minimisation: about
// sqrt(machine epsilon) = 1.49e-8. Near a minimum f changes by O(dx^2), so
// the value cannot resolve abscissa steps much finer than sqrt(eps) |x|.
constexpr double kLineTolerance = 1e-8;

// phi = (1 + sqrt 5) / 2 to six decimals. Each downhill step of the bracket
// search is phi times the previous one, so the three points keep golden
// proportions.
constexpr double kGoldenGrowth = 1.618034;

// A parabolic step of the bracket search may reach at most 100 (c - b)
// beyond c.
constexpr double kMaxParabolicGrowth = 100.0;

// Smallest magnitude of the parabola's denominator: keeps the step finite
// when the three points are (nearly) collinear.
constexpr double TINY = 1e-20;

// Iterations of the one-dimensional search before it is declared hopeless.
constexpr int kMaxBrentIterations = 100;

// 1 - 1/phi = (3 - sqrt 5) / 2 to six decimals: a golden-section trial point
// lies this fraction of the larger segment away from the best point.
constexpr double kGoldenSection = 0.381966;

// Absolute floor of the abscissa tolerance, tol1 = tol |x| + eps with
// eps = 2.22e-16 * 0.001 = 2.22e-19: without it a minimum at x = 0 would
// demand an interval of width 0.
constexpr double kAbscissaFloor = std::numeric_limits<double>::epsilon() * 0.001;

// Set once by the program's start; read by fatalError.
FatalReportHook g_fatalReportHook = nullptr;

// The end of a minimisation at one of its iteration limits.
[[noreturn]] void LimitReached(const char* text, AtIterationLimit atLimit) {
  if (atLimit == AtIterationLimit::Throw) throw IterationLimitReached(text);
  fatalError(text);
}

// |m| carrying the sign of s; s = 0 counts as positive.
double WithSignOf(double m, double s) { return s >= 0.0 ? std::fabs(m) : -std::fabs(m); }

double Square(double x) { return x * x; }

// (a, b, c) <- (b, c, d), in that order.
void Shift(double& a, double& b, double& c, double d) {
  a = b;
  b = c;
  c = d;
}

void CopyColumn(const DoubleMatrix& m, int column, DoubleVector& out) {
  for (int j = 0; j < out.length(); ++j) out[j] = m[j][column];
}

// Drops direction `dropped` (0-based) from the set: the last direction moves
// into its column and newDirection becomes the last one.
void ReplaceDirection(DoubleMatrix& xi, int dropped, const DoubleVector& newDirection) {
  const int last = xi.cols() - 1;
  for (int j = 0; j < xi.rows(); ++j) {
    xi[j][dropped] = xi[j][last];
    xi[j][last] = newDirection[j];
  }
}

// One sweep of line minimisations along every direction in turn. Returns the
// 1-based index of the direction that gave the largest decrease (0 when none
// decreased) and that decrease in largestDecrease; ties keep the earlier one.
int MinimiseAlongEachDirection(DoubleVector& p, const DoubleMatrix& xi, DoubleVector& xit, double& fret,
                               double& largestDecrease, const Objective& func, AtIterationLimit atLimit) {
  int ibig = 0;
  double del = 0.0;
  for (int i = 0; i < p.length(); ++i) {
    CopyColumn(xi, i, xit);
    const double fptt = fret;
    lineSearch(p, xit, fret, func, atLimit);
    if (fptt - fret > del) {
      del = fptt - fret;
      ibig = i + 1;
    }
  }
  largestDecrease = del;
  return ibig;
}

// Brent's one-dimensional search: the best point x, the second best w, the
// previous w in v, the interval [a, b] known to hold the minimum, the last
// step d and the step before it e.
class BrentSearch {
 public:
  BrentSearch(double ax, double bx, double cx, const ScalarFunction& f)
      : f_(f), a_(ax < cx ? ax : cx), b_(ax > cx ? ax : cx), x_(bx), w_(bx), v_(bx) {
    fx_ = f_(bx);
    fw_ = fx_;
    fv_ = fx_;
  }

  // One iteration; returns true (and leaves the state unchanged) when the
  // interval is already small enough around x.
  bool Iterate(double tol) {
    const double xm = 0.5 * (a_ + b_);
    const double tol1 = tol * std::fabs(x_) + kAbscissaFloor;
    const double tol2 = 2.0 * tol1;
    if (std::fabs(x_ - xm) <= tol2 - 0.5 * (b_ - a_)) return true;

    if (std::fabs(e_) > tol1)
      ParabolicOrGoldenStep(xm, tol1, tol2);
    else
      GoldenSectionStep(xm);

    // Never evaluate closer than tol1 to x: the value there cannot be
    // told apart from fx.
    const double u = std::fabs(d_) >= tol1 ? x_ + d_ : x_ + WithSignOf(tol1, d_);
    const double fu = f_(u);
    Update(u, fu);
    return false;
  }

  double Best() const { return x_; }
  double BestValue() const { return fx_; }

 private:
  // Step into the larger of the two segments on either side of x.
  void GoldenSectionStep(double xm) {
    e_ = x_ >= xm ? a_ - x_ : b_ - x_;
    d_ = kGoldenSection * e_;
  }

  // Parabola through x, w and v. Its step is taken only when it stays
  // inside [a, b] and is less than half the step before last (so the
  // steps shrink); otherwise a golden-section step is taken.
  void ParabolicOrGoldenStep(double xm, double tol1, double tol2) {
    const double r = (x_ - w_) * (fx_ - fv_);
    double q = (x_ - v_) * (fx_ - fw_);
    double p = (x_ - v_) * q - (x_ - w_) * r;
    q = 2.0 * (q - r);
    if (q > 0.0) p = -p;
    q = std::fabs(q);
    const double etemp = e_;
    e_ = d_;
    if (std::fabs(p) >= std::fabs(0.5 * q * etemp) || p <= q * (a_ - x_) || p >= q * (b_ - x_)) {
      GoldenSectionStep(xm);
      return;
    }
    d_ = p / q;
    const double u = x_ + d_;
    // Too close to an end of the interval: step by tol1 towards the middle.
    if (u - a_ < tol2 || b_ - u < tol2) d_ = WithSignOf(tol1, xm - x_);
  }

  void Update(double u, double fu) {
    if (fu <= fx_) {
      if (u >= x_)
        a_ = x_;
      else
        b_ = x_;
      Shift(v_, w_, x_, u);
      Shift(fv_, fw_, fx_, fu);
      return;
    }
    if (u < x_)
      a_ = u;
    else
      b_ = u;
    if (fu <= fw_ || w_ == x_) {
      v_ = w_;
      w_ = u;
      fv_ = fw_;
      fw_ = fu;
    } else if (fu <= fv_ || v_ == x_ || v_ == w_) {
      v_ = u;
      fv_ = fu;
    }
  }

  const ScalarFunction& f_;
  double a_;
  double b_;
  double x_;
  double w_;
  double v_;
  double fx_ = 0.0;
  double fw_ = 0.0;
  double fv_ = 0.0;
  double d_ = 0.0;
  double e_ = 0.0;
};

}  // namespace

// ---------------------------------------------------------------------------
// DoubleVector, DoubleMatrix
// ---------------------------------------------------------------------------

DoubleVector::DoubleVector(std::int32_t length) : elements_(static_cast<std::size_t>(length)) {}

double& DoubleVector::operator[](std::int32_t i) {
  assert(i >= 0 && i < length());
  return elements_[static_cast<std::size_t>(i)];
}

const double& DoubleVector::operator[](std::int32_t i) const {
  assert(i >= 0 && i < length());
  return elements_[static_cast<std::size_t>(i)];
}

DoubleMatrix::DoubleMatrix(std::int32_t rows, std::int32_t cols)
    : rows_(rows), cols_(cols), block_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols)) {}

double* DoubleMatrix::operator[](std::int32_t i) {
  assert(i >= 0 && i < rows_);
  return block_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(cols_);
}

const double* DoubleMatrix::operator[](std::int32_t i) const {
  assert(i >= 0 && i < rows_);
  return block_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(cols_);
}

// ---------------------------------------------------------------------------
// Direction-set method
// ---------------------------------------------------------------------------

void powell(DoubleVector& p, DoubleMatrix& xi, double ftol, int& iter, double& fret, const Objective& func,
            AtIterationLimit atLimit) {
  const int n = p.length();
  DoubleVector pt(n);
  DoubleVector ptt(n);
  DoubleVector xit(n);

  fret = func(p);
  for (int j = 0; j < n; ++j) pt[j] = p[j];

  for (iter = 0;; ++iter) {
    const double fp = fret;
    double del = 0.0;
    const int ibig = MinimiseAlongEachDirection(p, xi, xit, fret, del, func, atLimit);

    if (2.0 * (fp - fret) <= ftol * (std::fabs(fp) + std::fabs(fret)) + kConvergenceFloor) return;
    if (iter == kMaxSweeps) LimitReached("powell exceeding maximum iterations.", atLimit);

    // ptt: the point extrapolated along the net move of this sweep;
    // xit: that move.
    for (int j = 0; j < n; ++j) {
      ptt[j] = 2.0 * p[j] - pt[j];
      xit[j] = p[j] - pt[j];
      pt[j] = p[j];
    }
    const double fptt = func(ptt);
    if (fptt < fp) {
      // t < 0 when the net move is worth a direction of its own: the
      // decrease along it is not mostly due to the single direction of
      // largest decrease, and the value still falls past the new p.
      const double t = 2.0 * (fp - 2.0 * fret + fptt) * Square(fp - fret - del) - del * Square(fp - fptt);
      if (t < 0.0) {
        lineSearch(p, xit, fret, func, atLimit);
        // ibig is 0 only if no direction lowered the value, which a
        // sweep that did not converge cannot produce for a
        // deterministic objective; then no direction is dropped.
        if (ibig > 0) ReplaceDirection(xi, ibig - 1, xit);
      }
    }
  }
}

void lineSearch(DoubleVector& p, DoubleVector& xi, double& fret, const Objective& func, AtIterationLimit atLimit) {
  const int n = p.length();
  DoubleVector origin(n);
  DoubleVector direction(n);
  for (int j = 0; j < n; ++j) {
    origin[j] = p[j];
    direction[j] = xi[j];
  }
  const LineContext line{origin, direction, func};
  const ScalarFunction along = [&line](double x) { return lineValue(line, x); };

  double ax = 0.0;
  double xx = 1.0;
  double bx = 0.0;
  double fa = 0.0;
  double fx = 0.0;
  double fb = 0.0;
  bracketMinimum(ax, xx, bx, fa, fx, fb, along);
  double xmin = 0.0;
  fret = brent(ax, xx, bx, along, kLineTolerance, xmin, atLimit);

  for (int j = 0; j < n; ++j) {
    xi[j] = xi[j] * xmin;
    p[j] = p[j] + xi[j];
  }
}

double lineValue(const LineContext& line, double x) {
  const int n = line.origin.length();
  DoubleVector xt(n);
  for (int j = 0; j < n; ++j) xt[j] = line.origin[j] + x * line.direction[j];
  return line.objective(xt);
}

// ---------------------------------------------------------------------------
// One-dimensional search
// ---------------------------------------------------------------------------

void bracketMinimum(double& a, double& b, double& c, double& fa, double& fb, double& fc, const ScalarFunction& f) {
  fa = f(a);
  fb = f(b);
  // Search downhill, from a towards b.
  if (fb > fa) {
    std::swap(a, b);
    std::swap(fa, fb);
  }
  c = b + kGoldenGrowth * (b - a);
  fc = f(c);

  while (fb > fc) {
    // Vertex u of the parabola through (a, fa), (b, fb), (c, fc).
    const double r = (b - a) * (fb - fc);
    const double q = (b - c) * (fb - fa);
    const double s = WithSignOf(std::max(std::fabs(q - r), TINY), q - r);
    double u = b - ((b - c) * q - (b - a) * r) / (2.0 * s);
    const double ulim = b + kMaxParabolicGrowth * (c - b);
    double fu = 0.0;

    if ((b - u) * (u - c) > 0.0) {
      // Vertex between b and c.
      fu = f(u);
      if (fu < fc) {
        a = b;
        b = u;
        fa = fb;
        fb = fu;
        return;
      }
      if (fu > fb) {
        c = u;
        fc = fu;
        return;
      }
      // The parabola did not help: golden step beyond c.
      u = c + kGoldenGrowth * (c - b);
      fu = f(u);
    } else if ((c - u) * (u - ulim) > 0.0) {
      // Vertex beyond c but within reach.
      fu = f(u);
      if (fu < fc) {
        Shift(b, c, u, u + kGoldenGrowth * (u - c));
        Shift(fb, fc, fu, f(u));
      }
    } else if ((u - ulim) * (ulim - c) >= 0.0) {
      // Vertex at or past the limit: go only as far as the limit.
      u = ulim;
      fu = f(u);
    } else {
      // Vertex behind b: ignore it and take a golden step.
      u = c + kGoldenGrowth * (c - b);
      fu = f(u);
    }
    Shift(a, b, c, u);
    Shift(fa, fb, fc, fu);
  }
}

double brent(double ax, double bx, double cx, const ScalarFunction& f, double tol, double& xmin,
             AtIterationLimit atLimit) {
  BrentSearch search(ax, bx, cx, f);
  for (int iteration = 0; iteration < kMaxBrentIterations; ++iteration) {
    if (search.Iterate(tol)) {
      xmin = search.Best();
      return search.BestValue();
    }
  }
  LimitReached("Too many iterations in brent", atLimit);
}

// ---------------------------------------------------------------------------
// Fatal report
// ---------------------------------------------------------------------------

void setFatalReportHook(FatalReportHook hook) { g_fatalReportHook = hook; }

void fatalError(std::string text) {
  static const char* const kHeader = "Numerical Recipes run-time error...";
  static const char* const kFooter = "...now exiting to system...";

  // Taken out first, so that a hook which itself ends in a fatal report
  // cannot recurse.
  const FatalReportHook hook = std::exchange(g_fatalReportHook, nullptr);
  if (hook != nullptr) {
    try {
      hook(std::string(kHeader) + '\n' + text + '\n' + kFooter);
    } catch (...) {
      // The report and the exit go ahead whatever the hook did.
    }
  }
  std::cerr.clear();
  std::cerr << kHeader << std::endl;
  std::cerr << text << std::endl;
  std::cerr << kFooter << std::endl;
  std::exit(1);
}
