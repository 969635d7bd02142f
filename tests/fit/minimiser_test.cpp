#include "fit/minimiser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

// Objectives carry no user data, so the tests count evaluations here.
int g_evaluations = 0;
std::vector<double> g_abscissae;

double sq(double x) { return x * x; }

// powell from start along the unit directions.
struct PowellRun {
  PowellRun(const std::vector<double>& start, Objective f, double ftol)
      : p(static_cast<int>(start.size())), xi(p.length(), p.length()) {
    for (int i = 0; i < p.length(); ++i) {
      p[i] = start[i];
      for (int j = 0; j < p.length(); ++j) xi[i][j] = i == j ? 1.0 : 0.0;
    }
    g_evaluations = 0;
    powell(p, xi, ftol, iter, fret, f);
  }
  DoubleVector p;
  DoubleMatrix xi;
  int iter = -1;
  double fret = 0.0;
};

double maxDistance(const DoubleVector& p, const std::vector<double>& q) {
  double d = 0.0;
  for (int i = 0; i < p.length(); ++i) d = std::max(d, std::fabs(p[i] - q[i]));
  return d;
}

double bowl(const DoubleVector& p) { return sq(p[0] - 1.0) + 2.0 * sq(p[1] - 2.0) + 3.0 * sq(p[2] - 3.0); }
double rosenbrock(const DoubleVector& p) {
  double s = 0.0;
  for (int i = 0; i + 1 < p.length(); ++i) s += 100.0 * sq(p[i + 1] - p[i] * p[i]) + sq(1.0 - p[i]);
  return s;
}
double powellQuartic(const DoubleVector& p) {
  return sq(p[0] + 10.0 * p[1]) + 5.0 * sq(p[2] - p[3]) + sq(sq(p[1] - 2.0 * p[2])) + 10.0 * sq(sq(p[0] - p[3]));
}
double valley(const DoubleVector& p) { return sq(p[0] + p[1] - 2.0) + sq(p[2] - 1.0); }  // flat along (1, -1, 0)

struct KnownMinimum {
  const char* name;
  Objective f;
  std::vector<double> start;
  double (*error)(const DoubleVector&);  // distance from the set of minimisers
  double tolerance;
};
void PrintTo(const KnownMinimum& c, std::ostream* os) { *os << c.name; }

class KnownMinimumTest : public ::testing::TestWithParam<KnownMinimum> {};

// Each minimum value is 0, where the relative test never holds, so every run
// ends only through the 1e-25 floor: f <= 1e-20 leaves a wide margin. For
// minima with a regular Hessian f ~ |dx|^2, so that bounds |dx| far below
// 1e-7; the quartic grows like |dx|^4 and only pins the point to ~1e-5.
TEST_P(KnownMinimumTest, FindsTheMinimum) {
  const KnownMinimum& c = GetParam();
  const PowellRun run(c.start, c.f, 1e-10);
  EXPECT_LE(run.fret, 1e-20);
  EXPECT_LE(c.error(run.p), c.tolerance);
  EXPECT_EQ(run.fret, c.f(run.p)) << "fret must be the value at the returned point";
}

INSTANTIATE_TEST_SUITE_P(Functions, KnownMinimumTest,
                         ::testing::Values(KnownMinimum{"bowl",
                                                        bowl,
                                                        {0.0, 0.0, 0.0},
                                                        [](const DoubleVector& p) {
                                                          return maxDistance(p, {1, 2, 3});
                                                        },
                                                        1e-7},
                                           KnownMinimum{"rosenbrock2",
                                                        rosenbrock,
                                                        {-1.2, 1.0},
                                                        [](const DoubleVector& p) {
                                                          return maxDistance(p, {1, 1});
                                                        },
                                                        1e-7},
                                           KnownMinimum{"rosenbrock3",
                                                        rosenbrock,
                                                        {-1.2, 1.0, 1.0},
                                                        [](const DoubleVector& p) {
                                                          return maxDistance(p, {1, 1, 1});
                                                        },
                                                        1e-7},
                                           KnownMinimum{"powellQuartic",
                                                        powellQuartic,
                                                        {3.0, -1.0, 0.0, 1.0},
                                                        [](const DoubleVector& p) {
                                                          return maxDistance(p, {0, 0, 0, 0});
                                                        },
                                                        1e-5},
                                           KnownMinimum{"flatDirection",
                                                        valley,
                                                        {0.0, 0.0, 0.0},
                                                        [](const DoubleVector& p) {
                                                          return std::max(std::fabs(p[0] + p[1] - 2.0),
                                                                          std::fabs(p[2] - 1.0));
                                                        },
                                                        1e-7}),
                         [](const auto& info) { return std::string(info.param.name); });

