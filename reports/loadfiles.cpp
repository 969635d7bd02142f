// "Load Files": reading transition reports into the record arrays.
#include "app/varneldlg.h"

void CVarnelDlg::OnLoadFiles() {}
