// The states on screen: the state count and the cutoffs, the lock, the picker and the histogram
// panel of the shown class.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "app/varneldlg.h"
#include "fit/fitparams.h"
#include "res/resource.h"
#include "selection/histograms.h"
#include "selection/panelpoints.h"
#include "selection/picker.h"

namespace {

// The list entry of cutoff slot k, the boundary between states k + 1 and k + 2: "1->2", ...
std::string CutoffEntryText(int slot) {
  char current[100];
  std::snprintf(current, sizeof current, "%d->%d", slot + 1, slot + 2);
  return current;
}

// The list position is the cutoff slot. Nothing selected (N = 1 leaves the list empty): none.
std::optional<int> SelectedSlot(const CComboBox& list) {
  const int selected = list.GetCurSel();
  if (selected < 0 || selected >= kMaxStates) return std::nullopt;
  return selected;
}

bool ValidCount(int states) { return states >= 1 && states <= kMaxStates; }

}  // namespace

void CVarnelDlg::OnStateCountChange() {
  UpdateData(TRUE);
  // Text that is no count changes nothing: the cutoffs the user has set stay.
  if (HoldsRefusedText(IDC_STATE_COUNT)) return;
  // The exchange keeps N within 1 ... 10 once the user has entered one; before that it is 0,
  // and there is nothing to space out.
  if (!m_session.SetStates(m_stateCount).done) return;
  m_cutoffs = m_session.CutoffValues();
  ShowCutoffList();
  UpdateData(FALSE);
}

void CVarnelDlg::ShowCutoffList() {
  m_cutoffList.ResetContent();
  for (int k = 0; k <= m_stateCount - 2; ++k) m_cutoffList.InsertString(k, CutoffEntryText(k));
  m_cutoffList.SetCurSel(0);
  if (const auto slot = SelectedSlot(m_cutoffList)) m_cutoffValue = m_cutoffs[static_cast<std::size_t>(*slot)];
}

void CVarnelDlg::OnCutoffSelChange() {
  UpdateData(TRUE);
  if (const auto slot = SelectedSlot(m_cutoffList)) m_cutoffValue = m_cutoffs[static_cast<std::size_t>(*slot)];
  RedrawMap();
}

namespace {

// A step starts from the stored cutoff, not from what the edit holds: a typed value is dropped.
void StepCutoff(CVarnelDlg& dlg, double step) {
  const auto slot = SelectedSlot(dlg.m_cutoffList);
  if (slot) dlg.m_cutoffValue = dlg.m_cutoffs[static_cast<std::size_t>(*slot)];
  dlg.UpdateData(FALSE);
  if (slot) {
    dlg.m_cutoffValue = dlg.m_session.SetCutoff(*slot, dlg.m_cutoffValue + step);
    dlg.m_cutoffs = dlg.m_session.CutoffValues();
  }
  dlg.UpdateData(FALSE);
  dlg.RedrawMap();
}

}  // namespace

// A step moves a cutoff by one map cell.
void CVarnelDlg::OnCutoffUp() { StepCutoff(*this, +kCellStep); }

void CVarnelDlg::OnCutoffDown() { StepCutoff(*this, -kCellStep); }

void CVarnelDlg::OnRefreshCutoffs() {
  UpdateData(TRUE);
  if (FieldRefused(IDC_CUTOFF_VALUE)) return;
  if (const auto slot = SelectedSlot(m_cutoffList)) {
    m_cutoffValue = m_session.SetCutoff(*slot, m_cutoffValue);
    m_cutoffs = m_session.CutoffValues();
  }
  RedrawMap();
}

void CVarnelDlg::OnLockCutoffs() {
  if (FieldRefused(IDC_STATE_COUNT)) return;
  SyncSettings();
  if (!Show(m_session.Lock())) return;
  MirrorSession();
  RedrawMap();
  m_shownFrom = 0;
  m_shownTo = 0;
  DrawPanel();
}

// Both use N as last read: the picker does not read the controls. Without a number of states
// there is no class to step to, and nothing is drawn.
void CVarnelDlg::OnPickNext() {
  if (!ValidCount(m_stateCount)) return;
  const ClassIndex next = NextClass({m_shownFrom, m_shownTo}, m_stateCount);
  ShowClass(next.from, next.to);
}

void CVarnelDlg::OnPickPrev() {
  if (!ValidCount(m_stateCount)) return;
  const ClassIndex previous = PreviousClass({m_shownFrom, m_shownTo}, m_stateCount);
  ShowClass(previous.from, previous.to);
}

void CVarnelDlg::ShowClass(int from, int to) {
  m_shownFrom = from;
  m_shownTo = to;
  DrawPanel();
}

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
