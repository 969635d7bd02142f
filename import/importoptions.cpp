#include "import/importoptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "domain/analysis_types.h"
#include "platform/host.h"
#include "platform/system.h"

namespace {

// A column number larger than this is a mistake, not a table.
constexpr int kMaxColumn = 1000000;

struct OptionInfo {
  std::string_view name;
  bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {"--column", true},  {"--molecule", true}, {"--value", true}, {"--frame", true},  {"--length", true},
    {"--dwells", false}, {"--peaks", true},    {"--out", true},   {"--prefix", true},
    {"--states", true},  {"--layout", true},  {"--frame-time", true},
};

constexpr TraceLayout kLayouts[] = {TraceLayout::OnePerFile, TraceLayout::Table, TraceLayout::Dwells,
                                    TraceLayout::Dwt,        TraceLayout::Smd,   TraceLayout::Stacked};

// No camera takes a frame in less than a nanosecond or more than an hour.
constexpr double kShortestFrame = 1e-9;
constexpr double kLongestFrame = 3600;

bool IsOption(std::string_view word) { return word.size() > 2 && word.substr(0, 2) == "--"; }

const OptionInfo* FindOption(std::string_view name) {
  const auto found = std::find_if(std::begin(kOptions), std::end(kOptions),
                                  [&](const OptionInfo& option) { return option.name == name; });
  return found == std::end(kOptions) ? nullptr : found;
}

std::optional<int> WholeNumber(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The options as given, before the layout they make is checked.
struct Given {
  ImportOptions options;
  std::optional<ColumnRef> molecule, value, length;
  bool dwells = false;
  std::optional<TraceLayout> layout;  // as --layout names it
};

// Takes one option's value into `given`; a message when the value is not one the option takes.
std::optional<std::string> Apply(std::string_view name, const std::string& value, Given& given) {
  const std::string option(name);
  ImportOptions& options = given.options;
  if (name == "--peaks") {
    const auto peaks = WholeNumber(value);
    if (!peaks || *peaks < 1 || *peaks > kMaxPeaks)
      return option + " must be a whole number from 1 to " + std::to_string(kMaxPeaks) + ", not '" + value + "'";
    options.peaks = *peaks;
    return std::nullopt;
  }
  if (name == "--states") {
    std::string error;
    options.states = ParseStatesOption(option, value, error);
    return options.states ? std::nullopt : std::optional<std::string>(error);
  }
  if (name == "--out") {
    if (value.empty()) return option + ": the folder has no name";
    options.out = value;
    return std::nullopt;
  }
  if (name == "--prefix") {
    if (value.empty() || value.find('/') != std::string::npos)
      return option + " must be a name without '/', not '" + value + "'";
    options.prefix = value;
    return std::nullopt;
  }
  if (name == "--layout") {
    const auto* found = std::find_if(std::begin(kLayouts), std::end(kLayouts),
                                     [&](TraceLayout layout) { return LayoutName(layout) == value; });
    if (found == std::end(kLayouts))
      return option + " takes one-per-file, table, dwells, dwt, smd or stacked, not '" + value + "'";
    given.layout = *found;
    return std::nullopt;
  }
  if (name == "--frame-time") {
    double seconds = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || !std::isfinite(seconds) ||
        seconds < kShortestFrame || seconds > kLongestFrame)
      return option + " must be the seconds per frame, from 1e-9 to 3600, not '" + value + "'";
    options.frameTime = seconds;
    return std::nullopt;
  }
  std::string error;
  const std::optional<ColumnRef> read = ColumnOption(option, value, error);
  if (!read) return error;
  const ColumnRef& column = *read;
  if (name == "--column") options.column = column;
  if (name == "--frame") options.frame = column;
  if (name == "--molecule") given.molecule = column;
  if (name == "--value") given.value = column;
  if (name == "--length") given.length = column;
  return std::nullopt;
}

// The layout the options make, with the default columns of dwell lists; a message for options
// that do not go together.
std::optional<std::string> SettleLayout(Given& given) {
  ImportOptions& options = given.options;
  const auto numbered = [](const char* option, int number) { return ColumnRef{option, number, {}}; };
  if (given.layout && given.dwells && *given.layout != TraceLayout::Dwells)
    return "--dwells does not go with --layout " + std::string(LayoutName(*given.layout));
  if (given.layout == TraceLayout::Dwells) given.dwells = true;
  options.recognise = !given.layout && !given.dwells && !given.molecule && !given.value && !options.column;
  if (given.layout == TraceLayout::Dwt || given.layout == TraceLayout::Smd || given.layout == TraceLayout::Stacked) {
    // These files say where their values stand.
    if (options.column || options.frame || given.molecule || given.value || given.length)
      return "--layout " + std::string(LayoutName(*given.layout)) + " takes no columns";
    options.layout = *given.layout;
    return std::nullopt;
  }
  if (given.layout == TraceLayout::OnePerFile && (given.molecule || given.value || given.length))
    return "--layout one-per-file takes --column, not --molecule, --value or --length";
  if (given.dwells) {
    if (options.column || options.frame) return "--column and --frame do not go with --dwells";
    options.layout = TraceLayout::Dwells;
    options.molecule = given.molecule.value_or(numbered("--molecule", 1));
    options.value = given.value.value_or(numbered("--value", 2));
    options.length = given.length.value_or(numbered("--length", 3));
    return std::nullopt;
  }
  if (given.length) return "--length goes with --dwells";
  if (given.molecule || given.value) {
    if (!given.molecule || !given.value) return "a table needs both --molecule and --value";
    if (options.column) return "--column is for one molecule per file; a table takes --value";
    options.layout = TraceLayout::Table;
    options.molecule = *given.molecule;
    options.value = *given.value;
    return std::nullopt;
  }
  if (options.frame) return "--frame goes with --molecule and --value";
  if (given.layout == TraceLayout::Table) return "a table needs both --molecule and --value";
  return std::nullopt;
}

}  // namespace