double sumOfSquares(const DoubleVector& p) { return sq(p[0]) + sq(p[1]); }
double onlyX(const DoubleVector& p) { return sq(p[0]); }

TEST(PowellTest, StartAtMinimumReturnsAfterFirstSweep) {
  const PowellRun run({0.0, 0.0}, sumOfSquares, 1e-10);
  EXPECT_EQ(run.iter, 0);
  EXPECT_EQ(run.fret, 0.0);
  EXPECT_EQ(run.p[0], 0.0);  // no point but the start has value 0
  EXPECT_EQ(run.p[1], 0.0);

  // Along y the value never changes: the line search still moves, by the
  // golden-section walk to the far end of the bracket [0, 2.618034].
  const PowellRun flat({0.0, 0.0}, onlyX, 1e-10);
  EXPECT_EQ(flat.iter, 0);
  EXPECT_EQ(flat.p[0], 0.0);
  EXPECT_NEAR(flat.p[1], 2.618034, 1e-7);
}

double g_scale = 1.0;
double scaledParabola(const DoubleVector& p) { return g_scale * sq(p[0] - 0.5); }

// From 0 the first sweep lowers the value from 0.25 * scale to about 0, so
// with ftol = 0 it converges only if 2 * 0.25 * scale <= 1e-25.
TEST(PowellTest, ZeroToleranceConvergesThroughAbsoluteFloor) {
  for (double ftol : {0.0, 1e-80}) {
    g_scale = 1e-26;
    EXPECT_EQ(PowellRun({0.0}, scaledParabola, ftol).iter, 0);
    g_scale = 1e-24;
    EXPECT_EQ(PowellRun({0.0}, scaledParabola, ftol).iter, 1);
  }
}

// Down to 0 for t >= 1 and to -1 for t >= 4 (or level from 1 on): integer
// values, so decreases compare exactly.
double terrace(double t) { return t < 1.0 ? 1.0 - t : (t < 4.0 ? 0.0 : -1.0); }
double twoTerraces(const DoubleVector& p) { return terrace(p[0]) + terrace(p[1]); }
double plateau(double t) { return std::max(1.0 - t, 0.0); }
double twoPlateaus(const DoubleVector& p) {
  ++g_evaluations;
  return plateau(p[0]) + plateau(p[1]);
}

TEST(PowellTest, DirectionReplacement) {
  // Both line searches of sweep 0 lower the value by exactly 1 (2 -> 1 -> 0);
  // the extrapolated point (about 5.24, 5.24) has -2, so
  // t = 2 (2 - 0 - 2) (2 - 0 - 1)^2 - 1 (2 + 2)^2 = -16 < 0 and the first of
  // the tied directions is dropped: column 0 takes the old column 1.
  const PowellRun tied({0.0, 0.0}, twoTerraces, 1e-10);
  EXPECT_EQ(tied.iter, 1);
  EXPECT_EQ(tied.fret, -2.0);
  EXPECT_EQ(tied.xi[0][0], 0.0);
  EXPECT_EQ(tied.xi[1][0], 1.0);
  EXPECT_GT(tied.xi[0][1], 4.0);  // the diagonal move, about 2.618 * 2.618
  EXPECT_EQ(tied.xi[0][1], tied.xi[1][1]);

  // Extrapolated point only as low as the sweep's end:
  // t = 2 (2 - 0 + 0) (2 - 0 - 1)^2 - 1 (2 - 0)^2 = 0, not below 0, so the
  // directions stay. Evaluations (a flat line costs 40, see below): 1 + 40
  // + 40 + 1 (extrapolated point) + 40 + 40 (sweep 1, no decrease) = 162.
  const PowellRun level({0.0, 0.0}, twoPlateaus, 1e-10);
  EXPECT_EQ(level.iter, 1);
  EXPECT_EQ(g_evaluations, 162);
  EXPECT_EQ(level.xi[0][0], 1.0);
  EXPECT_EQ(level.xi[1][0], 0.0);
  EXPECT_EQ(level.xi[0][1], 0.0);
  EXPECT_EQ(level.xi[1][1], 1.0);
}

