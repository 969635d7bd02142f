// An import of idealised traces: every file read, every molecule counted, and one transition
// report per molecule written into a new folder, all of them or none.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "import/importoptions.h"

enum class SkipReason { TooManyLevels, TooFewFrames };

struct SkippedMolecule {
  std::string source;
  SkipReason reason;
};

struct ImportResult {
  std::string error;  // why nothing was written; empty when the reports were
  std::size_t molecules = 0;
  std::vector<std::string> reports;  // the paths written, in molecule order
  std::vector<SkippedMolecule> skipped;
  std::string folder;
  int peaks = 0;
};

// Reads the traces at `paths` as `options` lay them out and writes the report of K = `peaks`
// slots of each molecule into `folder` (which must not exist or be empty), named by the
// molecule's number: `<prefix>_0001.dat` .... A molecule with more than K levels or fewer than
// two frames gets no report. Nothing is written when a file cannot be read as the layout asks,
// when no molecule gets a report, or when the folder cannot be written.
ImportResult ImportTraces(const std::vector<std::string>& paths, const ImportOptions& options, int peaks,
                          const std::string& folder);

// Where the reports of an import go: the folder `--out` names, or else a new folder
// "varnel-reports" beside the first trace file ("varnel-reports-2" ... when that is taken).
std::string ReportFolderFor(const ImportOptions& options, const std::vector<std::string>& paths);

// Why an import wrote nothing, for the user: "Cannot import the traces: WHY. Nothing was written;
// the records loaded before are kept."
std::string CannotImportMessage(const std::string& why);

// One line: the molecules read, the reports written and where, the molecules skipped and why.
std::string ImportSummary(const ImportResult& result);
