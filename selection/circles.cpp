// Circle selection of one class on the map.
#include <cstdint>
#include <limits>

#include "app/varneldlg.h"
#include "selection/classlists.h"
#include "selection/histograms.h"

namespace {

// One map cell up or down; the circle is not held inside the map (the drawing skips whatever
// lies outside it), only kept clear of integer overflow.
void StepBy(std::int32_t& value, int step) {
  if (step > 0 && value == std::numeric_limits<std::int32_t>::max()) return;
  if (step < 0 && value == std::numeric_limits<std::int32_t>::min()) return;
  value += step;
}

// The member of a circle that a button moves.
using CircleField = std::int32_t SelectionCircle::*;

// A circle belongs to a class of the last lock, like the class "Set Circle" rebuilds from it.
void MoveShownCircle(CVarnelDlg& dlg, CircleField field, int step) {
  dlg.UpdateData(TRUE);
  if (!dlg.LockedClassList(dlg.m_pickFrom, dlg.m_pickTo)) return;
  SelectionCircle& circle = dlg.m_circles[dlg.m_pickFrom - 1][dlg.m_pickTo - 1];
  circle.visible = true;
  StepBy(circle.*field, step);
  dlg.RedrawMap();
}

}  // namespace

void CVarnelDlg::OnCircleUp() { MoveShownCircle(*this, &SelectionCircle::row, -1); }
void CVarnelDlg::OnCircleDown() { MoveShownCircle(*this, &SelectionCircle::row, +1); }
void CVarnelDlg::OnCircleLeft() { MoveShownCircle(*this, &SelectionCircle::col, -1); }
void CVarnelDlg::OnCircleRight() { MoveShownCircle(*this, &SelectionCircle::col, +1); }
void CVarnelDlg::OnRadiusDown() { MoveShownCircle(*this, &SelectionCircle::radius, -1); }
void CVarnelDlg::OnRadiusUp() { MoveShownCircle(*this, &SelectionCircle::radius, +1); }

// The box only decides whether the map draws the circle, from its next redraw on.
void CVarnelDlg::OnUseCircles() { UpdateData(TRUE); }

void CVarnelDlg::OnSetCircle() {
  UpdateData(TRUE);
  std::vector<double>* list = LockedClassList(m_pickFrom, m_pickTo);
  if (!list) return;
  const int i = m_pickFrom - 1, j = m_pickTo - 1;
  ClassRule rule = m_classRules[i][j];
  rule.weighted = m_weightByCount != FALSE;
  rule.circle = m_circles[i][j];
  std::optional<std::vector<double>> inside = ClassListOf(m_records, rule);
  if (!inside) {
    AfxMessageBox(TooManyTransitionsMessage());
    return;
  }
  *list = std::move(*inside);
  m_classRules[i][j] = rule;
  StoreHistogram(i, j, HistogramOf(*list));

  UpdateData(FALSE);
  RedrawMap();
  DrawPanel();
}