double ramp(const DoubleVector& p) {
  ++g_evaluations;
  return std::max(0.5 - p[0], 0.0);
}
double parabolaHalf(const DoubleVector& p) {
  ++g_evaluations;
  return sq(p[0] - 0.5);
}

// Golden-section walk of brent on a flat stretch of the bracket (0, 1, B),
// B = 2.618034: every trial point is no higher, so x moves right each time
// and keeps 0.381966 of the interval to its left; the interval shrinks as
// W_k = 1.618034 * 0.618034^(k-1). The test |x - xm| <= 2 tol1 - W/2 reads
// 0.618034 W_k <= 2 (1e-8 * 2.618 + eps), first true at k = 36 (4.85e-8 <=
// 5.24e-8; k = 35 gives 7.85e-8). So a flat line costs 3 (bracket) + 1 + 36.
//
// ramp from 0: the first line has f(0) = 0.5, f(1) = 0, then flat: 40.
// Extrapolated point 2p: value 0 < 0.5, t = 2 * 0.5 * 0^2 - 0.5 * 0.5^2 < 0,
// so 1 evaluation and a second line search, flat: 40. Sweep 1 (flat): 40,
// no decrease, converged. Total 1 + 40 + 1 + 40 + 40 = 122.
TEST(PowellTest, EvaluationCountMatchesHandTrace) {
  const PowellRun run({0.0}, ramp, 1e-8);
  EXPECT_EQ(run.iter, 1);
  EXPECT_EQ(run.fret, 0.0);
  EXPECT_EQ(g_evaluations, 122);

  // (x - 0.5)^2 from 0, ftol = 2 (the test then holds for any fret >= 0
  // after one sweep): 1 + bracket 3 (0, 1, 2.618034) + brent 1 + golden to
  // 1.618, golden to 0.618, parabola to 0.5, a tol1 step to one side, a tol1
  // step to the other, converged: 1 + 3 + 6 = 10.
  const PowellRun half({0.0}, parabolaHalf, 2.0);
  EXPECT_EQ(half.iter, 0);
  EXPECT_EQ(g_evaluations, 10);
  EXPECT_NEAR(half.p[0], 0.5, 1e-8);
}

double shifted(const DoubleVector& p) { return sq(p[0] - 3.0) + sq(p[1] + 1.0); }

TEST(LineSearchTest, MovesToLineMinimumAndReturnsDisplacement) {
  // Along (1, 1) + t (1, -1) the value is 2 (t - 2)^2: minimum at t = 2.
  DoubleVector p(2), xi(2);
  p[0] = 1.0, p[1] = 1.0, xi[0] = 1.0, xi[1] = -1.0;
  double fret = -1.0;
  lineSearch(p, xi, fret, shifted);
  EXPECT_NEAR(p[0], 3.0, 1e-7);
  EXPECT_NEAR(p[1], -1.0, 1e-7);
  EXPECT_NEAR(xi[0], 2.0, 1e-7);
  EXPECT_NEAR(xi[1], -2.0, 1e-7);
  EXPECT_LE(fret, 1e-14);
}

// One-dimensional functions record where they are evaluated.
double record(double x, double fx) {
  g_abscissae.push_back(x);
  return fx;
}
double square1(double x) { return record(x, x * x); }
double constant1(double x) { return record(x, 7.0); }
double centredAt1(double x) { return record(x, sq(x - 1.0)); }
double centredAt2(double x) { return record(x, sq(x - 2.0)); }
double centredAt10(double x) { return record(x, sq(x - 10.0)); }
double farAway(double x) { return record(x, sq(x - 1000.0)); }
double leftOf(double x) { return record(x, sq(x + 3.0)); }
double vee(double x) { return record(x, std::max(-x, x - 200.0)); }      // minimum at 100
double cap(double x) { return record(x, x < 4.0 ? -x * x : x - 20.0); }  // minimum at 4
double skewed(double x) { return record(x, std::exp(x - 5.0) - x); }     // minimum at 5

const double kC0 = 1.0 + 1.618034;  // first c from (a, b) = (0, 1)

struct BracketCase {
  const char* what;
  ScalarFunction f;
  double minimum;
  size_t evaluations;  // 0: not worked out
  double fourthPoint;  // NaN: not worked out
};

