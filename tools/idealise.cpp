// varnel-idealise: fits a hidden Markov model to raw traces and writes the idealised traces
// as one table, ready for varnel-import.

#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "idealise/hmm.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "idealise/rawtraces.h"
#include "import/importtraces.h"
#include "tools/pathwords.h"

namespace {

constexpr int kExitFailure = 1;
// Done, but molecules were left out.
constexpr int kExitLeftOut = 4;

const char* const kUsage =
    "usage: varnel-idealise [--donor COL --acceptor COL | --fret COL] [--states MIN-MAX]\n"
    "                       [--out FILE] [options] PATH...\n"
    "\n"
    "Fits a hidden Markov model with Gaussian emissions to raw traces, for every\n"
    "number of states from MIN to MAX, chooses the number by the Bayesian\n"
    "information criterion and assigns every frame of every molecule to a state\n"
    "by its most likely path. Prints each fit and the chosen model.\n"
    "\n"
    "Files are text, as varnel-import reads them: columns separated by blanks,\n"
    "tabs, commas or semicolons, a header whose last line may name the columns.\n"
    "A column COL is a number from 1 or a name in that line. A binary .traces file\n"
    "of a camera's traces (int32 frames, int16 traces, int16 donor and acceptor\n"
    "intensities frame by frame) is read by its name; its molecules are FILE-1, ...\n"
    "\n"
    "  --donor COL --acceptor COL\n"
    "                     the donor's and acceptor's intensities (default the\n"
    "                     columns named donor and acceptor): FRET = A / (A + gamma D);\n"
    "                     frames at background (after the molecule bleached, or\n"
    "                     while it blinks), found by the likeliest run of bright\n"
    "                     and dark frames in A + gamma D, and frames below a\n"
    "                     quarter of its bright level are left out: those after\n"
    "                     its last run of three bright frames are the bleached\n"
    "                     tail, cut; those before it blinks, given no state (the\n"
    "                     table's column blink counts them)\n"
    "  --fret COL         ... or a ready FRET value\n"
    "  --donor-background B, --acceptor-background B\n"
    "                     subtracted from the intensities (default 0)\n"
    "  --gamma G          detection ratio of acceptor to donor (default 1)\n"
    "  --last-frame N     frames after frame N are left out\n"
    "  --time COL         each row's time in seconds (default the column named time,\n"
    "                     where there is one): its steps, which must be regular, are\n"
    "                     the frame time\n"
    "  --frame-time S     seconds per frame; a time column must agree with it\n"
    "  --molecule COL [--frame COL]\n"
    "                     a table of many molecules, a row per frame, ordered by\n"
    "                     --frame or in file order; otherwise one molecule per file\n"
    "  --states MIN-MAX   numbers of states to fit, or one K (default 1-4, 1..10);\n"
    "                     BIC chooses among the models whose neighbouring states'\n"
    "                     means lie at least 2 widths apart\n"
    "  --merge C1,...|auto\n"
    "                     merges the chosen model's states further, as\n"
    "                     varnel-import --states merges levels: increasing upper\n"
    "                     bounds (a last state above them), or auto to find them\n"
    "                     from the gaps between the states' means; the idealised\n"
    "                     column holds the mean of each merged state's frames\n"
    "  --transitions shared|per-molecule\n"
    "                     one matrix of transition chances for all molecules, or\n"
    "                     one each (default shared); means and widths are shared\n"
    "  --molecule-offsets each molecule's levels moved by an offset of its own,\n"
    "                     fitted with the model (M - 1 more parameters for BIC);\n"
    "                     the table gains a column offset, and its idealised value\n"
    "                     is the state's mean plus the molecule's offset\n"
    "  --even-widths      every frame of a state one FRET width; without it (donor\n"
    "                     and acceptor) a frame's width is its state's times\n"
    "                     sqrt(B / its A + gamma D), B the median of every frame's\n"
    "  --threads N        threads (default all cores); the result is the same\n"
    "  --seed S           seed of the random starts (default 1)\n"
    "  --out FILE         write the table molecule,frame,fret,idealised: a row per\n"
    "                     frame kept, idealised the mean of its state; the molecule\n"
    "                     is its file's name without folder and extension (its\n"
    "                     folder's too where two folders hold that name), or the\n"
    "                     table's molecule name. Read it back with\n"
    "                     varnel-import --molecule molecule --value idealised FILE\n"
    "  --help             show this text\n"
    "\n"
    "Exit status: 0 done, 1 nothing written (a file that cannot be read, no model\n"
    "that can be fitted, a table that cannot be written), 2 bad command line,\n"
    "4 done, but molecules were left out (fewer than 2 frames to fit).\n";

// Reads, fits and writes what `arguments` ask for; the exit status.
int RunIdealise(const IdealiseArguments& arguments) {
  if (arguments.peaks) {
    // K belongs to the reports, which this program does not write.
    std::cerr << "varnel-idealise: --peaks is for the reports: varnel-import --peaks K\n";
    return kExitUsage;
  }
  const RawReading reading = ReadRawTraces(arguments.paths, arguments.raw);
  if (!reading.error.empty()) {
    std::cerr << "varnel-idealise: " << reading.error << "; nothing was written\n";
    return kExitFailure;
  }
  if (!reading.repeated.empty())
    std::cerr << "varnel-idealise: named more than once, read once: " << RepeatedText(reading.repeated) << "\n";
  for (const std::string& left : reading.left) std::cerr << "varnel-idealise: left out: " << left << "\n";
  if (const std::string dark = DarkFramesText(reading.traces); !dark.empty())
    std::cerr << "varnel-idealise: " << dark << "\n";
  if (reading.frameTime)
    std::cerr << "varnel-idealise: frame time " << *reading.frameTime << " s, "
              << (reading.frameTimeFrom.empty() ? "as --frame-time gives it"
                                                : "from the time column of " + reading.frameTimeFrom)
              << "\n";
  std::size_t frames = 0;
  for (const FretTrace& trace : reading.traces) frames += trace.fret.size();
  double reference = 0;
  const Idealisation idealisation = IdealiseTraces(reading.traces, arguments, nullptr, &reference);
  if (!idealisation.error.empty()) {
    std::cerr << "varnel-idealise: " << idealisation.error << "; nothing was written\n";
    return kExitFailure;
  }
  // The line goes out whole once the table is written, or could not be: nothing half-said when
  // memory runs out on the way.
  const std::size_t molecules = reading.traces.size();
  std::string line = ModelSummary(idealisation, reference) + std::to_string(molecules) +
                     (molecules == 1 ? " molecule, " : " molecules, ") + std::to_string(frames) + " frames";
  std::optional<LevelStates> merged;
  if (arguments.merge) {
    merged = MergedStates(idealisation, *arguments.merge);
    line += "; " + StatesText(*merged);
  }
  if (arguments.out) {
    if (const auto why = WriteIdealisedTable(*arguments.out, reading.traces, idealisation, merged ? &*merged : nullptr)) {
      std::cout << line << std::endl;
      std::cerr << "varnel-idealise: cannot write " << *arguments.out << ": " << *why << "\n";
      return kExitFailure;
    }
    line += "; idealised traces written to " + *arguments.out;
  }
  std::cout << line << std::endl;
  if (const std::string top = TopOfRangeText(idealisation, arguments.hmm); !top.empty())
    std::cerr << "varnel-idealise: " << top << "\n";
  if (!std::cout) return kExitFailure;
  if (!reading.left.empty()) {
    std::cerr << "varnel-idealise: " << reading.left.size() << " of " << reading.left.size() + reading.traces.size()
              << " molecules left out\n";
    return kExitLeftOut;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return RunIdealise(PathArguments("varnel-idealise", kUsage, argc, argv, ParseIdealiseArguments));
  } catch (const std::bad_alloc&) {
    // Unwound to here, every new file is gone again: an old table stays as it was.
    std::cerr << "varnel-idealise: there is not enough memory for these traces (the fits hold every frame of "
                 "every molecule for each state); nothing was written\n";
    return kExitFailure;
  } catch (const std::exception& error) {
    // A thread the system would not start, say.
    std::cerr << "varnel-idealise: " << error.what() << "; nothing was written\n";
    return kExitFailure;
  }
}
