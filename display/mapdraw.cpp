#include "display/mapdraw.h"

#include <algorithm>
#include <cmath>

#include "display/mapcells.h"

namespace {

void SetCell(MapImage& image, long long row, long long col, Pixel value) {
  if (row >= 0 && row < kMapCells && col >= 0 && col < kMapCells)
    image[static_cast<int>(row)][static_cast<int>(col)] = value;
}

}  // namespace

void DrawCutoffLines(MapImage& image, int states, const Cutoffs& cutoffs, bool locked,
                     Pixel color) {
  for (int p = 0; p <= std::min(states, kMaxStates) - 2; ++p) {
    const auto c = MapCellOf(cutoffs[static_cast<std::size_t>(p)]);
    if (!c) continue;
    for (int r = 0; r < kMapCells; ++r) {
      image[r][*c] = color;
      if (locked) image[*c][r] = color;
    }
  }
}

StateSpan StateSpanOf(int k, int states, const Cutoffs& cutoffs) {
  const auto cut = [&](int slot) { return ClampedCellOf(cutoffs[static_cast<std::size_t>(slot)], 0, kMapCells); };
  if (k == 1) return {0, cut(0)};
  if (k == states) return {cut(states - 2), kMapCells};
  return {cut(k - 2), cut(k - 1)};
}

void MarkPickedClass(MapImage& image, const StateSpan& rows, const StateSpan& cols) {
  for (int r = rows.begin; r < rows.end; ++r)
    for (int c = cols.begin; c < cols.end; ++c) image[r][c] += 200u;
}

void DrawCircle(MapImage& image, const SelectionCircle& circle, Pixel color) {
  const long long R = circle.row, C = circle.col, rho = circle.radius;
  if (rho < 0) return;
  const double rho2 = static_cast<double>(rho) * static_cast<double>(rho);
  // Rows and columns outside the map hold no outline pixel: the loops start and stop there.
  for (long long y = std::max(R - rho, -1LL); y <= std::min(R + rho, static_cast<long long>(kMapCells)); ++y) {
    const double dy = static_cast<double>(y - R);
    const auto d = static_cast<long long>(std::sqrt(rho2 - dy * dy));
    SetCell(image, y, C + d, color);
    SetCell(image, y, C - d, color);
  }
  for (long long x = std::max(C - rho, -1LL); x <= std::min(C + rho, static_cast<long long>(kMapCells)); ++x) {
    const double dx = static_cast<double>(x - C);
    const auto d = static_cast<long long>(std::sqrt(rho2 - dx * dx));
    SetCell(image, R + d, x, color);
    SetCell(image, R - d, x, color);
  }
}

void DrawTestImage(MapImage& image) {
  for (int r = 0; r < kMapCells; ++r)
    for (int s = 0; s < kMapCells; ++s)
      image[r][s] = static_cast<Pixel>(std::exp(((r - 100) * (r - 100) + (s - 100) * (s - 100)) * (-1) / 1000.0) * 100);
}
