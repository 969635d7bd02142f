#include "reports/densitygrid.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "reports/parallel.h"
#include "reports/separablesum.h"

namespace {

// --- Exactness -------------------------------------------------------------------------------
//
// The separable sum differs from the direct one in the last bits. What the grid is used for —
// the printed 4 digits, the 0.01 test, the maximum and trunc(v x 255 / maximum) — must come
// out as the direct sums give it, so every cell gets an interval [lo, hi] that holds both its
// direct and its separable sum, and a cell whose interval straddles a decision is summed
// directly. The bound, with u = 2^-53 and n records taking part:
//  - one spot, direct or separable, is within (10z + 9)u + 2e-13 of the exact spot, z <= 760
//    being the exponent's argument: the few roundings of the argument are magnified by z, the
//    library's exponential is within 1 ulp and SpotExp within 1e-13;
//  - where the spot is below e^-708 the values underflow or are cut to 0: within
//    (|w| + 1) x 1e-300 of the exact spot;
//  - the separable sum leaves out the terms of a record where either of its factors is below
//    e^-z (separablesum.h): each within e^-z |w| of 0. z is chosen so that all of them together
//    stay below 1e-14 of the finest scale a decision is made at (CutArgument);
//  - summing n terms in order adds at most gamma(n) = nu / (1 - nu) times the sum of |terms|.
// kTermError bounds the first with room to spare (1.1e-12 at most there).
constexpr double kUnitRoundoff = 0x1p-53;
constexpr double kTermError = 1e-11;
constexpr double kUnderflowError = 1e-300;
// Below e^-708 every spot is 0 already: no cut needs to reach further.
constexpr double kUnderflowArgument = 708.0;
// The share of the finest decision scale that the terms left out may take together.
constexpr double kCutShare = 1e-14;

struct CellBounds {
  double lo;
  double hi;
};

struct BoundTerms {
  double relative;  // per sum, relative to the sum of |exact terms|
  double absolute;  // per sum, underflow and the terms left out
};

BoundTerms SumBoundTerms(std::size_t taking, double weightMagnitude, double cut) {
  const double n = static_cast<double>(taking);
  const double gamma = n * kUnitRoundoff / (1 - n * kUnitRoundoff);
  // e^-cut itself, and the factors the cut is tested on, within a part in 1e9.
  const double leftOut = weightMagnitude * std::exp(-cut) * (1 + 1e-9);
  return {gamma * 1.001 + kTermError, (weightMagnitude + n) * kUnderflowError + leftOut};
}

// The interval of a cell whose separable sum is `sum` and separable sum of |terms| `magnitude`.
CellBounds BoundsOf(double sum, double magnitude, const BoundTerms& terms) {
  const double exactMagnitude = (magnitude + terms.absolute) * (1 + 2 * terms.relative);
  const double apart = 2 * (terms.relative * exactMagnitude + 2 * terms.absolute);
  // Room for the rounding of the two operations below.
  const double reach = apart * (1 + 1e-12) + std::fabs(sum) * 1e-15;
  return {sum - reach, sum + reach};
}

bool Finite(const CellBounds& b) { return std::isfinite(b.lo) && std::isfinite(b.hi); }

// Whether every value in the interval prints and colours alike. Both decisions are monotone
// in the value, so the ends decide.
bool DecidedAlike(const CellBounds& b, double maximum) {
  if (!Finite(b)) return false;
  if (ColorIndexOf(b.lo, maximum) != ColorIndexOf(b.hi, maximum)) return false;
  if (!(b.hi > kPrintFloor)) return true;
  char lo[kCellTextMax], hi[kCellTextMax];
  const std::size_t n = CellText(b.lo, lo);
  return n == CellText(b.hi, hi) && std::equal(lo, lo + n, hi);
}

// Replaces the listed cells by their direct sums, shared among the threads.
void SumDirectly(const TransitionRecords& records, bool weighted, const std::vector<int>& cells, std::vector<double>& out,
                 int threads) {
  const int used = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), cells.size()));
  if (used == 0) return;
  RunOnThreads(used, [&](int t) {
    for (std::size_t k = static_cast<std::size_t>(t); k < cells.size(); k += static_cast<std::size_t>(used)) {
      const int cell = cells[k];
      out[static_cast<std::size_t>(cell)] = DirectCellSum(records, weighted, cell / kMapCells, cell % kMapCells);
    }
  });
}

struct RecordSummary {
  bool finite = true;  // no infinite or non-number value among the records taking part
  bool anyNegative = false;
  std::size_t taking = 0;
  double weightMagnitude = 0;  // sum of |w|
  double largestWeight = 0;    // max |w|
};

RecordSummary Summarise(const TransitionRecords& records, bool weighted) {
  RecordSummary summary;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const TransitionRecord record = records[r];
    if (!TakesPart(record)) continue;
    const double w = SpotWeight(record.count, weighted);
    summary.finite = summary.finite && std::isfinite(record.initial) && std::isfinite(record.final) && std::isfinite(w);
    summary.anyNegative = summary.anyNegative || w < 0;
    summary.weightMagnitude += std::fabs(w);
    summary.largestWeight = std::max(summary.largestWeight, std::fabs(w));
    ++summary.taking;
  }
  return summary;
}

