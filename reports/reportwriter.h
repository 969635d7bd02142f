// Writing transition reports: the text that "Load Files" reads back, and the names of numbered
// reports.
#pragma once

#include <array>
#include <string>

#include "reports/records.h"

// Significant digits of the numbers of a record; 0 writes the shortest text that reads back as
// the very same number. The number of transitions is a whole number and is written whole.
struct ReportDigits {
  int values = 0;  // initial and final value
  int rate = 0;
  int spare = 0;
};

// Four header lines (given without their line ends), then one line per record: initial value,
// final value, rate per frame, spare and number of transitions, separated by one blank.
std::string ReportText(const std::array<std::string, 4>& header, const TransitionRecords& records,
                       ReportDigits digits = {});

// "<prefix>_0007<extension>": `number` zero-padded to at least four digits and to the width of
// `last`, so that name order is number order.
std::string NumberedName(const std::string& prefix, long number, long last, const std::string& extension);
