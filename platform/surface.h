// A rectangle of 32-bit pixels (0x00RRGGBB) and the exact drawing primitives on it.
#pragma once

#include <vector>

#include "platform/types.h"

class PixelSurface {
 public:
  PixelSurface() = default;
  PixelSurface(int width, int height, Pixel fill = 0) { Reset(width, height, fill); }

  void Reset(int width, int height, Pixel fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

  Pixel At(int x, int y) const { return pixels_[Index(x, y)]; }
  // Writes one pixel; a pixel outside the surface is clipped away.
  void Plot(int x, int y, Pixel value) {
    if (Contains(x, y)) pixels_[Index(x, y)] = value;
  }
  const Pixel* Row(int y) const { return pixels_.data() + Index(0, y); }
  Pixel* Row(int y) { return pixels_.data() + Index(0, y); }
  const std::vector<Pixel>& Pixels() const { return pixels_; }

  // Fills the rectangle [left, right) x [top, bottom), clipped to the surface.
  void FillRect(const CRect& rect, Pixel value);

  // A solid line of width 1 or 2 from `from` up to, not including, `to`: the pixels of the
  // Bresenham line; a width-2 line also covers the pixel to the right of each pixel of a steep
  // line and the pixel below each pixel of a flat one.
  void DrawLine(POINT from, POINT to, int width, Pixel value);

  // Copies `src`'s rectangle (sx, sy, sw, sh) onto (x, y, w, h) of this surface by nearest
  // source pixel: destination column x + i takes source column sx + i * sw / w.
  void StretchFrom(const PixelSurface& src, int x, int y, int w, int h, int sx, int sy, int sw, int sh);

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<Pixel> pixels_;
};
