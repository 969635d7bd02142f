// The state count and the cutoffs between states.
#include <cstdio>
#include <optional>
#include <string>

#include "app/varneldlg.h"
#include "res/resource.h"

namespace {

// Cutoffs live on the value axis [0, 1]; anything else (a non-number too) is pulled back in.
double ClampCutoff(double value) {
  if (!(value > 0.0)) return 0.0;
  if (value > 1.0) return 1.0;
  return value;
}

// The list entry of cutoff slot k, the boundary between states k + 1 and k + 2: "1->2", ...
std::string CutoffEntryText(int slot) {
  char current[100];
  std::snprintf(current, sizeof current, "%d->%d", slot + 1, slot + 2);
  return current;
}

// The list position is the cutoff slot. Nothing selected (N = 1 leaves the list empty): none.
std::optional<std::size_t> SelectedSlot(const CComboBox& list) {
  const int selected = list.GetCurSel();
  if (selected < 0 || selected >= kMaxStates) return std::nullopt;
  return static_cast<std::size_t>(selected);
}

// A step starts from the stored cutoff, not from what the edit holds: a typed value is dropped.
void StepCutoff(CVarnelDlg& dlg, double step) {
  const auto slot = SelectedSlot(dlg.m_cutoffList);
  if (slot) dlg.m_cutoffValue = dlg.m_cutoffs[*slot];
  dlg.UpdateData(FALSE);
  if (slot) {
    dlg.m_cutoffValue = ClampCutoff(dlg.m_cutoffValue + step);
    dlg.m_cutoffs[*slot] = dlg.m_cutoffValue;
  }
  dlg.UpdateData(FALSE);
  dlg.RedrawMap();
}

}  // namespace

void CVarnelDlg::OnStateCountChange() {
  UpdateData(TRUE);
  // Text that is no count changes nothing: the cutoffs the user has set stay.
  if (HoldsRefusedText(IDC_STATE_COUNT)) return;
  // The exchange keeps N within 1 ... 10 once the user has entered one; before that it is 0,
  // and there is nothing to space out.
  const int states = m_stateCount;
  if (states < 1 || states > kMaxStates) return;

  for (int k = 0; k <= states - 2; ++k) m_cutoffs[static_cast<std::size_t>(k)] = (1.0 / states) * (k + 1);
  m_cutoffs[static_cast<std::size_t>(states - 1)] = 1.0;

  m_cutoffList.ResetContent();
  for (int k = 0; k <= states - 2; ++k) m_cutoffList.InsertString(k, CutoffEntryText(k));
  m_cutoffList.SetCurSel(0);
  if (const auto slot = SelectedSlot(m_cutoffList)) m_cutoffValue = m_cutoffs[*slot];
  UpdateData(FALSE);
}

void CVarnelDlg::OnCutoffSelChange() {
  UpdateData(TRUE);
  if (const auto slot = SelectedSlot(m_cutoffList)) m_cutoffValue = m_cutoffs[*slot];
  RedrawMap();
}

// A step moves a cutoff by one map cell.
void CVarnelDlg::OnCutoffUp() { StepCutoff(*this, +kCellStep); }

void CVarnelDlg::OnCutoffDown() { StepCutoff(*this, -kCellStep); }

void CVarnelDlg::OnRefreshCutoffs() {
  UpdateData(TRUE);
  if (FieldRefused(IDC_CUTOFF_VALUE)) return;
  if (const auto slot = SelectedSlot(m_cutoffList)) {
    m_cutoffValue = ClampCutoff(m_cutoffValue);
    m_cutoffs[*slot] = m_cutoffValue;
  }
  RedrawMap();
}
