// The options of an import of idealised traces, as `varnel-import` and the script command
// `import` take them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/states.h"

struct OptionsForm;

// K, the slots of a report, when nothing else gives it.
inline constexpr int kDefaultImportPeaks = 10;

// A column of a trace file: a 1-based number, or a name in the header line above the rows.
struct ColumnRef {
  std::string option;  // the option that named it, for messages: "--value"
  int number = 0;      // 0 when named
  std::string name;
  // A column named, not numbered, that a file may lack: then every row reads NaN for it.
  bool optional = false;
};

enum class TraceLayout {
  OnePerFile,  // each file one molecule, a row per frame
  Table,       // many molecules in one table, a row per frame
  Dwells,      // rows of molecule, level value and dwell length in frames
  // Other tools' files, read as import/peerformats.h describes them.
  Dwt,      // segments of class and dwell time in ms
  Smd,      // SMD JSON, plain or gzip
  Stacked,  // rows of trace no., donor, acceptor, FRET, state no., state mean
};

// The word `--layout` takes for `layout`: "one-per-file", "table", "dwells", "dwt", "smd", "stacked".
std::string_view LayoutName(TraceLayout layout);

// The column that `value`, given to `option`, names: a number from 1 or a header name;
// nothing, and a message in `error`, for an empty value or a number out of range.
std::optional<ColumnRef> ColumnOption(const std::string& option, const std::string& value, std::string& error);

struct ImportOptions {
  TraceLayout layout = TraceLayout::OnePerFile;
  std::optional<ColumnRef> column;  // one per file: the idealised value; the last column when not given
  ColumnRef molecule;               // table and dwells
  ColumnRef value;
  std::optional<ColumnRef> frame;  // table: orders the rows of a molecule
  ColumnRef length;                // dwells
  std::optional<int> peaks;        // K; the caller's own default when not given
  std::optional<StatesOption> states;  // levels merged into states; each level its own without it
  std::optional<std::string> out;  // the folder for the reports
  std::string prefix = "molecule";
  // Whether each file's layout is recognised (peerformats.h) in place of `layout`: so the
  // arguments say when they name no layout.
  bool recognise = false;
  std::optional<double> frameTime;  // seconds per frame; a file that holds its own wins
};

struct ImportArguments {
  ImportOptions options;
  std::vector<std::string> paths;  // the words that are no options, in order
};

// Reads option words (`--peaks 3` or `--peaks=3`) and paths in any order; nothing, and a
// message in `error`, for an unknown option, a missing or bad value, or options that do not go
// together.
std::optional<ImportArguments> ParseImportArguments(std::span<const std::string> words, std::string& error);

// How many words, from `word` on, an option spans: 2 for an option whose value follows it, 1
// for one that takes none or carries it after '=', 0 for a word that is no option.
std::size_t ImportOptionWords(std::string_view word);

// The same options as a form for a person in the window: the layout and its columns, the frame
// time, K, the folder and the report names. The words it makes are words ParseImportArguments takes.
const OptionsForm& ImportOptionsForm();
