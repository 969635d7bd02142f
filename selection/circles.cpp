// Circle selection of one class on the map.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "app/varneldlg.h"
#include "selection/classentries.h"
#include "selection/histograms.h"

namespace {

// One map cell up or down; the circle is not held inside the map (the drawing skips whatever
// lies outside it), only kept clear of integer overflow.
void StepBy(std::int32_t& value, int step) {
  if (step > 0 && value == std::numeric_limits<std::int32_t>::max()) return;
  if (step < 0 && value == std::numeric_limits<std::int32_t>::min()) return;
  value += step;
}

// The shown class, 0-based, when circles can be worked on: after a lock, with a class picked.
// Otherwise the user is told to lock first.
bool ShownClassReady(const CVarnelDlg& dlg) {
  if (dlg.m_lockedStateCount == 0) {
    AfxMessageBox("Lock cutoffs first.");
    return false;
  }
  return dlg.m_pickFrom >= 1 && dlg.m_pickFrom <= kMaxStates && dlg.m_pickTo >= 1 && dlg.m_pickTo <= kMaxStates;
}

enum class CircleField { Row, Col, Radius };

void MoveShownCircle(CVarnelDlg& dlg, CircleField field, int step) {
  dlg.UpdateData(TRUE);
  if (!ShownClassReady(dlg)) return;
  SelectionCircle& circle = dlg.m_circles[dlg.m_pickFrom - 1][dlg.m_pickTo - 1];
  circle.visible = true;
  switch (field) {
    case CircleField::Row:
      StepBy(circle.row, step);
      break;
    case CircleField::Col:
      StepBy(circle.col, step);
      break;
    case CircleField::Radius:
      StepBy(circle.radius, step);
      break;
  }
  dlg.RedrawMap();
}

}  // namespace

void CVarnelDlg::OnCircleUp() { MoveShownCircle(*this, CircleField::Row, -1); }
void CVarnelDlg::OnCircleDown() { MoveShownCircle(*this, CircleField::Row, +1); }
void CVarnelDlg::OnCircleLeft() { MoveShownCircle(*this, CircleField::Col, -1); }
void CVarnelDlg::OnCircleRight() { MoveShownCircle(*this, CircleField::Col, +1); }
void CVarnelDlg::OnRadiusDown() { MoveShownCircle(*this, CircleField::Radius, -1); }
void CVarnelDlg::OnRadiusUp() { MoveShownCircle(*this, CircleField::Radius, +1); }

// The box only decides whether the map draws the circle, from its next redraw on.
void CVarnelDlg::OnUseCircles() { UpdateData(TRUE); }

void CVarnelDlg::OnSetCircle() {
  UpdateData(TRUE);
  std::vector<double>* list = LockedClassList(m_pickFrom, m_pickTo);
  if (!list) return;
  const int i = m_pickFrom - 1, j = m_pickTo - 1;

  const SelectionCircle& circle = m_circles[i][j];
  const double y0 = circle.row / 200.0, x0 = circle.col / 200.0, r = circle.radius / 200.0;
  const bool weighted = m_weightByCount != 0;
  // A record is inside when its point (initial, final) lies within r of the centre, whatever
  // its states; a negative radius takes nothing, nor does a value that is no number.
  const auto entriesOf = [&](std::size_t k) {
    const double d = std::sqrt((m_initialValues[k] - y0) * (m_initialValues[k] - y0) +
                               (m_finalValues[k] - x0) * (m_finalValues[k] - x0));
    return d <= r ? ClassEntriesOf(m_transitionCounts[k], weighted) : 0.0;
  };
  double entries = 0.0;
  const std::size_t records = LoadedRecordCount();
  for (std::size_t k = 0; k < records; ++k) entries += entriesOf(k);
  if (entries > kMaxClassEntries) {
    AfxMessageBox(TooManyEntriesMessage());
    return;
  }

  list->clear();
  for (std::size_t k = 0; k < records; ++k) AppendEntries(*list, m_frameRates[k], entriesOf(k));
  FillClassHistogram(*list, g_histCounts[i][j], g_histCentres[i][j]);

  UpdateData(FALSE);
  RedrawMap();
  DrawPanel();
}
