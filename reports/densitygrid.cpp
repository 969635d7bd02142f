#include "reports/densitygrid.h"

#include <algorithm>
#include <array>
#include <barrier>
#include <charconv>
#include <cmath>
#include <cstring>
#include <thread>

#include "reports/spotexp.h"

namespace {

double WeightOf(double count, bool weighted) { return weighted ? count : 1.0; }

int ThreadCount(int requested) {
  if (requested > 0) return std::min(requested, 64);
  const unsigned hardware = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(hardware, 1u, 8u));
}

// Runs body(t) for t = 0 ... threads - 1, each on its own thread (t = 0 on the caller's).
template <class Body>
void RunOnThreads(int threads, Body body) {
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<std::size_t>(threads - 1));
  for (int t = 1; t < threads; ++t) helpers.emplace_back(body, t);
  body(0);
  for (std::thread& h : helpers) h.join();
}

// --- The separable sum -------------------------------------------------------------------------
//
// exp(-((x - a)^2 + (y - b)^2) / s) = exp(-(x - a)^2 / s) * exp(-(y - b)^2 / s), so a record
// adds w * E(i) * F(j) to cell (i, j), with E over the rows and F over the columns: 402
// exponentials per record instead of 40,401. Records are taken in blocks; for each block the
// threads first share the factor computation, then the rows, and every cell adds its records
// in record order.

constexpr int kBlockRecords = 256;
constexpr int kGroupRecords = 16;   // the column factors of a group stay in the first-level cache
constexpr int kFactorStride = 204;  // 201 factors padded to whole vectors; the padding stays 0
constexpr double kInverseSpread = 1 / kSpotSpread;

struct RecordBlock {
  int size = 0;
  std::array<double, kBlockRecords> initial{};
  std::array<double, kBlockRecords> final{};
  std::array<double, kBlockRecords> weight{};
  // Per record: w * E(i) over the rows, and F(j) over the columns.
  std::vector<double> rowFactors = std::vector<double>(static_cast<std::size_t>(kBlockRecords) * kFactorStride, 0.0);
  std::vector<double> columnFactors = std::vector<double>(static_cast<std::size_t>(kBlockRecords) * kFactorStride, 0.0);
};

// out[i] = scale * exp(-(i * 0.005 - centre)^2 / 0.0005) for the 201 cells of an axis; the
// padding after them is 0.
[[gnu::target_clones("avx2", "default")]] void FillFactors(double centre, double scale, double* __restrict out) {
  static_assert(kFactorStride % 4 == 0 && kFactorStride >= kMapCells);
  for (int i = 0; i < kFactorStride; i += 4) {
    const Double4 index = {static_cast<double>(i), static_cast<double>(i + 1), static_cast<double>(i + 2),
                           static_cast<double>(i + 3)};
    const Double4 d = index * kCellStep - centre;
    const Double4 exponents = -(d * d) * kInverseSpread;
    double arguments[4], spots[4];
    std::memcpy(arguments, &exponents, sizeof arguments);
    SpotExp4(arguments, spots);
    for (int m = 0; m < 4; ++m) out[i + m] = scale * spots[m];
  }
  std::fill(out + kMapCells, out + kFactorStride, 0.0);
}

// acc[j] += c_k * cols_k[j] for k = 0 ... count - 1, in that order for every j. Four records at
// a time whose factors are all 0 add exact zeros and are passed over.
[[gnu::target_clones("avx2", "default")]] void AccumulateRow(double* __restrict acc, const double* __restrict coef,
                                                             int count, const double* __restrict cols) {
  int k = 0;
  for (; k + 4 <= count; k += 4) {
    const double c0 = coef[k], c1 = coef[k + 1], c2 = coef[k + 2], c3 = coef[k + 3];
    if (c0 == 0 && c1 == 0 && c2 == 0 && c3 == 0) continue;
    const double* f0 = cols + static_cast<std::size_t>(k) * kFactorStride;
    const double* f1 = f0 + kFactorStride;
    const double* f2 = f1 + kFactorStride;
    const double* f3 = f2 + kFactorStride;
    for (int j = 0; j < kFactorStride; ++j) {
      double s = acc[j];
      s += c0 * f0[j];
      s += c1 * f1[j];
      s += c2 * f2[j];
      s += c3 * f3[j];
      acc[j] = s;
    }
  }
  for (; k < count; ++k) {
    const double c = coef[k];
    if (c == 0) continue;
    const double* f = cols + static_cast<std::size_t>(k) * kFactorStride;
    for (int j = 0; j < kFactorStride; ++j) acc[j] += c * f[j];
  }
}

