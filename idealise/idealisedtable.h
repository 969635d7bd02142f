// What an idealisation gives back: the table of idealised traces, in the one-table layout an
// import reads, and the summary of the models fitted.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "idealise/hmm.h"
#include "idealise/rawtraces.h"
#include "import/states.h"

// The table's header; a row per frame kept: the molecule's name, the frame, its FRET value and
// the mean of the state of the molecule's most likely path there.
inline constexpr const char* kIdealisedHeader = "molecule,frame,fret,idealised";
// The same with a last column, when any molecule blinked: the frames of a blink just before the
// row's frame (0 mostly). A blink's frames have no row, so no state; a reader that takes the
// columns by name reads either table.
inline constexpr const char* kIdealisedBlinkHeader = "molecule,frame,fret,idealised,blink";
// With molecule offsets, after those: the molecule's offset on each of its rows. The idealised
// value is then the state's mean plus the offset, the level the molecule itself shows; the state
// is the same for every molecule (the idealised value less the offset).
inline constexpr const char* kIdealisedOffsetColumn = ",offset";

// What an idealisation of raw traces gave: the molecules' kept frames, the models fitted and the
// paths, the states they were merged into, and the table written.
struct IdealisedTraces {
  std::vector<FretTrace> traces;
  Idealisation idealisation;
  // The brightness N_ref the model's widths are at when each frame's width follows its
  // brightness (WeightsOfBrightness); 0 when every frame of a state has the one width.
  double brightnessReference = 0;
  std::optional<LevelStates> merged;
  std::string table;

  // The value the table gives frame `frame` of molecule `molecule`: its state's mean, or its
  // merged state's value, plus the molecule's offset where the model has one.
  double IdealisedValue(std::size_t molecule, std::size_t frame) const;
};

// The states the fitted states' means become when `option` merges them, over the frames of every
// molecule's path, as an import merges levels (FindStates).
LevelStates MergedStates(const Idealisation& idealisation, const StatesOption& option);

// Writes the table of `traces`, idealised by `idealisation`, as the whole of the file at `path`
// (the old file stays whole when that fails, and an exception, out of memory say, leaves no new
// file beside it); nothing when it worked, otherwise why not. The rows go out as they are made:
// the memory it takes does not grow with the file. With
// `merged`, the idealised column holds the value of the merged state of each frame's state.
std::optional<std::string> WriteIdealisedTable(const std::string& path, const std::vector<FretTrace>& traces,
                                               const Idealisation& idealisation,
                                               const LevelStates* merged = nullptr);

// The same table as text.
std::string IdealisedTableText(const std::vector<FretTrace>& traces, const Idealisation& idealisation,
                               const LevelStates* merged = nullptr);

// The fits, a line for each number of states (log-likelihood, parameters, BIC, the chosen one
// marked, or why it was not fitted), then the chosen model: each state's mean, width and share of
// the first frames (the widths at `brightnessReference` where the widths follow the brightness,
// above 0), the molecules' offsets (their rms and range, where the model has them), and its
// transition chances per frame (when they are shared).
// A fit whose states lie within the noise of each other says "not taken" and why.
std::string ModelSummary(const Idealisation& idealisation, double brightnessReference = 0);

// When the chosen number of states is the most of a range `settings` offered: that it is, and
// the --states that offers more; empty otherwise.
std::string TopOfRangeText(const Idealisation& idealisation, const HmmSettings& settings);
