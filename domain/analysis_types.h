// The numbers every part of the analysis shares, and the record types of the analysis state.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/types.h"

// The map: value v on either axis falls on cell trunc(v x 200), and cell k stands for the value
// k x 0.005. Both forms appear in the arithmetic, each where its result is defined.
inline constexpr int kCellsPerUnit = 200;
inline constexpr double kCellStep = 0.005;
inline constexpr int kMapCells = kCellsPerUnit + 1;  // values 0, 0.005, ..., 1 on each axis

inline constexpr int kColorEntries = 256;
inline constexpr int kMaxStates = 10;

// A report holds K x K records; K ("Peaks in report:") is at most this.
inline constexpr int kMaxPeaks = 1000;

// The shortest exposure time per frame, in seconds, that a rate is divided by: rates stay finite.
inline constexpr double kLeastExposure = 1e-9;
// The longest: an hour a frame. Beyond it every rate in s^-1 would print as 0 (and an infinite
// exposure makes every rate exactly 0), which no camera records.
inline constexpr double kMostExposure = 3600;

// The class histogram: ln(rate per frame) over [-10, 0) in 50 bins of 0.2. Bin k is centred at
// k x 0.2 + -10 + 0.1.
inline constexpr double kHistogramStart = -10.0;
inline constexpr double kHistogramEnd = 0.0;
inline constexpr double kBinWidth = 0.2;
inline constexpr double kHalfBin = 0.1;
inline constexpr int kHistogramBins = 50;

inline constexpr int kPanelWidth = 400;
inline constexpr int kPanelHeight = 200;

// Cutoff slot k is the inclusive upper bound of state k + 1.
using Cutoffs = std::array<double, kMaxStates>;

// Whether class from->to, numbered from 1 as the picker shows it, has a place in the 10 x 10
// per-class tables.
inline bool InClassTables(int from, int to) { return from >= 1 && to >= 1 && from <= kMaxStates && to <= kMaxStates; }

struct ColorEntry {
  std::uint32_t red;
  std::uint32_t green;
  std::uint32_t blue;
};

struct SelectionCircle {
  bool visible = false;
  std::int32_t row = 0;
  std::int32_t col = 0;
  std::int32_t radius = 0;
};

// Per class [from][to], 0-based.
using CircleTable = SelectionCircle[kMaxStates][kMaxStates];

// A 201 x 201 image of 0x00RRGGBB pixels, indexed [row][column].
class MapImage {
 public:
  MapImage() : pixels_(static_cast<std::size_t>(kMapCells) * kMapCells, 0) {}
  Pixel* operator[](int row) { return pixels_.data() + static_cast<std::size_t>(row) * kMapCells; }
  const Pixel* operator[](int row) const { return pixels_.data() + static_cast<std::size_t>(row) * kMapCells; }
  const Pixel* data() const { return pixels_.data(); }
  std::size_t ByteSize() const { return pixels_.size() * sizeof(Pixel); }

 private:
  std::vector<Pixel> pixels_;
};
