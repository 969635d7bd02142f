// The histogram panel: the shown class's histogram as a line graph, once after a fit with the
// fitted Gaussian over it.
#include <algorithm>
#include <array>
#include <cmath>

#include "app/varneldlg.h"
#include "fit/fitparams.h"
#include "selection/histograms.h"

namespace {

constexpr int kBaseLine = 198;          // y of a count of 0
constexpr double kScaleHeight = 196.0;  // pixels from the base line up to the largest count (y = 2)
constexpr double kPixelsPerBin = 8.0;
// Coordinates beyond this many pixels are pulled in before they become integers. A point that
// far outside the 400 x 200 panel changes the visible part of a segment by less than a tenth
// of a pixel, and the line drawing stays short.
constexpr double kCoordinateLimit = 20000.0;

// trunc(value), clamped into the coordinate range; a non-number gives 0.
int PanelCoordinate(double value) {
  if (std::isnan(value)) return 0;
  if (value > kCoordinateLimit) value = kCoordinateLimit;
  if (value < -kCoordinateLimit) value = -kCoordinateLimit;
  return static_cast<int>(value);
}

// x of a bin from its stored centre; the centres are not exact decimals, so this is 8k + 4 for
// most bins and 8k + 3 for some.
int BinX(double centre) { return PanelCoordinate(((centre + 10.0) / 0.2) * kPixelsPerBin); }

// y of a height scaled by the histogram's largest count. With max 0 every count is 0 / 0,
// which is drawn on the base line.
int HeightY(double value, double max) { return kBaseLine - PanelCoordinate((value / max) * kScaleHeight); }

// The Gaussian of the last fit at c: area A, centre xc, standard deviation w / 2 (the constant
// under the root is the one the fit's objective uses).
double FittedCurveAt(double c) {
  const double u = (c - g_fitCentre) / g_fitWidth;
  return (g_fitAmplitude / (std::sqrt(1.5707963267945) * g_fitWidth)) * std::exp(-2.0 * (u * u));
}

}  // namespace

void CVarnelDlg::DrawPanel() {
  // The class tables are 10 x 10; the picker and the lock never leave them.
  m_shownFrom = std::clamp(m_shownFrom, 0, kMaxStates - 1);
  m_shownTo = std::clamp(m_shownTo, 0, kMaxStates - 1);
  const int i = m_shownFrom, j = m_shownTo;
  const double* counts = g_histCounts[i][j];
  const double* centres = g_histCentres[i][j];

  CClientDC dc(this);
  CDC memDC;
  memDC.CreateCompatibleDC(&dc);
  CBitmap* oldBitmap = memDC.SelectObject(&m_panelBitmap);
  DrawPanelGrid(memDC);
  CPen penGreen(PS_SOLID, 1, RGB(0, 200, 0));
  CPen* oldPen = memDC.SelectObject(&penGreen);

  double max = 0.0;
  for (int k = 0; k < kHistogramBins; ++k)
    if (counts[k] > max) max = counts[k];

  std::array<POINT, kHistogramBins> datapoints{};
  for (int k = 0; k < kHistogramBins; ++k) datapoints[k] = {BinX(centres[k]), HeightY(counts[k], max)};
  memDC.Polyline(datapoints.data(), kHistogramBins);

  CPen penBlue(PS_SOLID, 1, RGB(0, 0, 200));
  if (m_drawFitCurve) {
    memDC.SelectObject(&penBlue);
    std::array<POINT, kHistogramBins> gaussianpoints{};
    for (int k = 0; k < kHistogramBins; ++k)
      gaussianpoints[k] = {BinX(centres[k]), HeightY(FittedCurveAt(centres[k]), max)};
    memDC.Polyline(gaussianpoints.data(), kHistogramBins);
    m_drawFitCurve = false;
  }

  memDC.SelectObject(oldPen);
  memDC.SelectObject(oldBitmap);
  m_histPanel.SetBitmap(&m_panelBitmap);
  memDC.DeleteDC();

  m_pickFrom = i + 1;
  m_pickTo = j + 1;
  m_histMax = max;
  UpdateData(FALSE);

  m_showPick = true;
  RedrawMap();
}
