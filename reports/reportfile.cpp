#include "reports/reportfile.h"

#include <limits>

namespace {

constexpr int kHeaderLines = 4;

}  // namespace

ReportReading ReadReport(std::ifstream& fin, const std::string& path, std::size_t records, const RecordSlots& slots) {
  ReportReading reading;
  fin.clear();
  fin.open(path, std::ios::in);
  if (!fin.is_open()) return reading;
  reading.opened = true;
  for (int line = 0; line < kHeaderLines; ++line) fin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  for (std::size_t r = 0; r < records; ++r) {
    double initial, final, rate, spare, count;
    if (!(fin >> initial >> final >> rate >> spare >> count)) break;
    slots.initial[r] = initial;
    slots.final[r] = final;
    slots.rate[r] = rate;
    slots.spare[r] = spare;
    slots.count[r] = count;
    reading.supplied = r + 1;
  }
  fin.close();
  return reading;
}
