// "Fit Gaussian": the fit of the shown class's histogram.
#include "app/varneldlg.h"

void CVarnelDlg::OnFitGaussian() {}
