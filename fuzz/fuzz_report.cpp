// Any bytes as a transition report of 3 x 3 records: reading never writes outside its slots and
// never claims more records than it stored.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reports/reportfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kRecords = 9;
  TransitionRecords records(kRecords + 2);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t supplied = ReadReportText(text, kRecords, records, 1);
  if (supplied > kRecords) std::abort();
  // The slots before and after stay untouched.
  if (records[0].count != 0 || records[kRecords + 1].count != 0) std::abort();
  return 0;
}
