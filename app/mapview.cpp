// The map and the histogram panel on screen: the start-up picture, every redraw with its
// overlays, the map coloured from the session's densities, the colour table.
#include "app/varneldlg.h"
#include "display/mapdraw.h"
#include "platform/module.h"
#include "res/resource.h"

void CVarnelDlg::DrawTestImage() {
  ::DrawTestImage(m_basePixels);
  m_displayPixels = m_basePixels;
  CClientDC dc(this);
  m_mapBitmap.CreateCompatibleBitmap(&dc, kMapCells, kMapCells);
  ShowMap();
}

void CVarnelDlg::RedrawMap() {
  m_displayPixels = m_basePixels;
  const int states = m_session.States();
  const Pixel line = GetColor(255);
  DrawCutoffLines(m_displayPixels, states, m_cutoffs, m_cutoffsLocked, line);
  if (InClassTables(m_pickFrom, m_pickTo)) {
    if (m_showPick)
      MarkPickedClass(m_displayPixels, StateSpanOf(m_pickFrom, states, m_cutoffs),
                      StateSpanOf(m_pickTo, states, m_cutoffs));
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

void CVarnelDlg::ShowGrid() {
  const DensityGrid& grid = m_session.Grid();
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j) m_basePixels[i][j] = GetColor(ColorIndexOf(grid.at(i, j), grid.maximum));
  RedrawMap();
}

void CVarnelDlg::RebuildTransitionMap() { Execute({"weight", m_session.Weighted() ? "on" : "off"}); }

// The box is ticked or not already: the map is rebuilt, weighted as it says.
void CVarnelDlg::OnWeightByCount() {
  const Control* box = FindControl(IDC_WEIGHT_BY_COUNT);
  Execute({"weight", box && box->check ? "on" : "off"});
}

// The histogram panel's bitmap: white with a light grey grid.
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

void CVarnelDlg::LoadColorTable() {
  const FoundColorTable found = FindColorTable(AfxGetModuleDirectory());
  m_session.SetColours(found.table);
  if (found.unreadableHere)
    AfxMessageBox("The colour table \"shrcol.tbl\" in the current folder cannot be read; the map uses the "
                  "program's own colours.",
                  MB_ICONINFORMATION);
}

Pixel CVarnelDlg::GetColor(int index) const { return TablePixel(m_colorTable, index); }
