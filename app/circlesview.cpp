// Circle selection of one class on the map.
#include "app/varneldlg.h"

void CVarnelDlg::MoveShownCircle(CircleField field, int step) {
  UpdateData(TRUE);
  if (!Show(m_session.MoveCircle(m_pickFrom, m_pickTo, field, step))) return;
  MirrorSession();
  RedrawMap();
}

void CVarnelDlg::OnCircleUp() { MoveShownCircle(&SelectionCircle::row, -1); }
void CVarnelDlg::OnCircleDown() { MoveShownCircle(&SelectionCircle::row, +1); }
void CVarnelDlg::OnCircleLeft() { MoveShownCircle(&SelectionCircle::col, -1); }
void CVarnelDlg::OnCircleRight() { MoveShownCircle(&SelectionCircle::col, +1); }
void CVarnelDlg::OnRadiusDown() { MoveShownCircle(&SelectionCircle::radius, -1); }
void CVarnelDlg::OnRadiusUp() { MoveShownCircle(&SelectionCircle::radius, +1); }

// The box only decides whether the map draws the circle, from its next redraw on.
void CVarnelDlg::OnUseCircles() { UpdateData(TRUE); }

void CVarnelDlg::OnSetCircle() {
  UpdateData(TRUE);
  SyncSettings();
  if (!Show(m_session.SetCircle(m_pickFrom, m_pickTo))) return;
  MirrorSession();
  UpdateData(FALSE);
  RedrawMap();
  DrawPanel();
}
