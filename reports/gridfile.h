// "3dgrid.dat": the listing of every record, then the density grid.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "reports/densitygrid.h"

// Writes the file at `path`, replacing it whole or not at all: one line per record (initial
// value, final value, rate per frame, each right-aligned in 20 characters with 6 significant
// digits), then one line per grid row of 201 cells, each right-aligned in 15 characters.
// Nothing when it was written, otherwise why not.
std::optional<std::string> WriteGridFile(const std::string& path, const TransitionRecords& records,
                                         const DensityGrid& grid);

// The size in bytes of that file for `records` records: no number's text fills its field, so
// every line has its fixed length.
std::uint64_t GridFileSize(std::size_t records);
