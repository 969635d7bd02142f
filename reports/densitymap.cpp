// The transition density map and "3dgrid.dat".
#include "app/varneldlg.h"

void CVarnelDlg::RebuildTransitionMap() {}

void CVarnelDlg::OnWeightByCount() {}
