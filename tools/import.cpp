// varnel-import: turns idealised traces into transition reports, one per molecule, that
// "Load Files" reads.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "import/importoptions.h"
#include "import/importtraces.h"
#include "tools/pathwords.h"

namespace {

constexpr int kExitFailure = 1;

const char* const kUsage =
    "usage: varnel-import [options] PATH...\n"
    "\n"
    "Reads idealised traces (each frame of a molecule's signal assigned to a level)\n"
    "and writes one transition report per molecule, <prefix>_0001.dat ..., into a\n"
    "new folder, ready for \"Load Files\". Prints one line: molecules read, reports\n"
    "written, levels merged into states, molecules skipped and why.\n"
    "\n"
    "Files are text: columns separated by blanks, tabs, commas or semicolons; the\n"
    "leading lines that are not all numbers are a header, whose last line may name\n"
    "the columns. A column COL is a number from 1 or a name in that line. Numbers\n"
    "take a decimal point. A file named more than once is read once.\n"
    "\n"
    "Layouts:\n"
    "  (default)          one molecule per file, a row per frame, in order; the\n"
    "                     idealised value is the last column\n"
    "  --column COL       ... or column COL\n"
    "  --molecule COL --value COL [--frame COL]\n"
    "                     a table of many molecules, a row per frame: the rows of\n"
    "                     a molecule in frame order, or ordered by --frame\n"
    "  --dwells           dwell lists: rows of molecule, level value and dwell\n"
    "                     length in frames (columns 1, 2, 3, or --molecule,\n"
    "                     --value, --length COL)\n"
    "  --layout NAME      one-per-file, table, dwells, or another tool's files:\n"
    "                     dwt     .dwt segments of class<TAB>dwell time in ms,\n"
    "                             one molecule each; the class is the level\n"
    "                     smd     SMD JSON (.json, .json.gz): \"data\" molecules,\n"
    "                             \"values\" a row per frame, the idealised value\n"
    "                             in the column \"columns\" names *ideal*, or the last\n"
    "                     stacked rows of trace no., donor, acceptor, FRET,\n"
    "                             state no., state mean; the level is the mean\n"
    "                     Without --layout (or the column options above) each\n"
    "                     file's layout is recognised: .dwt, .json[.gz] or a\n"
    "                     JSON or gzip start, a first line naming FRET and a\n"
    "                     mean; the rest is one molecule per file. The line\n"
    "                     printed names the files recognised.\n"
    "\n"
    "Options:\n"
    "  --peaks K          slots per report, K x K records (default 10, 1..1000); a\n"
    "                     molecule with more than K levels is skipped\n"
    "  --out DIR          the folder for the reports, new or empty (default: a new\n"
    "                     folder varnel-reports beside the first PATH)\n"
    "  --states C1,...|auto\n"
    "                     merge the levels into states, the same for all molecules:\n"
    "                     v is in the first state whose upper bound C is >= v, a\n"
    "                     last state above the last bound; auto finds them from the\n"
    "                     gaps between the levels. A state is the mean of its\n"
    "                     frames; a step within a state is no transition\n"
    "  --prefix NAME      report name prefix (default molecule)\n"
    "  --frame-time S     seconds per frame, to turn .dwt dwell times into frames;\n"
    "                     a .dwt segment header's \"Sampling(ms): T\" wins, and the\n"
    "                     line printed says so\n"
    "  --help             show this text\n"
    "\n"
    "Exit status: 0 done, 1 nothing written (a file that cannot be read as the\n"
    "layout asks, no molecule with a report, a folder that cannot be written),\n"
    "2 bad command line.\n";

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = PathArguments("varnel-import", kUsage, argc, argv, ParseImportArguments);
  const ImportOptions& options = arguments.options;
  const std::string folder = ReportFolderFor(options, arguments.paths);
  const ImportResult result =
      ImportTraces(arguments.paths, options, options.peaks.value_or(kDefaultImportPeaks), folder);
  if (!result.error.empty()) {
    std::cerr << "varnel-import: " << result.error
              << (result.leftBehind.empty() ? "; nothing was written"
                                            : "; no reports folder was made, but " + result.leftBehind)
              << "\n";
    return kExitFailure;
  }
  std::cout << ImportSummary(result) << std::endl;
  return std::cout ? 0 : kExitFailure;
}
