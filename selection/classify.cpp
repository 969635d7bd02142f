// "Lock cutoffs": sorting every record into its class.
#include "app/varneldlg.h"

void CVarnelDlg::OnLockCutoffs() {}
