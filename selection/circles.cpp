// Circle selection of one class on the map.
#include "app/varneldlg.h"

void CVarnelDlg::OnUseCircles() {}
void CVarnelDlg::OnSetCircle() {}
void CVarnelDlg::OnCircleUp() {}
void CVarnelDlg::OnCircleDown() {}
void CVarnelDlg::OnCircleLeft() {}
void CVarnelDlg::OnCircleRight() {}
void CVarnelDlg::OnRadiusDown() {}
void CVarnelDlg::OnRadiusUp() {}
