// The histogram panel: the shown class's histogram as a line graph, once after a fit with the
// fitted Gaussian over it.
#include <algorithm>

#include "app/varneldlg.h"
#include "fit/fitparams.h"
#include "selection/panelpoints.h"

void CVarnelDlg::DrawPanel() {
  // The class tables are 10 x 10; the picker and the lock never leave them.
  m_shownFrom = std::clamp(m_shownFrom, 0, kMaxStates - 1);
  m_shownTo = std::clamp(m_shownTo, 0, kMaxStates - 1);
  const int i = m_shownFrom, j = m_shownTo;
  const ClassHistogram histogram = StoredHistogram(i, j);
  const double max = HistogramMax(histogram);
  {
    CClientDC dc(this);
    CBitmapDC memDC(&dc, &m_panelBitmap);
    DrawPanelGrid(memDC);
    CPen penGreen(PS_SOLID, 1, RGB(0, 200, 0));
    CPen* oldPen = memDC.SelectObject(&penGreen);
    const PanelPoints datapoints = HistogramPoints(histogram, max);
    memDC.Polyline(datapoints.data(), kHistogramBins);
    CPen penBlue(PS_SOLID, 1, RGB(0, 0, 200));
    if (m_drawFitCurve) {
      memDC.SelectObject(&penBlue);
      const PanelPoints gaussianpoints =
          FittedCurvePoints(histogram, {g_fitAmplitude, g_fitCentre, g_fitWidth}, max);
      memDC.Polyline(gaussianpoints.data(), kHistogramBins);
      m_drawFitCurve = false;
    }
    memDC.SelectObject(oldPen);
  }
  m_histPanel.SetBitmap(&m_panelBitmap);

  m_pickFrom = i + 1;
  m_pickTo = j + 1;
  m_histMax = max;
  UpdateData(FALSE);

  m_showPick = true;
  RedrawMap();
}
