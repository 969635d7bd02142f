// "log.dat": the report of every fitted class of N states.
#pragma once

#include <string>

#include "fit/classfit.h"

// The number of states, a header, and one row per fitted class i->j with i, j < N in row-major
// order: the class, its rate, width and number of transitions right-aligned in 25 characters.
std::string LogReportText(int states, const ClassFits& fits);
