// Dimensions and record types of the analysis state.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

inline constexpr int kMapCells = 201;  // map cells per axis: values 0, 0.005, ..., 1
inline constexpr int kColorEntries = 256;
inline constexpr int kMaxStates = 10;
inline constexpr int kHistogramBins = 50;  // ln(rate per frame) over [-10, 0) in steps of 0.2
inline constexpr int kPanelWidth = 400;
inline constexpr int kPanelHeight = 200;

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

struct FitResult {
  bool fitted = false;
  double rate = 0;
  double width = 0;
  std::int32_t transitions = 0;
};

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