TEST(BracketMinimumTest, EnclosesTheMinimumAlongEachBranch) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  const BracketCase cases[] = {
      // f(1) > f(0): exchanged, c = 0 + 1.618034 (0 - 1), and fc > fb.
      {"exchange", square1, 0.0, 3, none},
      // Equal values are not exchanged; fb > fc fails at once.
      {"constant", constant1, none, 3, none},
      // Vertex 2 between b and c, below fc: (1, 2, c0).
      {"vertex between", centredAt2, 2.0, 4, none},
      // Vertex 10 beyond c within the limit, below fc: one golden step past
      // it, 10 + 1.618034 (10 - c0) = 21.94, higher: (c0, 10, 21.94).
      {"vertex beyond", centredAt10, 10.0, 5, none},
      // (0, 0), (1, -1), (c0, -c0) are collinear with q - r = 0 exactly, so
      // s = +TINY and the vertex lies far beyond: clipped to b + 100 (c - b).
      {"collinear", vee, 100.0, 0, 1.0 + 100.0 * (kC0 - 1.0)},
      // The parabola through -x^2 has its vertex (a maximum) at 0, behind b:
      // ignored, golden step c + 1.618034 (c - b).
      {"vertex behind", cap, 4.0, 0, kC0 + 1.618034 * (kC0 - 1.0)},
      {"exchange and beyond", leftOf, -3.0, 0, none},
      {"far", farAway, 1000.0, 0, none},
      {"skewed", skewed, 5.0, 0, none},
  };
  for (const BracketCase& t : cases) {
    SCOPED_TRACE(t.what);
    g_abscissae.clear();
    double a = 0.0, b = 1.0, c, fa, fb, fc;
    bracketMinimum(a, b, c, fa, fb, fc, t.f);
    const std::vector<double> seen = g_abscissae;
    EXPECT_GE((b - a) * (c - b), 0.0);
    EXPECT_LE(fb, fa);
    EXPECT_LE(fb, fc);
    EXPECT_EQ(fa, t.f(a));
    EXPECT_EQ(fb, t.f(b));
    EXPECT_EQ(fc, t.f(c));
    if (!std::isnan(t.minimum)) {
      EXPECT_GT((b - a) * (c - b), 0.0);
      EXPECT_GE(t.minimum, std::min(a, c));
      EXPECT_LE(t.minimum, std::max(a, c));
    }
    if (t.evaluations != 0) {
      EXPECT_EQ(seen.size(), t.evaluations);
    }
    if (!std::isnan(t.fourthPoint)) {
      ASSERT_GE(seen.size(), 4u);
      EXPECT_EQ(seen[3], t.fourthPoint);
    }
  }
}

TEST(BracketMinimumTest, ExactPointsByHand) {
  struct Expected {
    ScalarFunction f;
    double a, b, c, cTolerance;
  };
  for (const Expected& e : {Expected{square1, 1.0, 0.0, -1.618034, 0.0},  // exact: 1.618034 * -1
                            Expected{constant1, 0.0, 1.0, kC0, 0.0}, Expected{centredAt2, 1.0, 2.0, kC0, 0.0},
                            Expected{centredAt10, kC0, 10.0, 10.0 + 1.618034 * (10.0 - kC0), 1e-11}}) {
    double a = 0.0, b = 1.0, c, fa, fb, fc;
    bracketMinimum(a, b, c, fa, fb, fc, e.f);
    EXPECT_EQ(a, e.a);
    EXPECT_NEAR(b, e.b, 1e-12);  // a parabola's vertex, up to rounding
    EXPECT_NEAR(c, e.c, e.cTolerance);
  }
}

