// Any bytes as a "dwells.csv": reading either refuses it with a message naming the file and gives
// no dwells, or gives molecules whose dwells lie back to back from frame 1 at finite levels and
// end by the longest trace, that write and read back as the very same table, that the check
// against reports counted from them finds in agreement, and whose states a lock can count.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "dwell/dwelltimes.h"
#include "import/counting.h"
#include "import/dwellcheck.h"
#include "import/dwelltable.h"

namespace {

constexpr int kPeaks = 10;

void CheckMolecule(const MoleculeDwells& molecule) {
  std::int64_t next = 1;
  std::vector<Dwell> frames;
  for (const LevelDwell& dwell : molecule.dwells) {
    if (!std::isfinite(dwell.level) || dwell.frames < 1 || dwell.start != next) std::abort();
    next = dwell.start + dwell.frames;
    if (next - 1 > kMostTraceFrames) std::abort();
    AppendFrames(frames, dwell.level, dwell.frames);
  }
  // The records an import would have written for these dwells agree with them.
  const LevelCounts counts = CountTransitions(frames, kPeaks);
  if (counts.LevelCount() == 0 || counts.LevelCount() > static_cast<std::size_t>(kPeaks)) return;
  const TransitionRecords records = ReportRecords(counts, kPeaks);
  if (!DwellsDisagreement(molecule.dwells, records, 0, records.size()).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const DwellsReading reading = ReadDwellsCsvText(text, "dwells.csv");
  if (!reading.error.empty()) {
    if (reading.error.rfind("dwells.csv", 0) != 0 || !reading.table.empty()) std::abort();
    return 0;
  }
  for (const MoleculeDwells& molecule : reading.table) CheckMolecule(molecule);
  const std::string written = DwellsCsv(reading.table);
  const DwellsReading again = ReadDwellsCsvText(written, "again.csv");
  if (!again.error.empty() || DwellsCsv(again.table) != written || again.table.size() != reading.table.size())
    std::abort();
  Cutoffs cutoffs{};
  cutoffs[0] = 0.5;
  cutoffs[1] = 1.0;
  if (DwellsInStates(reading.table, 2, cutoffs).size() != reading.table.size()) std::abort();
  return 0;
}
