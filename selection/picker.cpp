// The transition picker: "==>" and "<==".
#include "selection/picker.h"

#include <algorithm>

#include "app/varneldlg.h"

namespace {

// Class number a in row-major order, kept inside the 10 x 10 tables.
ClassIndex ClassNumber(int a, int states) {
  a = std::min(a, kMaxStates * states - 1);
  return {a / states, a % states};
}

bool ValidCount(int states) { return states >= 1 && states <= kMaxStates; }

}  // namespace

ClassIndex NextClass(ClassIndex shown, int states) {
  if (!ValidCount(states)) return shown;
  const int a = shown.from * states + shown.to + 1;
  return a < states * states ? ClassNumber(a, states) : shown;
}

ClassIndex PreviousClass(ClassIndex shown, int states) {
  if (!ValidCount(states)) return shown;
  const int a = shown.from * states + shown.to - 1;
  return a >= 0 ? ClassNumber(a, states) : shown;
}

// Both use N as last read: the picker does not read the controls. Without a number of states
// there is no class to step to, and nothing is drawn.
void CVarnelDlg::OnPickNext() {
  if (!ValidCount(m_stateCount)) return;
  const ClassIndex next = NextClass({m_shownFrom, m_shownTo}, m_stateCount);
  m_shownFrom = next.from;
  m_shownTo = next.to;
  DrawPanel();
}

void CVarnelDlg::OnPickPrev() {
  if (!ValidCount(m_stateCount)) return;
  const ClassIndex previous = PreviousClass({m_shownFrom, m_shownTo}, m_stateCount);
  m_shownFrom = previous.from;
  m_shownTo = previous.to;
  DrawPanel();
}
