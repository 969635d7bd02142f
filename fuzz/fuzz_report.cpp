// Any bytes as a transition report of 3 x 3 records: reading never writes outside its slots and
// never claims more records than it stored.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "reports/reportfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/varnel-fuzz-report-" + std::to_string(getpid()) + ".dat";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  constexpr std::size_t kRecords = 9;
  TransitionRecords records(kRecords);
  const ReportReading reading = ReadReport(path, kRecords, records, 0);
  if (!reading.opened || reading.supplied > kRecords) std::abort();
  return 0;
}
