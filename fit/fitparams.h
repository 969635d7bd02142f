// The Gaussian the fit evaluated last: amplitude, centre and width on the ln(rate per frame)
// axis. The fit writes them, the histogram panel draws the curve from them.
#pragma once

extern double g_fitAmplitude;
extern double g_fitCentre;
extern double g_fitWidth;
