// One transition report: four header lines, then records of five numbers each.
#pragma once

#include <cstddef>
#include <fstream>
#include <string>

#include "reports/records.h"

struct ReportReading {
  bool opened = false;
  std::size_t supplied = 0;  // records read completely
};

// Opens `path` with `fin`, skips four header lines of any length and reads up to `records`
// records by formatted extraction, however the numbers are spread over lines, into `into` from
// record `first` on. A record is stored only when all five of its numbers could be read;
// reading stops at the end of the file or at the first text that is not a number, and leaves
// the remaining records as they are. Whatever follows the last record wanted is not read.
ReportReading ReadReport(std::ifstream& fin, const std::string& path, std::size_t records, TransitionRecords& into,
                         std::size_t first);
