// The objective of the Gaussian fit and the class it is fitted to.
#pragma once

#include "fit/minimiser.h"

// 0-based initial and final state of the class being fitted; the objective reads its histogram.
extern int g_fitFrom;
extern int g_fitTo;

// Sum of squares between the class histogram and the Gaussian p = (area A, centre xc, width w)
// on the ln axis; 1e300 outside w >= 0.5, A >= 1, -9 <= xc <= -1. Stores p in the shared fit
// parameters first, so the panel draws the last point the minimiser tried.
double gaussObjective(const DoubleVector& p);