TEST(BrentTest, StepsWorkedOutByHand) {
  // Bracket (0, 1, 3) with the best point already at the minimum 1: no
  // other point is as low, so x never moves and the result is exactly 1.
  // Trace: golden step 0.381966 * (3 - 1) to the right; the parabola through
  // two equal points is rejected, golden step 0.381966 * (0 - 1) to the
  // left; the parabola then lands on 1 itself, so the step is tol1 to one
  // side, and being within tol2 of that end, tol1 to the other side.
  g_abscissae.clear();
  double xmin = -1.0;
  EXPECT_EQ(brent(0.0, 1.0, 3.0, centredAt1, 1e-8, xmin), 0.0);
  EXPECT_EQ(xmin, 1.0);
  ASSERT_EQ(g_abscissae.size(), 5u);
  EXPECT_EQ(g_abscissae[1], 1.0 + 0.381966 * 2.0);
  EXPECT_EQ(g_abscissae[2], 1.0 - 0.381966);
  const double tol1 = 1e-8 * 1.0 + std::numeric_limits<double>::epsilon() * 0.001;
  // 1 +- tol1 rounds to within 1.2e-16 of itself.
  EXPECT_NEAR(std::fabs(g_abscissae[3] - 1.0), tol1, 2e-16);
  EXPECT_NEAR(g_abscissae[3] + g_abscissae[4], 2.0, 4e-16);

  // A flat line with tol = 0.3: one golden step from x = a = 1 to
  // 1 + 0.381966 (2 - 1); then |x - xm| = 0.118 <= 2 * 0.3 * 1.38 - 0.5.
  g_abscissae.clear();
  brent(1.0, 1.0, 2.0, constant1, 0.3, xmin);
  EXPECT_EQ(xmin, 1.0 + 0.381966);
  EXPECT_EQ(g_abscissae.size(), 2u);
}

double cosine(double x) { return record(x, std::cos(x)); }

TEST(BrentTest, ReversedBracketGivesTheSameSearch) {
  double forward = 0.0, backward = 0.0;
  g_abscissae.clear();
  const double f1 = brent(2.0, 3.0, 4.5, cosine, 1e-8, forward);
  const std::vector<double> forwardPoints = g_abscissae;
  g_abscissae.clear();
  const double f2 = brent(4.5, 3.0, 2.0, cosine, 1e-8, backward);
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(f1, f2);
  EXPECT_EQ(g_abscissae, forwardPoints);
  // The interval closes to about 2 tol1 = 6.3e-8 around pi.
  EXPECT_NEAR(forward, std::numbers::pi, 1e-7);
}

// --- fatal reports -------------------------------------------------------

std::string report(const std::string& text) {
  return "Numerical Recipes run-time error\\.\\.\\.\n" + text + "\n\\.\\.\\.now exiting to system\\.\\.\\.\n";
}
void printEvaluations(const std::string& text) {
  std::cerr << "evaluations=" << g_evaluations << " [" << text << "]\n";
}
double absolute(double x) {
  ++g_evaluations;
  return std::fabs(x);
}
double notANumber(const DoubleVector&) {
  ++g_evaluations;
  return std::numeric_limits<double>::quiet_NaN();
}
void throwingHook(const std::string&) { throw std::runtime_error("hook failed"); }

// |x| with best point 0 inside [-1e300, 1e300]: every trial is higher, and the
// golden steps cut the interval by 0.382 per iteration, far from the width
// ~4e-19 that tol1 = eps demands at x = 0. Dies after 1 + 100 evaluations;
// the hook sees the three lines before they are written.
TEST(MinimiserDeathTest, BrentReportsItsIterationLimit) {
  auto run = [](FatalReportHook hook) {
    double xmin;
    g_evaluations = 0;
    setFatalReportHook(hook);
    brent(-1e300, 0.0, 1e300, absolute, 1e-8, xmin);
  };
  const std::string lines = report("Too many iterations in brent");
  EXPECT_EXIT(run(nullptr), ::testing::ExitedWithCode(1), "^" + lines + "$");
  EXPECT_EXIT(run(printEvaluations), ::testing::ExitedWithCode(1),
              "^evaluations=101 \\[" + lines.substr(0, lines.size() - 1) + "\\]\n" + lines + "$");
  EXPECT_EXIT(run(throwingHook), ::testing::ExitedWithCode(1), "^" + lines + "$");
}

// A value that is not a number fails every comparison, so no sweep converges.
// With no variables each sweep costs only the extrapolated point: 1 + 200
// evaluations for sweeps 0 to 199, and sweep 200 ends the run.
TEST(MinimiserDeathTest, PowellReportsItsSweepLimit) {
  auto run = [](int n) {
    setFatalReportHook(printEvaluations);
    PowellRun(std::vector<double>(static_cast<size_t>(n), 0.0), notANumber, 1e-8);
  };
  const std::string lines = report("powell exceeding maximum iterations\\.");
  EXPECT_EXIT(run(0), ::testing::ExitedWithCode(1),
              "^evaluations=201 \\[" + lines.substr(0, lines.size() - 1) + "\\]\n" + lines + "$");
  EXPECT_EXIT(run(1), ::testing::ExitedWithCode(1), lines + "$");
}

}  // namespace
