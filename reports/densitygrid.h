// The transition density grid: a Gaussian spot per record, summed over the 201 x 201 cells.
#pragma once

#include <cstddef>
#include <vector>

#include "domain/analysis_types.h"
#include "reports/records.h"

inline constexpr double kSpotSpread = 0.0005;  // 2 sigma^2 of every spot
inline constexpr double kRateFloor = 0.00001;  // records at or below this rate per frame are left out
inline constexpr double kPrintFloor = 0.01;    // "3dgrid.dat" writes cells at or below this as 0
inline constexpr int kCellCount = kMapCells * kMapCells;

// What a record's spot is multiplied by.
inline double SpotWeight(double count, bool weighted) { return weighted ? count : 1.0; }

// The value that row or column `index` stands for.
inline double CellValue(int index) { return index * kCellStep; }

// Whether a record places a spot on the map: a real transition (the values differ), at least
// one transition, and a rate above the floor.
inline bool TakesPart(const TransitionRecord& record) {
  return record.initial != record.final && record.count != 0 && record.rate > kRateFloor;
}

// One rebuild's grid. `cells[i * kMapCells + j]` is cell (i, j). A cell holds its sum, or a value
// so close to it that the cell prints and colours exactly as its sum does (see FastDensityGrid).
struct DensityGrid {
  std::vector<double> cells = std::vector<double>(kCellCount, 0.0);
  double maximum = 0;  // the largest sum, exactly; 0 when no sum is positive

  double at(int i, int j) const { return cells[static_cast<std::size_t>(i) * kMapCells + static_cast<std::size_t>(j)]; }
};

// The sum at cell (i, j), term by term in record order: every record that takes part adds
// exp(-((x - a)^2 + (y - b)^2) / 0.0005), times its number of transitions when `weighted`.
double DirectCellSum(const TransitionRecords& records, bool weighted, int i, int j);

// Every cell by DirectCellSum. One exponential per record and cell: slow, kept as the measure
// the fast grid is held to.
DensityGrid DirectDensityGrid(const TransitionRecords& records, bool weighted);

// The same grid file text and colour indices as DirectDensityGrid, and the same maximum,
// computed from separable spots on `threads` threads (0: as many as the machine has).
DensityGrid FastDensityGrid(const TransitionRecords& records, bool weighted, int threads = 0);

// The colour index of a cell: trunc(value x 255 / maximum), kept within 0 ... 255; 0 when the
// maximum is not positive and for negative or non-number values.
int ColorIndexOf(double value, double maximum);

// The text of a cell in "3dgrid.dat" before padding: the value with 4 significant digits when
// it exceeds 0.01, otherwise "0". Writes at most kCellTextMax characters; returns the length.
inline constexpr std::size_t kCellTextMax = 32;
std::size_t CellText(double value, char* out);

// A number in the stream's default notation with `precision` significant digits (as %.*g);
// writes at most kCellTextMax characters and returns the length.
std::size_t GeneralText(double value, int precision, char* out);
