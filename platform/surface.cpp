#include "platform/surface.h"

#include <algorithm>
#include <cstdlib>

void PixelSurface::Reset(int width, int height, Pixel fill) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill);
}

void PixelSurface::FillRect(const CRect& rect, Pixel value) {
  const int left = std::max(rect.left, 0), right = std::min(rect.right, width_);
  const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, height_);
  for (int y = top; y < bottom; ++y) std::fill(Row(y) + left, Row(y) + std::max(left, right), value);
}

void PixelSurface::DrawLine(POINT from, POINT to, int width, Pixel value) {
  const int dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
  const bool steep = -dy > dx;
  int x = from.x, y = from.y;
  int err = dx + dy;
  while (x != to.x || y != to.y) {
    Plot(x, y, value);
    if (width >= 2) {
      if (steep)
        Plot(x + 1, y, value);
      else
        Plot(x, y + 1, value);
    }
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void PixelSurface::StretchFrom(const PixelSurface& src, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
  for (int j = 0; j < h; ++j) {
    const int srcY = sy + static_cast<int>(static_cast<long long>(j) * sh / h);
    if (!src.Contains(0, srcY) || y + j < 0 || y + j >= height_) continue;
    for (int i = 0; i < w; ++i) {
      const int srcX = sx + static_cast<int>(static_cast<long long>(i) * sw / w);
      if (src.Contains(srcX, srcY)) Plot(x + i, y + j, src.At(srcX, srcY));
    }
  }
}
