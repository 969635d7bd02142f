// The states on screen: the state count and the cutoffs, the lock, the picker and the histogram
// panel of the shown class.
#include <algorithm>
#include <charconv>
#include <system_error>
#include <cstdio>
#include <optional>
#include <string>

#include "app/varneldlg.h"
#include "fit/fitparams.h"
#include "res/resource.h"
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

// The whole text of `text` as a whole number, blanks around it allowed, as the data exchange reads it.
std::optional<int> ParseWhole(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  const std::string t = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  int value = 0;
  const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
  return value;
}

}  // namespace

void CVarnelDlg::OnStateCountChange() {
  UpdateData(TRUE);
  // Text that is no count changes nothing: the cutoffs the user has set stay. N is 0 until the
  // user has entered one, and there is nothing to space out.
  const Control* edit = FindControl(IDC_STATE_COUNT);
  const std::optional<int> typed = edit ? ParseWhole(edit->text) : std::nullopt;
  if (HoldsRefusedText(IDC_STATE_COUNT) || !typed || !ValidCount(*typed)) return;
  // Every count entered, the same one again too, spaces its cutoffs evenly. The map shows them
  // at its next redraw.
  const CommandResult result = RunCommand(m_session, {"states", std::to_string(*typed)});
  Show(result.outcome);
  ShowCutoffList();
  UpdateData(FALSE);
}

void CVarnelDlg::ShowCutoffList() {
  m_cutoffList.ResetContent();
  for (int k = 0; k <= m_session.States() - 2; ++k) m_cutoffList.InsertString(k, CutoffEntryText(k));
  m_cutoffList.SetCurSel(0);
  if (const auto slot = SelectedSlot(m_cutoffList)) m_cutoffValue = m_cutoffs[static_cast<std::size_t>(*slot)];
}

void CVarnelDlg::OnCutoffSelChange() {
  UpdateData(TRUE);
  if (const auto slot = SelectedSlot(m_cutoffList)) m_cutoffValue = m_cutoffs[static_cast<std::size_t>(*slot)];
  RedrawMap();
}

// A step starts from the stored cutoff, not from what the edit holds: a typed value is dropped.
void CVarnelDlg::StepCutoff(double step) {
  const auto slot = SelectedSlot(m_cutoffList);
  if (slot) m_cutoffValue = m_cutoffs[static_cast<std::size_t>(*slot)];
  UpdateData(FALSE);
  // The command redraws the map, with the controls; without a selected cutoff nothing moves.
  if (slot) return void(Execute({"cutoff", std::to_string(*slot + 1), ExactWord(m_cutoffValue + step)}));
  RedrawMap();
}

// A step moves a cutoff by one map cell.
void CVarnelDlg::OnCutoffUp() { StepCutoff(+kCellStep); }

void CVarnelDlg::OnCutoffDown() { StepCutoff(-kCellStep); }

void CVarnelDlg::OnRefreshCutoffs() {
  UpdateData(TRUE);
  if (FieldRefused(IDC_CUTOFF_VALUE)) return;
  if (const auto slot = SelectedSlot(m_cutoffList))
    Execute({"cutoff", std::to_string(*slot + 1), ExactWord(m_cutoffValue)});  // redraws the map
  else
    RedrawMap();
}

void CVarnelDlg::OnLockCutoffs() {
  if (FieldRefused(IDC_STATE_COUNT)) return;
  Execute({"lock"});
}

// Both use N as last read: the picker does not read the controls. Without a number of states
// there is no class to step to, and nothing is drawn.
void CVarnelDlg::OnPickNext() {
  const int states = m_stateCount;
  if (!ValidCount(states)) return;
  const ClassIndex next = NextClass({m_shownFrom, m_shownTo}, states);
  ShowClass(next.from, next.to);
}

void CVarnelDlg::OnPickPrev() {
  const int states = m_stateCount;
  if (!ValidCount(states)) return;
  const ClassIndex previous = PreviousClass({m_shownFrom, m_shownTo}, states);
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
  const ClassHistogram& histogram = m_session.Histogram(i, j);
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
    // Once after a fit: the Gaussian the fit of the shown class evaluated last.
    const ClassFit* fit = m_session.FitOf(i + 1, j + 1);
    if (m_drawFitCurve && fit) {
      memDC.SelectObject(&penBlue);
      const PanelPoints gaussianpoints = FittedCurvePoints(histogram, fit->lastEvaluated, max);
      memDC.Polyline(gaussianpoints.data(), kHistogramBins);
    }
    m_drawFitCurve = false;
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
