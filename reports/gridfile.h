// "3dgrid.dat": the listing of every record, then the density grid.
#pragma once

#include <string>

#include "reports/densitygrid.h"

// Writes the file at `path`, replacing it: one line per record (initial value, final value,
// rate per frame, each right-aligned in 20 characters with 6 significant digits), then one line
// per grid row of 201 cells, each right-aligned in 15 characters. False when the file could
// not be created or written completely.
bool WriteGridFile(const std::string& path, const TransitionRecords& records, const DensityGrid& grid);
