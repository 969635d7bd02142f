// "Dump Log" and the "Peaks in report:" edit.
#include "app/varneldlg.h"

void CVarnelDlg::OnDumpLog() {}
void CVarnelDlg::OnChangePeaksInReport() {}
