// Plain data for the export tests: a density grid with two blocks of known density, a colour
// table whose entries are easy to tell apart, and a fitted class.
#pragma once

#include <cairo.h>

#include <optional>
#include <string>

#include "export/figuredata.h"

// Entry e of the test table is (e, 255 - e, 77): every entry a different colour.
inline ColorTable RampTable() {
  ColorTable table{};
  for (std::uint32_t e = 0; e < kColorEntries; ++e) table[e] = {e, 255 - e, 77};
  return table;
}

// Density 5 on the cells of initial value 0.150 ... 0.250 and final value 0.750 ... 0.850
// (block A), 10 on those of initial 0.750 ... 0.850 and final 0.150 ... 0.250 (block B), 0
// elsewhere. With a maximum of 10, block A takes entry trunc(5 x 255 / 10) = 127 and block B
// entry 255.
inline constexpr int kBlockLow = 30;
inline constexpr int kBlockHigh = 50;
inline MapFigureData BlockMap() {
  MapFigureData map;
  for (int i = kBlockLow; i <= kBlockHigh; ++i)
    for (int j = 200 - kBlockHigh; j <= 200 - kBlockLow; ++j) {
      map.grid.cells[static_cast<std::size_t>(i) * kMapCells + j] = 5.0;
      map.grid.cells[static_cast<std::size_t>(j) * kMapCells + i] = 10.0;
    }
  map.grid.maximum = 10.0;
  map.colours = RampTable();
  return map;
}

// Class 1->2: a peak of 40 in bin 30 falling off by 1.5 d^2 over four bins to each side, with a
// Gaussian of area 20 at -3.9 and width 0.8; exposure 0.1 s; 12 molecules, 1,065 transitions.
inline ClassFigureData FittedClass() {
  ClassFigureData fitted;
  fitted.from = 1;
  fitted.to = 2;
  for (int k = 0; k < kHistogramBins; ++k) {
    fitted.histogram.centres[static_cast<std::size_t>(k)] = HistogramBinCentre(k);
    const int d = k - 30;
    fitted.histogram.counts[static_cast<std::size_t>(k)] = d * d < 25 ? 40.0 - 1.5 * d * d : 0.0;
  }
  fitted.gaussian = {20.0, -3.9, 0.8};
  fitted.exposureTime = 0.1;
  fitted.rate = 0.2024191;  // e^-3.9 / 0.1
  fitted.interval = Interval{0.18, 0.23};
  fitted.molecules = 12;
  fitted.transitions = 1065;
  return fitted;
}

// A PNG file's pixels as 0x00RRGGBB, read by Cairo.
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFFu; }
};

inline std::optional<Raster> ReadRaster(const std::string& path) {
  cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
  std::optional<Raster> raster;
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    raster = Raster{cairo_image_surface_get_width(image), cairo_image_surface_get_height(image), {}};
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < raster->height; ++y)
      for (int x = 0; x < raster->width; ++x)
        raster->pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x]);
  }
  cairo_surface_destroy(image);
  return raster;
}
