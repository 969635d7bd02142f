// Reading the idealised traces other single-molecule tools write, into the molecules the
// import counts as it counts its own layouts (tracefile.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "import/importoptions.h"
#include "import/tracefile.h"

// A dwell of a .dwt file lasts a whole number of frames when its time in frames lies this close
// to one: the times are written in decimal milliseconds, rounded by the program that wrote them.
inline constexpr double kWholeFrameTolerance = 1e-6;

// A .dwt file: segments, each one molecule ("FILE, segment N", N from 1), each a header line
// and then lines of `class<TAB>dwell time in ms`. The value of a dwell is its class number (a
// whole number); its frames are its time over the frame time. The frame time is a segment
// header's "Sampling(ms): T" (any case, ':' or '='), or else `frameTime` (seconds); every
// segment of a file that gives one must give the same. The frame time the file gives, in
// seconds, goes into `frameTime` of the reading.
TraceReading ReadDwtText(std::string_view text, const std::string& name, std::optional<double> frameTime);
TraceReading ReadDwtFile(const std::string& path, std::optional<double> frameTime);

// Whether this build reads SMD JSON: it needs a JSON parser, which the Windows build has not.
bool ReadsSmd();

// An SMD JSON file, plain or gzip-compressed: an object whose "data" is an array of molecules
// ("FILE, molecule ID", by its "id", or its place in "data" from 1), each an object whose
// "values" is an array of rows, one per frame, each an array of numbers. The idealised value
// is the column the top-level "columns" names with a name holding "ideal" (any case), or else
// the last one. A syntax error names its line; others name the molecule and the frame.
TraceReading ReadSmdText(std::string_view text, const std::string& name);
TraceReading ReadSmdFile(const std::string& path);

// A binary .traces file of a camera's traces, as acquisition software writes them: a 32-bit
// count of frames F, a 16-bit count of traces T (each molecule's donor and then its acceptor, so
// twice the molecules), then the F x T 16-bit intensities frame by frame, each frame's traces in
// that order; every number signed and little-endian. The molecules are named "1", "2", ... in the
// file's order, with the frames 1 to F and the values donor, acceptor of each frame. A header
// that counts no frames, no traces or an odd number of them, or that counts more or fewer bytes
// than follow it, is refused before a value is read.
ColumnReading ReadTracesBinary(std::string_view bytes, const std::string& name);
ColumnReading ReadTracesBinaryFile(const std::string& path);

// Whether `path` names such a file: it ends in ".traces", in any case.
bool IsTracesBinaryPath(const std::string& path);

// Whether this build reads SMD HDF5: it needs HDF5's C library, which the Windows build has not.
bool ReadsHdf5();

// The most numbers an SMD HDF5 file's data may hold, molecules x frames x colours: a header
// that counts more is taken for a damaged one rather than read into memory.
inline constexpr unsigned long long kMostHdf5Values = 1ull << 30;

// An SMD HDF5 file of raw traces (the single-molecule dataset in HDF5): every group at the top
// of the file whose attribute "format" is the text "SMD" holds a dataset "data/raw" of numbers,
// molecules x frames x colours, the first colour each frame's donor intensity and the second its
// acceptor's. The molecules of such groups, in the order of the groups' names and then of the
// dataset's first index, are named "1", "2", ... with the frames 1 to F and the values donor,
// acceptor of each frame. A file with no such group, a group with no "data/raw", a dataset of
// another rank, of other than two colours, of no numbers or of a value that is not finite is
// refused with what it lacks and the layout read; a file that is not HDF5 or that HDF5 cannot
// read with what HDF5 found, HDF5's own report of it silenced.
ColumnReading ReadSmdHdf5File(const std::string& path);

// Whether `path` names such a file: it ends in ".hdf5" or ".h5", in any case.
bool IsHdf5Path(const std::string& path);

// The layout of a file, when the import is not told it: ".dwt" is dwt; ".json", ".json.gz" or
// a first byte '{' or gzip's are SMD; a first line of names (no row of numbers) holding "fret"
// and "mean" (any case) is the stacked export; so are rows of six numbers without a header
// that can be nothing else: the first column (the trace) whole from 1, never falling, the same
// on two rows in a row and changing at least once; the fifth (the state) whole from 1; the
// sixth (its mean) the same on every row of one trace and state. Anything else is one molecule
// per file. `start` is the file's first lines, kRecognisedLines of them or fewer.
inline constexpr std::size_t kRecognisedLines = 50;
TraceLayout RecogniseLayout(const std::string& path, std::string_view start);
