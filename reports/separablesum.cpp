#include "reports/separablesum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "reports/parallel.h"
#include "reports/spotexp.h"

namespace {

constexpr int kFactorStride = SeparableSums::kStride;
constexpr double kInverseSpread = 1 / kSpotSpread;

// The cells of an axis where a spot's factor is not cut: first ... last, empty when last < first.
struct Window {
  int first = 0;
  int last = -1;
};

// The exponent of a spot centred at `centre` at cell i: -(i * 0.005 - centre)^2 / 0.0005.
double SpotArgument(int i, double centre) {
  const double d = i * kCellStep - centre;
  return -(d * d) * kInverseSpread;
}

// The cells whose exponent is at least -cut. The exponent falls off monotonically on both sides
// of the centre, so they are one run of cells: found from a guess on either side.
Window CutWindow(double centre, double cut) {
  const double reach = std::sqrt(cut * kSpotSpread) / kCellStep;  // 35.8 cells for a cut of 64
  const double middle = centre / kCellStep;
  if (!(middle + reach > -2 && middle - reach < kMapCells + 1)) return {};
  Window w{std::clamp(static_cast<int>(middle - reach) - 1, 0, kMapCells - 1),
           std::clamp(static_cast<int>(middle + reach) + 1, 0, kMapCells - 1)};
  while (w.first <= w.last && SpotArgument(w.first, centre) < -cut) ++w.first;
  while (w.last >= w.first && SpotArgument(w.last, centre) < -cut) --w.last;
  if (w.first > w.last) return {};
  while (w.first > 0 && !(SpotArgument(w.first - 1, centre) < -cut)) --w.first;
  while (w.last < kMapCells - 1 && !(SpotArgument(w.last + 1, centre) < -cut)) ++w.last;
  return w;
}

// out[i] = scale * exp(-(i * 0.005 - centre)^2 / 0.0005) for the cells of the window, which it
// returns; the other cells of `out` are not written.
[[gnu::always_inline]] inline Window FillFactors(double centre, double scale, double cut, double* __restrict out) {
  static_assert(kFactorStride % 4 == 0 && kFactorStride >= kMapCells);
  const Window window = CutWindow(centre, cut);
  for (int i = window.first & ~3; i <= window.last; i += 4) {
    const Double4 index = {static_cast<double>(i), static_cast<double>(i + 1), static_cast<double>(i + 2),
                           static_cast<double>(i + 3)};
    const Double4 d = index * kCellStep - centre;
    const Double4 exponents = -(d * d) * kInverseSpread;
    double arguments[4], spots[4];
    std::memcpy(arguments, &exponents, sizeof arguments);
    SpotExp4(arguments, spots);
    for (int m = 0; m < 4; ++m) out[i + m] = scale * spots[m];
  }
  return window;
}

// acc[j] += c * f[j] for the cells j of the window.
[[gnu::always_inline]] inline void AccumulateRow(double* __restrict acc, double c, const double* __restrict f,
                                                Window window) {
  for (int j = window.first; j <= window.last; ++j) acc[j] += c * f[j];
}

// A second copy for processors with AVX2, picked when the program loads. That needs the loader's
// indirect functions, which only ELF systems have; elsewhere the one default copy serves.
#if defined(__ELF__)
#define VARNEL_AVX2_CLONE [[gnu::target_clones("avx2", "default")]]
#else
#define VARNEL_AVX2_CLONE
#endif

// Every thread goes through all the records in record order, computes each record's factors
// itself and adds its terms to its own rows (row i belongs to thread i mod threads): computing
// the factors twice costs less than threads waiting for one another.
VARNEL_AVX2_CLONE void SumRows(const TransitionRecords& records, bool weighted, double cut,
                                                       int t, int threads, SeparableSums& result) {
  std::array<double, kFactorStride> rowFactors{}, columnFactors{};
  for (std::size_t r = 0; r < records.size(); ++r) {
    const TransitionRecord record = records[r];
    if (!TakesPart(record)) continue;
    const Window rows = FillFactors(record.initial, SpotWeight(record.count, weighted), cut, rowFactors.data());
    const Window columns = FillFactors(record.final, 1.0, cut, columnFactors.data());
    if (rows.first > rows.last || columns.first > columns.last) continue;
    // The first row of the window that is this thread's.
    const int first = rows.first + ((t - rows.first % threads) + threads) % threads;
    for (int i = first; i <= rows.last; i += threads) {
      const std::size_t row = static_cast<std::size_t>(i) * kFactorStride;
      const double c = rowFactors[static_cast<std::size_t>(i)];
      AccumulateRow(result.sums.data() + row, c, columnFactors.data(), columns);
      if (!result.magnitudes.empty())
        AccumulateRow(result.magnitudes.data() + row, std::fabs(c), columnFactors.data(), columns);
    }
  }
}

}  // namespace

SeparableSums SumSeparably(const TransitionRecords& records, bool weighted, bool magnitudes, int threads, double cut) {
  SeparableSums result;
  result.sums.assign(static_cast<std::size_t>(kMapCells) * kFactorStride, 0.0);
  if (magnitudes) result.magnitudes.assign(result.sums.size(), 0.0);
  const int used = ThreadCount(threads);
  RunOnThreads(used, [&](int t) { SumRows(records, weighted, cut, t, used, result); });
  return result;
}
