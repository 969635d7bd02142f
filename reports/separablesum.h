// The density grid summed from separable spots: exp(-((x - a)^2 + (y - b)^2) / s) is
// exp(-(x - a)^2 / s) x exp(-(y - b)^2 / s), so a record adds w E(i) F(j) to cell (i, j), with E
// over the rows and F over the columns: 402 exponentials per record instead of 40,401.
//
// A spot is narrow (its standard deviation is 3 cells): E(i) and F(j) below e^-z are taken as 0,
// so that a record works only on the cells around its own (73 x 73 for z = 64), not on all
// 40,401. What that leaves out of a cell is below e^-z |w| per record; the caller chooses z and
// counts that in its error bound.
#pragma once

#include <cstddef>
#include <vector>

#include "reports/densitygrid.h"

struct SeparableSums {
  static constexpr int kStride = 204;  // values per row: 201 cells padded to whole vectors
  std::vector<double> sums;            // of every cell, row by row
  std::vector<double> magnitudes;      // of |terms|, when asked for

  double Sum(int i, int j) const { return sums[Index(i, j)]; }
  double Magnitude(int i, int j) const { return magnitudes[Index(i, j)]; }
  static std::size_t Index(int i, int j) { return static_cast<std::size_t>(i) * kStride + static_cast<std::size_t>(j); }
};

// Every cell's sum over the records that take part, each cell adding its records in record
// order, the rows shared among `threads` threads; factors whose exponent lies below -cut are
// taken as 0. With `magnitudes` also the sums of |terms| (they differ from the sums only where
// weights are negative).
SeparableSums SumSeparably(const TransitionRecords& records, bool weighted, bool magnitudes, int threads, double cut);
