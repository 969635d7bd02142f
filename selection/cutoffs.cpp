// The state count and the cutoffs between states.
#include "app/varneldlg.h"

void CVarnelDlg::OnStateCountChange() {}
void CVarnelDlg::OnCutoffSelChange() {}
void CVarnelDlg::OnCutoffUp() {}
void CVarnelDlg::OnCutoffDown() {}
void CVarnelDlg::OnRefreshCutoffs() {}
