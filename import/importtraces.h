// An import of idealised traces: every file read, every molecule counted, and one transition
// report per molecule written into a new folder, all of them or none.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "import/importoptions.h"
#include "platform/pendingfolder.h"

enum class SkipReason { TooManyLevels, TooFewFrames };

struct SkippedMolecule {
  std::string source;
  SkipReason reason;
};

// A trace file named again, by the same path or another: it is read once, where it is first named.
struct RepeatedFile {
  std::string path;   // as named again
  std::string first;  // as named first
};

// The paths to read, each file once, where it is first named; the others, named again by the
// same path or by another that leads to the same file (a link), go into `repeated`. A path that
// leads nowhere is kept, for the reading to name.
std::vector<std::string> EachFileOnce(const std::vector<std::string>& paths, std::vector<RepeatedFile>& repeated);

// "a.txt (again as ./a.txt), b.txt (again as link.txt)", the first few, and how many more.
std::string RepeatedText(const std::vector<RepeatedFile>& repeated);

// A file whose layout was recognised as another tool's.
struct RecognisedFile {
  std::string path;
  TraceLayout layout;
};

struct ImportResult {
  std::string error;  // why no report was written; empty when the reports were
  // After an error: what of this import is left, and where ("" when nothing is). Only a
  // hidden folder that could not be removed whole; the next import into the same place
  // removes it.
  std::string leftBehind;
  std::size_t molecules = 0;
  std::vector<std::string> reports;  // the paths written, in molecule order
  std::vector<SkippedMolecule> skipped;
  std::vector<RepeatedFile> repeated;
  StoppedRuns stopped;  // what stopped imports into `folder` had left there
  std::optional<LevelStates> states;  // with --states: the states the levels became
  std::string folder;
  int peaks = 0;
  std::vector<RecognisedFile> recognised;
  // Seconds per frame: what the files hold (they must agree), else --frame-time; `frameTimeFrom`
  // is the file that gave it, empty when the option did.
  std::optional<double> frameTime;
  std::string frameTimeFrom;
};

// What an import writes into its hidden folder `.FOLDER.partial-PROCESS-N`: regular files
// named NAME.dat.
bool IsReportEntry(const HeldFolder::Entry& entry);
inline constexpr FolderWriter kImportWriter{"import", "partial", "report", "reports", IsReportEntry, false};

// Reads the traces at `paths` as `options` lay them out and writes the report of K = `peaks`
// slots of each molecule into `folder` (which must not exist or be empty), named by the
// molecule's number: `<prefix>_0001.dat` .... A file named more than once (by the same path, or
// another one that leads to it) is read once. A molecule with more than K levels or fewer than
// two frames gets no report. With `options.states`, the levels of all molecules are first merged
// into states (FindStates), and the reports and dwells count the states. No report is written
// when a file cannot be read as the layout asks, when no molecule gets a report, or when the
// folder cannot be written. Before writing,
// the hidden folders that stopped imports into `folder` left are removed.
ImportResult ImportTraces(const std::vector<std::string>& paths, const ImportOptions& options, int peaks,
                          const std::string& folder);

// Where the reports of an import go: the folder `--out` names, or else a new folder
// "varnel-reports" beside the first trace file ("varnel-reports-2" ... when that is taken).
std::string ReportFolderFor(const ImportOptions& options, const std::vector<std::string>& paths);

// Why an import wrote nothing, for the user: "Cannot import the traces: WHY. Nothing was written;
// the records loaded before are kept."
std::string CannotImportMessage(const std::string& why);
// The same for an import that failed: when something of it is left, the message says what and
// where in place of "Nothing was written".
std::string CannotImportMessage(const ImportResult& result);

// One line: the molecules read, the reports written and where, the levels merged into states,
// the molecules skipped and why, the files read once that were named more than once, the hidden
// folders of stopped imports removed (or left), the files recognised as other tools' and the
// frame time a file gave.
std::string ImportSummary(const ImportResult& result);

// Whether the summary says more than how many reports were written where: whether a user
// should be shown it.
bool ImportHasNotices(const ImportResult& result);