std::string_view LayoutName(TraceLayout layout) {
  switch (layout) {
    case TraceLayout::OnePerFile:
      return "one-per-file";
    case TraceLayout::Table:
      return "table";
    case TraceLayout::Dwells:
      return "dwells";
    case TraceLayout::Dwt:
      return "dwt";
    case TraceLayout::Smd:
      return "smd";
    case TraceLayout::Stacked:
      return "stacked";
  }
  return "";
}

std::optional<ColumnRef> ColumnOption(const std::string& option, const std::string& value, std::string& error) {
  ColumnRef column{option, 0, {}};
  if (value.empty()) {
    error = option + ": name the column or give its number";
    return std::nullopt;
  }
  if (AllDigits(value)) {
    const auto number = WholeNumber(value);
    if (!number || *number < 1 || *number > kMaxColumn) {
      error = option + ": columns are numbered from 1";
      return std::nullopt;
    }
    column.number = *number;
  } else {
    column.name = value;
  }
  return column;
}

std::size_t ImportOptionWords(std::string_view word) {
  if (!IsOption(word)) return 0;
  if (word.find('=') != std::string_view::npos) return 1;
  const OptionInfo* option = FindOption(word);
  return option && option->takesValue ? 2 : 1;
}

std::optional<ImportArguments> ParseImportArguments(std::span<const std::string> words, std::string& error) {
  Given given;
  ImportArguments arguments;
  for (std::size_t k = 0; k < words.size(); ++k) {
    const std::string& word = words[k];
    if (!IsOption(word)) {
      arguments.paths.push_back(word);
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string_view name = std::string_view(word).substr(0, equals);
    const OptionInfo* option = FindOption(name);
    if (!option) {
      error = "unknown option '" + std::string(name) + "'";
      return std::nullopt;
    }
    if (!option->takesValue) {
      if (equals != std::string::npos) {
        error = std::string(name) + " takes no value";
        return std::nullopt;
      }
      given.dwells = true;
      continue;
    }
    if (equals == std::string::npos && k + 1 == words.size()) {
      error = std::string(name) + " needs a value";
      return std::nullopt;
    }
    const std::string value = equals == std::string::npos ? words[++k] : word.substr(equals + 1);
    if (auto why = Apply(name, value, given)) {
      error = *why;
      return std::nullopt;
    }
  }
  if (auto why = SettleLayout(given)) {
    error = *why;
    return std::nullopt;
  }
  arguments.options = std::move(given.options);
  return arguments;
}

namespace {

std::optional<std::string> ImportWordsRefused(const std::vector<std::string>& words) {
  std::string error;
  if (!ParseImportArguments(words, error)) return error;
  return std::nullopt;
}

// A column of the layout `layout`; `defaultValue` is the column the import takes without it.
OptionField ColumnField(const char* name, const char* option, const char* label, const char* layout,
                        std::string defaultValue, const char* hint) {
  return {.name = name,
          .option = option,
          .label = label,
          .kind = OptionKind::Text,
          .defaultValue = std::move(defaultValue),
          .hint = hint,
          .shownWith = "layout",
          .shownFor = {layout}};
}

OptionsForm MakeImportForm() {
  constexpr const char* kValueHint = "The idealised value: a column number from 1, or its name in the header line.";
  constexpr const char* kColumnHint = "A column number from 1, or the column's name in the header line.";
  OptionsForm form;
  form.title = "Import options";
  form.check = ImportWordsRefused;
  // A table is told by its columns, not by a word of its own.
  form.fields.push_back({.name = "layout",
                         .label = "Layout",
                         .kind = OptionKind::Choice,
                         .choices = {{"one-per-file",
                                      "One molecule per file, a row per frame (or another tool's file, recognised)", ""},
                                     {"table", "One table of many molecules, a row per frame", ""},
                                     {"dwells", "Dwell lists: molecule, level, frames", "--dwells"},
                                     {"dwt", "Dwell files (.dwt): class and dwell time", "--layout=dwt"},
                                     {"smd", "SMD JSON (.json, .json.gz)", "--layout=smd"},
                                     {"stacked", "Stacked HMM export: trace, donor, acceptor, FRET, state, mean",
                                      "--layout=stacked"}},
                         .defaultValue = "one-per-file",
                         .hint = "How the files hold the idealised traces."});
  OptionField value = ColumnField("column", "--column", "Value column", "one-per-file", "", kValueHint);
  value.blank = "the last column";
  form.fields.push_back(value);

  // A table names both of its columns; dwell lists have columns of their own by default.
  OptionField tableMolecule = ColumnField("table-molecule", "--molecule", "Molecule column", "table", "",
                                          "The column that tells the molecules apart: a number from 1 or a name.");
  OptionField tableValue = ColumnField("table-value", "--value", "Value column", "table", "", kValueHint);
  for (OptionField* needed : {&tableMolecule, &tableValue}) {
    needed->required = true;
    needed->blank = "needed";
  }
  OptionField frame = ColumnField("frame", "--frame", "Frame column", "table", "",
                                  "Orders the rows of each molecule: a column number from 1 or a name.");
  frame.blank = "the rows in file order";
  form.fields.push_back(tableMolecule);
  form.fields.push_back(tableValue);
  form.fields.push_back(frame);
  form.fields.push_back(ColumnField("dwell-molecule", "--molecule", "Molecule column", "dwells", "1", kColumnHint));
  form.fields.push_back(ColumnField("dwell-value", "--value", "Level column", "dwells", "2", kColumnHint));
  form.fields.push_back(ColumnField("length", "--length", "Dwell length column", "dwells", "3",
                                    "The dwell's length in frames: a column number from 1 or a name."));

  form.fields.push_back({.name = "frame-time",
                         .option = "--frame-time",
                         .label = "Frame time (s)",
                         .kind = OptionKind::Number,
                         .blank = "as the file holds it",
                         .hint = "Seconds per frame: turns dwell times into frames and becomes the exposure; "
                                 "a file that holds its own wins."});
  form.fields.push_back({.name = "peaks",
                         .option = "--peaks",
                         .label = "Peaks per report (K)",
                         .kind = OptionKind::WholeNumber,
                         .blank = "as in \"Peaks in report\"",
                         .hint = "K x K records per report; a molecule with more than K levels is skipped.",
                         .minimum = 1,
                         .maximum = kMaxPeaks});
  form.fields.push_back({.name = "states",
                         .option = "--states",
                         .label = "States (bounds or auto)",
                         .blank = "each level a state",
                         .hint = "Levels merged into states: increasing upper bounds such as 0.3,0.6 (a last state "
                                 "above them), or auto to find the states from the levels."});
  form.fields.push_back({.name = "out",
                         .option = "--out",
                         .label = "Folder for the reports",
                         .blank = "a new folder beside the first file",
                         .hint = "A new or empty folder; the reports are written there and loaded."});
  form.fields.push_back({.name = "prefix",
                         .option = "--prefix",
                         .label = "Report name prefix",
                         .defaultValue = "molecule",
                         .hint = "The reports are called PREFIX_0001.dat and so on."});
  return form;
}

}  // namespace

const OptionsForm& ImportOptionsForm() {
  static const OptionsForm form = MakeImportForm();
  return form;
}
