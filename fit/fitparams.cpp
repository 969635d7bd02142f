#include "fit/fitparams.h"

double g_fitAmplitude = 0.0;
double g_fitCentre = 0.0;
double g_fitWidth = 0.0;