class SeparableSum {
 public:
  SeparableSum(const RecordArrays& records, bool weighted, bool magnitudes, int threads)
      : records_(records), weighted_(weighted), magnitudes_(magnitudes), threads_(threads) {}

  // Row-major sums, kFactorStride values per row; with `magnitudes`, also the sums of |terms|.
  std::vector<double> sums = std::vector<double>(static_cast<std::size_t>(kMapCells) * kFactorStride, 0.0);
  std::vector<double> magnitudeSums;

  void Run() {
    if (magnitudes_) magnitudeSums.assign(sums.size(), 0.0);
    bool gatherNext = true;
    auto completion = [this, &gatherNext]() noexcept {
      if (gatherNext) Gather();
      gatherNext = !gatherNext;
    };
    std::barrier sync(threads_, completion);
    RunOnThreads(threads_, [&](int t) {
      for (;;) {
        sync.arrive_and_wait();  // the next block is gathered
        if (block_.size == 0) break;
        ComputeFactors(t);
        sync.arrive_and_wait();  // every factor of the block is there
        AccumulateRows(t);
      }
    });
  }

 private:
  // The next records that take part, in record order.
  void Gather() {
    block_.size = 0;
    while (cursor_ < records_.size && block_.size < kBlockRecords) {
      const std::size_t r = cursor_++;
      if (!TakesPart(records_.initial[r], records_.final[r], records_.rate[r], records_.count[r])) continue;
      const auto k = static_cast<std::size_t>(block_.size++);
      block_.initial[k] = records_.initial[r];
      block_.final[k] = records_.final[r];
      block_.weight[k] = WeightOf(records_.count[r], weighted_);
    }
  }

  void ComputeFactors(int t) {
    for (int k = t; k < block_.size; k += threads_) {
      const auto at = static_cast<std::size_t>(k) * kFactorStride;
      const auto kk = static_cast<std::size_t>(k);
      FillFactors(block_.initial[kk], block_.weight[kk], block_.rowFactors.data() + at);
      FillFactors(block_.final[kk], 1.0, block_.columnFactors.data() + at);
    }
  }

  // Group by group, so that a group's column factors serve every row while they are cached.
  void AccumulateRows(int t) {
    std::array<double, kGroupRecords> coef{};
    for (int group = 0; group < block_.size; group += kGroupRecords) {
      const int count = std::min(kGroupRecords, block_.size - group);
      const double* columns = block_.columnFactors.data() + static_cast<std::size_t>(group) * kFactorStride;
      for (int i = t; i < kMapCells; i += threads_) {
        const std::size_t row = static_cast<std::size_t>(i) * kFactorStride;
        for (int k = 0; k < count; ++k)
          coef[static_cast<std::size_t>(k)] =
              block_.rowFactors[static_cast<std::size_t>(group + k) * kFactorStride + static_cast<std::size_t>(i)];
        AccumulateRow(sums.data() + row, coef.data(), count, columns);
        if (magnitudes_) {
          for (double& c : coef) c = std::fabs(c);
          AccumulateRow(magnitudeSums.data() + row, coef.data(), count, columns);
        }
      }
    }
  }

  const RecordArrays& records_;
  const bool weighted_;
  const bool magnitudes_;
  const int threads_;
  std::size_t cursor_ = 0;
  RecordBlock block_;
};

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
//  - summing n terms in order adds at most gamma(n) = nu / (1 - nu) times the sum of |terms|.
// kTermError bounds the first with room to spare (1.1e-12 at most there).
constexpr double kUnitRoundoff = 0x1p-53;
constexpr double kTermError = 1e-11;
constexpr double kUnderflowError = 1e-300;

struct CellBounds {
  double lo;
  double hi;
};

struct BoundTerms {
  double relative;  // per sum, relative to the sum of |exact terms|
  double absolute;  // per sum, underflow
};

