// Any bytes as a trace file, in each layout, with columns given by number and by name: reading
// either refuses it with a message naming the file, or gives molecules whose dwells are
// finite values of at least one frame, never two alike in a row.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/tracefile.h"

namespace {

ImportOptions OptionsFor(std::uint8_t choice) {
  ImportOptions options;
  const bool byName = choice & 1;
  const auto column = [&](const char* option, int number, const char* name) {
    return byName ? ColumnRef{option, 0, name} : ColumnRef{option, number, ""};
  };
  switch ((choice >> 1) % 4) {
    case 0:
      break;  // one molecule, the last column
    case 1:
      options.column = column("--column", 2, "FRET");
      break;
    case 2:
      options.layout = TraceLayout::Table;
      options.molecule = column("--molecule", 1, "molecule");
      options.value = column("--value", 2, "value");
      if (choice & 8) options.frame = column("--frame", 3, "frame");
      break;
    default:
      options.layout = TraceLayout::Dwells;
      options.molecule = column("--molecule", 1, "molecule");
      options.value = column("--value", 2, "value");
      options.length = column("--length", 3, "length");
      break;
  }
  return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const TraceReading reading = ReadTraceText(text, "fuzz.txt", OptionsFor(data[0]));
  if (!reading.error.empty()) {
    if (reading.error.rfind("fuzz.txt", 0) != 0 || !reading.molecules.empty()) std::abort();
    return 0;
  }
  for (const Molecule& molecule : reading.molecules)
    for (std::size_t k = 0; k < molecule.dwells.size(); ++k) {
      const Dwell& dwell = molecule.dwells[k];
      if (!std::isfinite(dwell.value) || dwell.frames < 1) std::abort();
      if (k > 0 && molecule.dwells[k - 1].value == dwell.value) std::abort();
    }
  return 0;
}