// How far the separable sum follows a spot: its factors below e^-z count as 0. The terms so
// left out, below e^-z sum|w| together, must not come near a decision: z makes them at most
// 1e-14 of the finest scale decided on, the 0.01 of the file or the weights themselves where
// they are smaller (the largest sum is at least 0.97 of the largest weight). So a load with one
// enormous weight follows every spot far enough that the cells of the others stay settled.
double CutArgument(const RecordSummary& summary) {
  const double scale = kCutShare * std::min(kPrintFloor, summary.largestWeight);
  const double cut = std::log(summary.weightMagnitude / scale);
  return std::isnan(cut) ? kUnderflowArgument : std::min(cut, kUnderflowArgument);
}

// Takes the separable sums into `cells` and gives each cell its interval.
std::vector<CellBounds> BoundCells(const SeparableSums& separable, const RecordSummary& summary, double cut,
                                   std::vector<double>& cells) {
  const BoundTerms terms = SumBoundTerms(summary.taking, summary.weightMagnitude, cut);
  std::vector<CellBounds> bounds(kCellCount);
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j) {
      const std::size_t cell = static_cast<std::size_t>(i) * kMapCells + static_cast<std::size_t>(j);
      const double sum = separable.Sum(i, j);
      cells[cell] = sum;
      bounds[cell] = BoundsOf(sum, summary.anyNegative ? separable.Magnitude(i, j) : sum, terms);
    }
  return bounds;
}

// The cells that may hold the largest sum: no other cell's interval lies wholly above theirs.
std::vector<int> MaximumCandidates(const std::vector<CellBounds>& bounds) {
  double lowestMaximum = -HUGE_VAL;
  for (const CellBounds& b : bounds)
    if (Finite(b)) lowestMaximum = std::max(lowestMaximum, b.lo);
  std::vector<int> cells;
  for (int cell = 0; cell < kCellCount; ++cell) {
    const CellBounds& b = bounds[static_cast<std::size_t>(cell)];
    if (!Finite(b) || (b.hi > 0 && b.hi >= lowestMaximum)) cells.push_back(cell);
  }
  return cells;
}

// The cells, other than `done`, whose text or colour their interval leaves open.
std::vector<int> Unsettled(const std::vector<CellBounds>& bounds, double maximum, const std::vector<int>& done) {
  std::vector<bool> settled(kCellCount, false);
  for (int cell : done) settled[static_cast<std::size_t>(cell)] = true;
  std::vector<int> cells;
  for (int cell = 0; cell < kCellCount; ++cell)
    if (!settled[static_cast<std::size_t>(cell)] && !DecidedAlike(bounds[static_cast<std::size_t>(cell)], maximum))
      cells.push_back(cell);
  return cells;
}

}  // namespace

double DirectCellSum(const TransitionRecords& records, bool weighted, int i, int j) {
  const double x = CellValue(i);
  const double y = CellValue(j);
  double sum = 0;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const TransitionRecord record = records[r];
    if (!TakesPart(record)) continue;
    const double a = record.initial;
    const double b = record.final;
    const double spot = std::exp(-((x - a) * (x - a) + (y - b) * (y - b)) / kSpotSpread);
    sum += weighted ? spot * record.count : spot;
  }
  return sum;
}

DensityGrid DirectDensityGrid(const TransitionRecords& records, bool weighted) {
  DensityGrid grid;
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j) {
      const double sum = DirectCellSum(records, weighted, i, j);
      grid.cells[static_cast<std::size_t>(i) * kMapCells + static_cast<std::size_t>(j)] = sum;
      if (sum > grid.maximum) grid.maximum = sum;
    }
  return grid;
}

DensityGrid FastDensityGrid(const TransitionRecords& records, bool weighted, int threads) {
  const RecordSummary summary = Summarise(records, weighted);
  // Infinite or non-number values make every bound meaningless; such records never come from
  // a report, so the direct sums are affordable there.
  if (!summary.finite) return DirectDensityGrid(records, weighted);
  DensityGrid grid;
  if (summary.taking == 0) return grid;

  const int used = ThreadCount(threads);
  const double cut = CutArgument(summary);
  const std::vector<CellBounds> bounds =
      BoundCells(SumSeparably(records, weighted, summary.anyNegative, used, cut), summary, cut, grid.cells);
  // The maximum is exact: every cell that may hold it is summed directly.
  const std::vector<int> candidates = MaximumCandidates(bounds);
  SumDirectly(records, weighted, candidates, grid.cells, used);
  for (int cell : candidates) grid.maximum = std::max(grid.maximum, grid.cells[static_cast<std::size_t>(cell)]);
  SumDirectly(records, weighted, Unsettled(bounds, grid.maximum, candidates), grid.cells, used);
  return grid;
}

int ColorIndexOf(double value, double maximum) {
  if (!(maximum > 0)) return 0;
  const double index = value * 255.0 / maximum;
  if (!(index > 0)) return 0;
  if (index >= 255) return 255;
  return static_cast<int>(index);
}

std::size_t GeneralText(double value, int precision, char* out) {
  const auto result = std::to_chars(out, out + kCellTextMax, value, std::chars_format::general, precision);
  return static_cast<std::size_t>(result.ptr - out);
}

std::size_t CellText(double value, char* out) {
  if (value > kPrintFloor) return GeneralText(value, 4, out);
  out[0] = '0';
  return 1;
}
