// The histogram panel's bitmap: white with a light grey grid.
#include "app/varneldlg.h"

void CVarnelDlg::CreatePanel() {
  CClientDC dc(this);
  m_panelBitmap.CreateCompatibleBitmap(&dc, kPanelWidth, kPanelHeight);
  {
    CBitmapDC memDC(&dc, &m_panelBitmap);
    DrawPanelGrid(memDC);
  }
  m_histPanel.SetBitmap(&m_panelBitmap);
}

void CVarnelDlg::DrawPanelGrid(CDC& memDC) {
  memDC.FillSolidRect(CRect{0, 0, kPanelWidth, kPanelHeight}, RGB(255, 255, 255));
  CPen penGray(PS_SOLID, 2, RGB(200, 200, 200));
  CPen* oldPen = memDC.SelectObject(&penGray);
  for (int i = 1; i <= 9; ++i) {
    const int x = i * kPanelWidth / 10;
    const POINT line[2] = {{x, 0}, {x, kPanelHeight}};
    memDC.Polyline(line, 2);
  }
  for (int i = 1; i <= 5; ++i) {
    const int y = i * kPanelHeight / 6;
    const POINT line[2] = {{0, y}, {kPanelWidth - 1, y}};
    memDC.Polyline(line, 2);
  }
  memDC.SelectObject(oldPen);
}
