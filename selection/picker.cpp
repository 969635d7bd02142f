// The transition picker: stepping through the classes in row-major order.
#include <algorithm>

#include "app/varneldlg.h"

namespace {

// Shows class number a (row-major with N states per row). Indices are kept inside the
// 10 x 10 class tables: with N lowered since the lock a shown class can lie beyond N x N,
// and a step back from there must not leave the tables.
void ShowClass(CVarnelDlg& dlg, int a, int states) {
  a = std::min(a, kMaxStates * states - 1);
  dlg.m_shownFrom = a / states;
  dlg.m_shownTo = a % states;
}

}  // namespace

void CVarnelDlg::OnPickNext() {
  const int states = m_stateCount;  // as last read
  if (states >= 1 && states <= kMaxStates) {
    const int a = m_shownFrom * states + m_shownTo + 1;
    if (a < states * states) ShowClass(*this, a, states);
  }
  DrawPanel();
}

void CVarnelDlg::OnPickPrev() {
  const int states = m_stateCount;
  if (states >= 1 && states <= kMaxStates) {
    const int a = m_shownFrom * states + m_shownTo - 1;
    if (a >= 0) ShowClass(*this, a, states);
  }
  DrawPanel();
}
