// The transition picker and the histogram panel.
#include "app/varneldlg.h"

void CVarnelDlg::DrawPanel() {}
void CVarnelDlg::OnPickNext() {}
void CVarnelDlg::OnPickPrev() {}
