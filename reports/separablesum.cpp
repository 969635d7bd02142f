#include "reports/separablesum.h"

#include <algorithm>
#include <array>
#include <barrier>
#include <cmath>
#include <cstring>

#include "reports/parallel.h"
#include "reports/spotexp.h"

namespace {

// Records are taken in blocks; for each block the threads first share the factor computation,
// then the rows.
constexpr int kBlockRecords = 256;
constexpr int kGroupRecords = 16;                      // the column factors of a group stay in the first-level cache
constexpr int kFactorStride = SeparableSums::kStride;  // the padding stays 0
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
  SeparableSum(const TransitionRecords& records, bool weighted, bool magnitudes, int threads)
      : records_(records), weighted_(weighted), magnitudes_(magnitudes), threads_(threads) {}

  SeparableSums result;

  void Run() {
    result.sums.assign(static_cast<std::size_t>(kMapCells) * kFactorStride, 0.0);
    if (magnitudes_) result.magnitudes.assign(result.sums.size(), 0.0);
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
    while (cursor_ < records_.size() && block_.size < kBlockRecords) {
      const TransitionRecord record = records_[cursor_++];
      if (!TakesPart(record)) continue;
      const auto k = static_cast<std::size_t>(block_.size++);
      block_.initial[k] = record.initial;
      block_.final[k] = record.final;
      block_.weight[k] = SpotWeight(record.count, weighted_);
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
        AccumulateRow(result.sums.data() + row, coef.data(), count, columns);
        if (magnitudes_) {
          for (double& c : coef) c = std::fabs(c);
          AccumulateRow(result.magnitudes.data() + row, coef.data(), count, columns);
        }
      }
    }
  }

  const TransitionRecords& records_;
  const bool weighted_;
  const bool magnitudes_;
  const int threads_;
  std::size_t cursor_ = 0;
  RecordBlock block_;
};

}  // namespace

SeparableSums SumSeparably(const TransitionRecords& records, bool weighted, bool magnitudes, int threads) {
  SeparableSum sum(records, weighted, magnitudes, ThreadCount(threads));
  sum.Run();
  return std::move(sum.result);
}
