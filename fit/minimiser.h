// Derivative-free minimisation of a real function of n real variables:
// Powell's direction-set method, each line minimisation done by a downhill
// bracket search followed by Brent's parabolic / golden-section search.
//
// The minimiser has no error returns. When one of its iteration limits is
// reached it writes a three-line report to standard error and ends the
// process with status 1 (see fatalError), unless the caller asks it to throw
// IterationLimitReached instead.
//
// Every minimisation keeps its state to itself: several may run at once, on
// different threads, and an objective may carry whatever it needs.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// A run of doubles with its length, starting at 0.
class DoubleVector {
 public:
  explicit DoubleVector(std::int32_t length);

  DoubleVector(const DoubleVector&) = delete;
  DoubleVector& operator=(const DoubleVector&) = delete;

  double& operator[](std::int32_t i);
  const double& operator[](std::int32_t i) const;
  std::int32_t length() const { return static_cast<std::int32_t>(elements_.size()); }

 private:
  std::vector<double> elements_;
};

// A rows x cols array of doubles held in one contiguous block; row i starts
// at element i * cols of the block. m[i] points at row i, so m[i][j] is row i,
// column j.
class DoubleMatrix {
 public:
  DoubleMatrix(std::int32_t rows, std::int32_t cols);

  DoubleMatrix(const DoubleMatrix&) = delete;
  DoubleMatrix& operator=(const DoubleMatrix&) = delete;

  double* operator[](std::int32_t i);
  const double* operator[](std::int32_t i) const;
  std::int32_t rows() const { return rows_; }
  std::int32_t cols() const { return cols_; }

 private:
  std::int32_t rows_;
  std::int32_t cols_;
  std::vector<double> block_;
};

// The function being minimised.
using Objective = std::function<double(const DoubleVector&)>;

// A function of one variable, as searched by bracketMinimum and brent.
using ScalarFunction = std::function<double(double)>;

// What reaching an iteration limit does: the fatal report and the end of the
// program, or an IterationLimitReached for the caller to catch.
enum class AtIterationLimit { EndProgram, Throw };

// Thrown with the text of the fatal report that it stands for.
class IterationLimitReached : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The line a line search works along: the objective at origin + x * direction.
struct LineContext {
  const DoubleVector& origin;
  const DoubleVector& direction;
  const Objective& objective;
};

// Minimises func from the start point p. xi is an n x n matrix whose columns
// are the search directions; on return p is the minimum found, xi the final
// direction set, fret the value at p, and iter the sweep (counted from 0) at
// which the fractional decrease of the value fell within ftol.
void powell(DoubleVector& p, DoubleMatrix& xi, double ftol, int& iter, double& fret, const Objective& func,
            AtIterationLimit atLimit = AtIterationLimit::EndProgram);

// Moves p to the minimum of func along direction xi. On return xi holds the
// displacement actually made and fret the value at the new p.
void lineSearch(DoubleVector& p, DoubleVector& xi, double& fret, const Objective& func,
                AtIterationLimit atLimit = AtIterationLimit::EndProgram);

// The objective at origin + x * direction of the line.
double lineValue(const LineContext& line, double x);

// Starting from the abscissae a and b, walks downhill until a, b, c bracket a
// minimum: b lies between a and c and f(b) is no higher than f(a) or f(c).
void bracketMinimum(double& a, double& b, double& c, double& fa, double& fb, double& fc, const ScalarFunction& f);

// Minimum of f inside the bracket (ax, bx, cx), which may be given in either
// order, located to a fractional precision of about tol. Stores the abscissa
// in xmin and returns f there.
double brent(double ax, double bx, double cx, const ScalarFunction& f, double tol, double& xmin,
             AtIterationLimit atLimit = AtIterationLimit::EndProgram);

// Called with the three lines of a fatal report joined by '\n', before they
// are written to standard error and the process exits, so that a window host
// can show them first.
using FatalReportHook = void (*)(const std::string& text);

// Installs the hook (nullptr removes it).
void setFatalReportHook(FatalReportHook hook);

// Writes the fatal report for text to standard error and ends the process
// with exit status 1. Nothing the hook does can prevent the exit.
[[noreturn]] void fatalError(std::string text);
