// The colour table of the map: 256 entries, read from "shrcol.tbl" or built in.
#pragma once

#include <array>

#include "app/analysis_types.h"

using ColorTable = std::array<ColorEntry, kColorEntries>;

// The program's own table, the one "shrcol.tbl" beside the program holds: black through blue,
// cyan, green, yellow and red to white, seven stops evenly over the 256 entries, each entry the
// rounded linear interpolation between its two stops.
ColorTable DefaultColorTable();