BoundTerms SumBoundTerms(std::size_t taking, double weightMagnitude) {
  const double n = static_cast<double>(taking);
  const double gamma = n * kUnitRoundoff / (1 - n * kUnitRoundoff);
  return {gamma * 1.001 + kTermError, (weightMagnitude + n) * kUnderflowError};
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
void SumDirectly(const RecordArrays& records, bool weighted, const std::vector<int>& cells, std::vector<double>& out,
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

bool AllFinite(const RecordArrays& records, bool weighted, double& weightMagnitude, bool& anyNegative,
               std::size_t& taking) {
  weightMagnitude = 0;
  anyNegative = false;
  taking = 0;
  for (std::size_t r = 0; r < records.size; ++r) {
    if (!TakesPart(records.initial[r], records.final[r], records.rate[r], records.count[r])) continue;
    const double w = WeightOf(records.count[r], weighted);
    if (!std::isfinite(records.initial[r]) || !std::isfinite(records.final[r]) || !std::isfinite(w)) return false;
    weightMagnitude += std::fabs(w);
    anyNegative = anyNegative || w < 0;
    ++taking;
  }
  return true;
}

}  // namespace

double DirectCellSum(const RecordArrays& records, bool weighted, int i, int j) {
  const double x = CellValue(i);
  const double y = CellValue(j);
  double sum = 0;
  for (std::size_t r = 0; r < records.size; ++r) {
    if (!TakesPart(records.initial[r], records.final[r], records.rate[r], records.count[r])) continue;
    const double a = records.initial[r];
    const double b = records.final[r];
    const double spot = std::exp(-((x - a) * (x - a) + (y - b) * (y - b)) / kSpotSpread);
    sum += weighted ? spot * records.count[r] : spot;
  }
  return sum;
}

DensityGrid DirectDensityGrid(const RecordArrays& records, bool weighted) {
  DensityGrid grid;
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j) {
      const double sum = DirectCellSum(records, weighted, i, j);
      grid.cells[static_cast<std::size_t>(i) * kMapCells + static_cast<std::size_t>(j)] = sum;
      if (sum > grid.maximum) grid.maximum = sum;
    }
  return grid;
}

DensityGrid FastDensityGrid(const RecordArrays& records, bool weighted, int threads) {
  double weightMagnitude = 0;
  bool anyNegative = false;
  std::size_t taking = 0;
  // Infinite or non-number values make every bound meaningless; such records never come from
  // a report, so the direct sums are affordable there.
  if (!AllFinite(records, weighted, weightMagnitude, anyNegative, taking)) return DirectDensityGrid(records, weighted);

  DensityGrid grid;
  if (taking == 0) return grid;
  const int used = ThreadCount(threads);

  SeparableSum separable(records, weighted, anyNegative, used);
  separable.Run();
  const BoundTerms terms = SumBoundTerms(taking, weightMagnitude);
  std::vector<CellBounds> bounds(kCellCount);
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j) {
      const std::size_t from = static_cast<std::size_t>(i) * kFactorStride + static_cast<std::size_t>(j);
      const std::size_t cell = static_cast<std::size_t>(i) * kMapCells + static_cast<std::size_t>(j);
      const double sum = separable.sums[from];
      grid.cells[cell] = sum;
      bounds[cell] = BoundsOf(sum, anyNegative ? separable.magnitudeSums[from] : sum, terms);
    }

  // The maximum: every cell that might hold it is summed directly.
  double lowestMaximum = -HUGE_VAL;
  for (const CellBounds& b : bounds)
    if (Finite(b)) lowestMaximum = std::max(lowestMaximum, b.lo);
  std::vector<int> direct;
  std::vector<bool> isDirect(kCellCount, false);
  for (int cell = 0; cell < kCellCount; ++cell) {
    const CellBounds& b = bounds[static_cast<std::size_t>(cell)];
    if (!Finite(b) || (b.hi > 0 && b.hi >= lowestMaximum)) {
      direct.push_back(cell);
      isDirect[static_cast<std::size_t>(cell)] = true;
    }
  }
  SumDirectly(records, weighted, direct, grid.cells, used);
  for (int cell : direct) grid.maximum = std::max(grid.maximum, grid.cells[static_cast<std::size_t>(cell)]);

  // Every other cell whose decisions its interval does not settle.
  direct.clear();
  for (int cell = 0; cell < kCellCount; ++cell)
    if (!isDirect[static_cast<std::size_t>(cell)] && !DecidedAlike(bounds[static_cast<std::size_t>(cell)], grid.maximum))
      direct.push_back(cell);
  SumDirectly(records, weighted, direct, grid.cells, used);
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
