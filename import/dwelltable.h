// The dwells an import keeps beside its reports: every run of frames at one level, molecule by
// molecule, as "dwells.csv". The reports count the transitions; the dwells keep how long each
// stay lasted and whether the trace's start or end cut it, which the dwell-time analysis needs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One stay of a molecule at one level.
struct LevelDwell {
  double level = 0;          // the level's value, as its report's records give it
  std::int64_t start = 0;    // its first frame, counted from 1 at the molecule's first frame
  std::int64_t frames = 0;   // how long it lasted, at least 1
  bool cutAtStart = false;   // the trace begins in it: it may have begun before
  bool cutAtEnd = false;     // the trace ends in it (the recording stops or the dye bleaches)
};

struct MoleculeDwells {
  std::string molecule;            // the name of its report, without folder and ".dat"
  std::vector<LevelDwell> dwells;  // in frame order, back to back
};

using DwellTable = std::vector<MoleculeDwells>;

// The file an import writes into its report folder beside the reports.
inline constexpr std::string_view kDwellsFileName = "dwells.csv";

// No trace is longer: a table whose dwells run past this frame is refused. It keeps every sum
// of a molecule's frames far from the end of a 64-bit count.
inline constexpr std::int64_t kMostTraceFrames = 1'000'000'000'000'000;

// "dwells.csv": the header `molecule,level,start_frame,frames,cut_at_start,cut_at_end`, then a
// row per dwell, molecule by molecule in table order; the level in the fewest digits that read
// back as the very same double, the cuts as 0 or 1; a name with a comma or a quote in quotes.
std::string DwellsCsv(const DwellTable& table);

struct DwellsReading {
  DwellTable table;
  std::string error;  // "FILE:LINE: why"; then an empty table
};

// The table of `text` as DwellsCsv writes it, read from a file called `name`; lines end in LF or
// CR LF. A molecule's rows must stand together, in frame order, back to back from frame 1, and
// end by frame kMostTraceFrames.
DwellsReading ReadDwellsCsvText(std::string_view text, const std::string& name);
DwellsReading ReadDwellsCsv(const std::string& path);
