// Circle selection of one class on the map.
#include "app/varneldlg.h"

void CVarnelDlg::MoveShownCircle(const char* direction) {
  UpdateData(TRUE);
  Execute({"circle-move", std::to_string(m_pickFrom), std::to_string(m_pickTo), direction});
}

void CVarnelDlg::OnCircleUp() { MoveShownCircle("up"); }
void CVarnelDlg::OnCircleDown() { MoveShownCircle("down"); }
void CVarnelDlg::OnCircleLeft() { MoveShownCircle("left"); }
void CVarnelDlg::OnCircleRight() { MoveShownCircle("right"); }
void CVarnelDlg::OnRadiusDown() { MoveShownCircle("smaller"); }
void CVarnelDlg::OnRadiusUp() { MoveShownCircle("larger"); }

// The box only decides whether the map draws the circle, from its next redraw on.
void CVarnelDlg::OnUseCircles() { UpdateData(TRUE); }

void CVarnelDlg::OnSetCircle() {
  UpdateData(TRUE);
  Execute({"circle-set", std::to_string(m_pickFrom), std::to_string(m_pickTo)});
}
