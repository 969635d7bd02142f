// One transition report: four header lines, then records of five numbers each.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "reports/records.h"

struct ReportReading {
  bool opened = false;
  std::string problem;       // why it was not opened, in words
  std::size_t supplied = 0;  // records read completely
};

// Only a regular file is read: a folder, a pipe or a device is named as such and not read (a pipe
// could keep the program waiting for ever).
//
// Skips the four header lines of the report at `path`, of any length, and reads up to `records`
// records, however the numbers are spread over lines, into `into` from record `first` on. A
// record is stored only when all five of its numbers could be read; reading stops at the end of
// the file or at the first text that is not a number, and leaves the remaining records as they
// are. Whatever follows the last record wanted is not read.
//
// A number is what a C++ stream extracts as a double in the C locale: white space is skipped,
// the longest text of the form [+-] digits [. digits] [e [+-] digits] is taken (the exponent
// only after a digit), and it is a number when all of it is decimal notation of a finite value.
//
// Calls for distinct records may run on distinct threads.
ReportReading ReadReport(const std::string& path, std::size_t records, TransitionRecords& into, std::size_t first);

// The same for the whole text of a report in memory; returns the records read.
std::size_t ReadReportText(std::string_view whole, std::size_t records, TransitionRecords& into, std::size_t first);
