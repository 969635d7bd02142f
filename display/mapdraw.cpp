// The transition map on screen: the start-up test image, and every redraw with its overlays.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/varneldlg.h"
#include "display/mapcells.h"
#include "res/resource.h"

namespace {

void SetCell(MapImage& image, long long row, long long col, Pixel value) {
  if (row >= 0 && row < kMapCells && col >= 0 && col < kMapCells)
    image[static_cast<int>(row)][static_cast<int>(col)] = value;
}

// Lines of the movable cutoffs: vertical (final-value axis) always, horizontal once locked.
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

struct Span {
  int begin;
  int end;  // exclusive
};

// The cells of state k (1-based) along one axis.
Span StateSpan(int k, int states, const Cutoffs& cutoffs) {
  const auto cut = [&](int slot) { return ClampedCellOf(cutoffs[static_cast<std::size_t>(slot)], 0, kMapCells); };
  if (k == 1) return {0, cut(0)};
  if (k == states) return {cut(states - 2), kMapCells};
  return {cut(k - 2), cut(k - 1)};
}

// Adds 200 to every pixel value of the picked class's rectangle; the carry runs on upwards.
void MarkPickedClass(MapImage& image, const Span& rows, const Span& cols) {
  for (int r = rows.begin; r < rows.end; ++r)
    for (int c = cols.begin; c < cols.end; ++c) image[r][c] += 200u;
}

// The outline of a circle, plotted along rows and along columns so that it has no gaps.
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

}  // namespace

void CVarnelDlg::DrawTestImage() {
  for (int r = 0; r < kMapCells; ++r)
    for (int s = 0; s < kMapCells; ++s)
      m_basePixels[r][s] =
          static_cast<Pixel>(std::exp(((r - 100) * (r - 100) + (s - 100) * (s - 100)) * (-1) / 1000.0) * 100);
  m_displayPixels = m_basePixels;
  CClientDC dc(this);
  m_mapBitmap.CreateCompatibleBitmap(&dc, kMapCells, kMapCells);
  ShowMap();
}

void CVarnelDlg::RedrawMap() {
  m_displayPixels = m_basePixels;
  const int states = m_stateCount;
  const Pixel line = GetColor(255);
  DrawCutoffLines(m_displayPixels, states, m_cutoffs, m_cutoffsLocked, line);
  if (InClassTables(m_pickFrom, m_pickTo)) {
    if (m_showPick)
      MarkPickedClass(m_displayPixels, StateSpan(m_pickFrom, states, m_cutoffs),
                      StateSpan(m_pickTo, states, m_cutoffs));
    const SelectionCircle& circle = m_circles[m_pickFrom - 1][m_pickTo - 1];
    if (m_useCircles && circle.visible) DrawCircle(m_displayPixels, circle, line);
  }
  ShowMap();
}

void CVarnelDlg::ShowMap() {
  CClientDC dc(this);
  {
    CBitmapDC memDC(&dc, &m_mapBitmap);
    m_mapBitmap.SetBitmapBits(static_cast<DWORD>(m_displayPixels.ByteSize()), m_displayPixels.data());
    dc.StretchBlt(kMapRegion.left, kMapRegion.top, kMapRegion.Width(), kMapRegion.Height(), &memDC, 0, 0, kMapCells,
                  kMapCells, SRCCOPY);
  }
  // Beside the map, its colours from the lowest density at the bottom to the highest at the top.
  const CRect& bar = kColourBarRegion;
  for (int y = bar.top; y < bar.bottom; ++y) {
    const Pixel colour = GetColor((bar.bottom - 1 - y) * (kColorEntries - 1) / (bar.Height() - 1));
    dc.FillSolidRect(CRect{bar.left, y, bar.right, y + 1}, RGB(colour >> 16, colour >> 8, colour));
  }
  UpdateData(FALSE);
}
