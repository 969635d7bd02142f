#include "reports/reportfile.h"

#include <limits>

namespace {

constexpr int kHeaderLines = 4;

}  // namespace

ReportReading ReadReport(std::ifstream& fin, const std::string& path, std::size_t records, TransitionRecords& into,
                         std::size_t first) {
  ReportReading reading;
  fin.clear();
  fin.open(path, std::ios::in);
  if (!fin.is_open()) return reading;
  reading.opened = true;
  for (int line = 0; line < kHeaderLines; ++line) fin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  for (std::size_t r = 0; r < records; ++r) {
    TransitionRecord record;
    if (!(fin >> record.initial >> record.final >> record.rate >> record.spare >> record.count)) break;
    into.Set(first + r, record);
    reading.supplied = r + 1;
  }
  fin.close();
  return reading;
}
