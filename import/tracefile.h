// Reading the molecules of one trace file, in any of the layouts an import takes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/counting.h"
#include "import/importoptions.h"

// One molecule's frames, and where they came from.
struct Molecule {
  std::string source;         // the file; in a table, the file and the molecule's name
  std::vector<Dwell> dwells;  // in frame order
};

struct TraceReading {
  std::vector<Molecule> molecules;  // in the order they first appear
  std::string error;                // "FILE:LINE: why", or "FILE: why"; then no molecules
  TraceLayout layout = TraceLayout::OnePerFile;  // as the file was read
  std::optional<double> frameTime{};              // seconds per frame, when the file holds it
};

// The molecules of the file at `path`, laid out as `options` say. The file is read piece by
// piece as it is taken apart: what stays in memory is the molecules' frames, whatever its size.
//
// Leading lines that are not all numbers are a header; the last of them names the columns,
// split as the first row is split (commas, semicolons or tabs alone when the rows have them), so
// a name may hold blanks. A name matches one field, in any case, and no other; a column is
// looked up by name only in a header of as many names as the rows have columns.
// Every row after it must have as many fields as the first, all of them
// numbers (a molecule's name may be text); the values the layout reads must be finite. Numbers
// with a decimal comma ("0,1" between semicolons, tabs or blanks) are refused as such, and no
// line may be longer than kLongestTraceLine.
//
// With `options.recognise` the layout is recognised from the file (RecogniseLayout); the
// files of other tools are read as peerformats.h says, the stacked export as a table of
// molecule column 1 and value column 6.
TraceReading ReadTraceFile(const std::string& path, const ImportOptions& options);

// The same, for `text` read from a file called `name`.
TraceReading ReadTraceText(std::string_view text, const std::string& name, const ImportOptions& options);

// One molecule's rows as numbers: the values of the columns a caller asked for, row by row.
struct ColumnMolecule {
  std::string source;          // as in Molecule
  std::string name;            // a table's molecule name; empty for a file of one molecule
  std::vector<double> frames;  // each row's frame: the frame column's value, or its row from 1
  std::vector<double> values;  // row-major, as many a row as columns were asked for
};

struct ColumnReading {
  std::vector<ColumnMolecule> molecules;  // in the order they first appear
  std::string error;                      // as in TraceReading
};

// The molecules of the file at `path` with the values of `columns` in every row, read and
// checked as ReadTraceFile reads them: one molecule per file or a table (`options.molecule`),
// a table's rows of a molecule ordered by `options.frame` when it is given. An optional column
// (ColumnRef::optional) the header does not name reads NaN in every row. Dwell lists have
// no rows of frames and are refused.
ColumnReading ReadTraceColumns(const std::string& path, const ImportOptions& options,
                               const std::vector<ColumnRef>& columns);
ColumnReading ReadTraceColumnsText(std::string_view text, const std::string& name, const ImportOptions& options,
                                   const std::vector<ColumnRef>& columns);
