#include "import/tracefile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "import/peerformats.h"
#include "import/tracetext.h"
#include "platform/system.h"

namespace {

// No molecule stays this many frames in one dwell; a longer one is a mistake in the list.
constexpr double kMostDwellFrames = 1e9;
// A message quotes at most this much of a field.
constexpr std::size_t kQuotedBytes = 40;

// Ends the reading of a file with a message.
struct TraceError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& why) { throw TraceError{where + ": " + why}; }

std::string At(const std::string& name, std::size_t line) { return name + ":" + std::to_string(line); }

std::string Quoted(std::string_view field) {
  std::string text = "\"";
  for (const char c : field.substr(0, kQuotedBytes)) text += static_cast<unsigned char>(c) < ' ' ? '?' : c;
  return text + (field.size() > kQuotedBytes ? "...\"" : "\"");
}

// A decimal comma read as a separator would shift every value into another column.
std::string DecimalCommaWhy(std::string_view field) {
  std::string pointed(field);
  std::replace(pointed.begin(), pointed.end(), ',', '.');
  return Quoted(field) + " is written with a decimal comma; write numbers with a decimal point, as " + pointed +
         ", and separate the columns by tabs, semicolons, commas or blanks";
}

std::string NumberText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Blanks at the ends of a name, in quotes in the header or in an option, are no part of it.
std::string_view Trimmed(std::string_view name) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!name.empty() && blank(name.front())) name.remove_prefix(1);
  while (!name.empty() && blank(name.back())) name.remove_suffix(1);
  return name;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trimmed(a);
  b = Trimmed(b);
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// The header above the rows, and how many fields every row has.
struct Shape {
  std::vector<std::string> names;  // the fields of the last header line, split as the rows are
  std::size_t namesLine = 0;       // its number; 0 without a header
  std::size_t columns = 0;
  std::size_t firstRow = 0;  // the line number of the first row
};

// A header may give a column's unit after its name. Seconds, the unit of every time here, go
// without saying: "Time (s)" and "time [s]" are the column "time"; "Time (ms)" is not.
std::string_view WithoutSeconds(std::string_view name) {
  name = Trimmed(name);
  for (const std::string_view unit : {std::string_view("(s)"), std::string_view("[s]")})
    if (name.size() > unit.size() && name.ends_with(unit)) return Trimmed(name.substr(0, name.size() - unit.size()));
  return name;
}

// The columns of `names` that are `name`, first to last.
std::vector<std::size_t> NamedColumns(const std::vector<std::string>& names, const std::string& name) {
  std::vector<std::size_t> found;
  for (std::size_t k = 0; k < names.size(); ++k)
    if (SameName(names[k], name) || SameName(WithoutSeconds(names[k]), name)) found.push_back(k);
  return found;
}

std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + Quoted(name);
  return list;
}

// The 0-based index of column `ref` in the rows.
std::size_t ColumnIndex(const ColumnRef& ref, const Shape& shape, const std::string& file) {
  if (ref.number > 0) {
    const auto index = static_cast<std::size_t>(ref.number - 1);
    if (index >= shape.columns)
      Fail(At(file, shape.firstRow), ref.option + " " + std::to_string(ref.number) + ", but the rows have " +
                                         std::to_string(shape.columns) + " columns");
    return index;
  }
  if (shape.namesLine == 0) Fail(file, "no header line names the columns; give " + ref.option + " as a column number");
  // A header of more or fewer names than the rows have columns is split otherwise than they
  // are: a name would stand over another column's values, or be missed for a shifted one.
  if (shape.names.size() != shape.columns)
    Fail(At(file, shape.firstRow), "the header line names " + std::to_string(shape.names.size()) +
                                       (shape.names.size() == 1 ? " column" : " columns") + ", but the rows have " +
                                       std::to_string(shape.columns) + ": " + NameList(shape.names));
  const std::string header = At(file, shape.namesLine);
  const std::vector<std::size_t> found = NamedColumns(shape.names, ref.name);
  if (found.empty())
    Fail(header, "no column named " + Quoted(ref.name) + " in this header line: " + NameList(shape.names));
  if (found.size() > 1)
    Fail(header, "more than one column named " + Quoted(ref.name) + " in this header line: " + NameList(shape.names));
  return found.front();
}

// The index of column `ref`, or nothing for an optional column the header does not name.
std::optional<std::size_t> ColumnIndexIfThere(const ColumnRef& ref, const Shape& shape, const std::string& file) {
  if (ref.optional && ref.number == 0 &&
      (shape.namesLine == 0 || shape.names.size() != shape.columns || NamedColumns(shape.names, ref.name).empty()))
    return std::nullopt;
  return ColumnIndex(ref, shape, file);
}

// The column whose fields may be text: the molecule's name, in the layouts that have one.
std::optional<std::size_t> TextColumn(const ImportOptions& options, const std::vector<std::string>& names) {
  if (options.layout == TraceLayout::OnePerFile) return std::nullopt;
  if (options.molecule.number > 0) return static_cast<std::size_t>(options.molecule.number - 1);
  // Two columns of the name are refused once the rows are known; until then the first is taken.
  const std::vector<std::size_t> found = NamedColumns(names, options.molecule.name);
  if (found.empty()) return std::nullopt;
  return found.front();
}

bool IsNumber(std::string_view field) {
  double ignored = 0;
  return IsPlainDecimal(field) || ReadField(field, ignored) != FieldKind::Text;
}

bool IsRow(const std::vector<std::string_view>& fields, std::optional<std::size_t> textColumn) {
  for (std::size_t k = 0; k < fields.size(); ++k)
    if (k != textColumn && !IsNumber(fields[k])) return false;
  return true;
}

// The rows of one file: every row checked, its numbers read.
class Rows {
 public:
  Rows(TraceLines lines, std::string file, const ImportOptions& options)
      : lines_(std::move(lines)), file_(std::move(file)) {
    bool anyLine = false;
    // The header line is split only once the first row below it says how; a copy, as the
    // lines below take the place of its text.
    std::string header;
    // A table's or dwell list's molecule names are the one column of text in a row.
    textFields_ = options.layout == TraceLayout::OnePerFile ? 0 : 1;
    for (;;) {
      if (!Advance()) Fail(file_, anyLine ? "no rows of numbers below the header" : "the file is empty");
      anyLine = true;
      separator_ = SeparatorOf(lines_.Line(), header);
      lines_.SplitAt(separator_);
      shape_.names.clear();
      if (shape_.namesLine != 0) {
        std::vector<std::string_view> names;
        SplitFields(header, separator_, names);
        for (const std::string_view name : names) shape_.names.emplace_back(Trimmed(name));
      }
      textColumn_ = TextColumn(options, shape_.names);
      const bool row = IsRow(lines_.Fields(), textColumn_);
      // Split at its decimal commas, a row of semicolons or tabs may still look like one.
      const std::string_view comma =
          !row || SplitAtDecimalCommas() ? DecimalCommaIn(lines_.Line(), textFields_) : std::string_view();
      if (!comma.empty()) Fail(Where(), DecimalCommaWhy(comma));
      if (row) break;
      header.assign(lines_.Line());
      shape_.namesLine = lines_.Number();
    }
    shape_.columns = lines_.Fields().size();
    shape_.firstRow = lines_.Number();
    roles_.assign(shape_.columns, Role::Number);
    if (textColumn_ && *textColumn_ < shape_.columns) roles_[*textColumn_] = Role::Text;
    values_.assign(shape_.columns, 0.0);
  }

  const Shape& GetShape() const { return shape_; }
  const std::string& File() const { return file_; }

  // The columns whose values the layout takes: they must be finite numbers.
  void Take(std::initializer_list<std::size_t> columns) {
    for (const std::size_t column : columns) roles_[column] = Role::Value;
  }

  // Checks the row the lines are at and takes its values, then moves on; false when there are
  // no more rows.
  bool Next() {
    if (done_) return false;
    const auto& fields = lines_.Fields();
    if (fields.size() != shape_.columns)
      Fail(Where(), std::to_string(fields.size()) + (fields.size() == 1 ? " value" : " values") +
                        " where the rows above have " + std::to_string(shape_.columns));
    for (std::size_t k = 0; k < fields.size(); ++k) {
      if (roles_[k] == Role::Text || (roles_[k] == Role::Number && IsNumber(fields[k]))) continue;
      const FieldKind kind = ReadField(fields[k], values_[k]);
      if (kind == FieldKind::Text) {
        const std::string_view comma = IsDecimalComma(fields[k]) ? fields[k]
                                       : SplitAtDecimalCommas()  ? DecimalCommaIn(lines_.Line(), textFields_)
                                                                 : std::string_view();
        if (!comma.empty()) Fail(Where(), DecimalCommaWhy(comma));
      }
      if (kind == FieldKind::Text)
        Fail(Where(), Quoted(fields[k]) + " where a number belongs (column " + std::to_string(k + 1) + ")");
      if (kind == FieldKind::NotFinite && roles_[k] == Role::Value)
        Fail(Where(), Quoted(fields[k]) + " is not a finite number (column " + std::to_string(k + 1) + ")");
    }
    line_ = lines_.Number();
    // A copy: the fields of the next line take the place of these.
    if (textColumn_) text_.assign(fields[*textColumn_]);
    done_ = !Advance();
    return true;
  }

  // Of the row Next took last.
  double Value(std::size_t column) const { return values_[column]; }
  const std::string& Text() const { return text_; }
  std::size_t RowLine() const { return line_; }
  std::string RowWhere() const { return At(file_, line_); }

 private:
  std::string Where() const { return At(file_, lines_.Number()); }

  // Whether the line may be split at decimal commas: split at commas while it holds semicolons
  // or tabs, which would then be the separators.
  bool SplitAtDecimalCommas() const {
    return separator_ == Separator::Comma && lines_.Line().find_first_of(";\t") != std::string_view::npos;
  }

  // The next line of fields; false at the end of the file. A file that cannot be read on, or
  // a line too long for a trace, ends the reading.
  bool Advance() {
    if (lines_.Next()) return true;
    if (!lines_.Trouble().empty())
      Fail(lines_.TroubleLine() > 0 ? At(file_, lines_.TroubleLine()) : file_, lines_.Trouble());
    return false;
  }

  TraceLines lines_;
  std::string file_;
  Shape shape_;
  std::optional<std::size_t> textColumn_;
  Separator separator_ = Separator::Any;
  std::size_t textFields_ = 0;  // fields of a row that may be text
  // What each column must hold: a molecule's name (any text), a number, or a finite number
  // that the layout reads.
  enum class Role { Text, Number, Value };
  std::vector<Role> roles_;
  std::vector<double> values_;
  std::string text_;
  std::size_t line_ = 0;
  bool done_ = false;
};

std::vector<Molecule> OneMolecule(Rows& rows, const ImportOptions& options) {
  const Shape& shape = rows.GetShape();
  const std::size_t value = options.column ? ColumnIndex(*options.column, shape, rows.File()) : shape.columns - 1;
  Molecule molecule{rows.File(), {}};
  rows.Take({value});
  while (rows.Next()) AppendFrames(molecule.dwells, rows.Value(value));
  return {std::move(molecule)};
}

// The molecules of a table or a dwell list, each under its name, in the order they appear.
class MoleculesByName {
 public:
  explicit MoleculesByName(std::string file) : file_(std::move(file)) {}

  // The molecule of this name, new when it has not appeared before.
  std::size_t IndexOf(const std::string& name) {
    if (!molecules_.empty() && name == lastName_) return last_;
    const auto [at, added] = index_.try_emplace(name, molecules_.size());
    if (added) molecules_.push_back({file_ + ", molecule " + name, {}});
    lastName_ = name;
    last_ = at->second;
    return last_;
  }
  Molecule& operator[](std::size_t k) { return molecules_[k]; }
  std::size_t size() const { return molecules_.size(); }
  std::vector<Molecule> Take() { return std::move(molecules_); }

 private:
  std::string file_;
  std::vector<Molecule> molecules_;
  std::unordered_map<std::string, std::size_t> index_;
  std::string lastName_;
  std::size_t last_ = 0;
};

struct FrameRow {
  double frame;
  double value;
  std::size_t line;
};

// Each molecule's rows in the order of their frame numbers, which must differ.
void AppendInFrameOrder(MoleculesByName& molecules, std::vector<std::vector<FrameRow>>& rows, const std::string& file) {
  for (std::size_t m = 0; m < rows.size(); ++m) {
    std::vector<FrameRow>& frames = rows[m];
    std::stable_sort(frames.begin(), frames.end(),
                     [](const FrameRow& a, const FrameRow& b) { return a.frame < b.frame; });
    for (std::size_t k = 0; k < frames.size(); ++k) {
      if (k > 0 && frames[k].frame == frames[k - 1].frame) {
        const auto [first, second] = std::minmax(frames[k - 1].line, frames[k].line);
        Fail(At(file, second), "the frame of line " + std::to_string(first) + " again, for the same molecule");
      }
      AppendFrames(molecules[m].dwells, frames[k].value);
    }
  }
}

std::vector<Molecule> TableMolecules(Rows& rows, const ImportOptions& options) {
  const Shape& shape = rows.GetShape();
  // The names are the rows' text column; this only checks that it is there.
  ColumnIndex(options.molecule, shape, rows.File());
  const std::size_t value = ColumnIndex(options.value, shape, rows.File());
  const bool byFrame = options.frame.has_value();
  const std::size_t frame = byFrame ? ColumnIndex(*options.frame, shape, rows.File()) : value;
  MoleculesByName molecules(rows.File());
  std::vector<std::vector<FrameRow>> frameRows;
  rows.Take({value, frame});
  while (rows.Next()) {
    const std::size_t m = molecules.IndexOf(rows.Text());
    if (!byFrame) {
      AppendFrames(molecules[m].dwells, rows.Value(value));
      continue;
    }
    frameRows.resize(molecules.size());
    frameRows[m].push_back({rows.Value(frame), rows.Value(value), rows.RowLine()});
  }
  if (byFrame) AppendInFrameOrder(molecules, frameRows, rows.File());
  return molecules.Take();
}

std::vector<Molecule> DwellMolecules(Rows& rows, const ImportOptions& options) {
  const Shape& shape = rows.GetShape();
  ColumnIndex(options.molecule, shape, rows.File());  // the rows' text column, as in a table
  const std::size_t value = ColumnIndex(options.value, shape, rows.File());
  const std::size_t length = ColumnIndex(options.length, shape, rows.File());
  MoleculesByName molecules(rows.File());
  rows.Take({value, length});
  while (rows.Next()) {
    const double frames = rows.Value(length);
    if (!(frames >= 1 && frames <= kMostDwellFrames &&
          frames == static_cast<double>(static_cast<std::int64_t>(frames))))
      Fail(rows.RowWhere(), "a dwell lasts a whole number of frames from 1 to 1e9, not " + NumberText(frames) +
                                " (column " + std::to_string(length + 1) + ")");
    AppendFrames(molecules[molecules.IndexOf(rows.Text())].dwells, rows.Value(value),
                 static_cast<std::int64_t>(frames));
  }
  return molecules.Take();
}

// The stacked export's columns: trace no., donor, acceptor, FRET, state no., state mean.
constexpr int kStackedColumns = 6;

TraceReading ReadTraceLines(TraceLines lines, const std::string& name, const ImportOptions& options) {
  try {
    Rows rows(std::move(lines), name, options);
    switch (options.layout) {
      case TraceLayout::Stacked:
        if (rows.GetShape().columns != kStackedColumns)
          Fail(At(name, rows.GetShape().firstRow), "a stacked export has 6 columns, not " +
                                                       std::to_string(rows.GetShape().columns));
        return {TableMolecules(rows, options), {}, TraceLayout::Stacked, {}};
      case TraceLayout::Dwt:
      case TraceLayout::Smd:
        break;
      case TraceLayout::OnePerFile:
        return {OneMolecule(rows, options), {}};
      case TraceLayout::Table:
        return {TableMolecules(rows, options), {}};
      case TraceLayout::Dwells:
        return {DwellMolecules(rows, options), {}};
    }
    return {};
  } catch (const TraceError& error) {
    return {{}, error.message};
  }
}

// `options` for a file of `layout`: the stacked export's columns are its own.
ImportOptions LaidOut(const ImportOptions& options, TraceLayout layout) {
  ImportOptions read = options;
  read.layout = layout;
  if (layout == TraceLayout::Stacked) {
    read.molecule = {"--layout stacked", 1, {}};
    read.value = {"--layout stacked", kStackedColumns, {}};
    read.frame.reset();
  }
  return read;
}

// The first line of the file at `path`, for its layout to be recognised; nothing when it cannot
// be read (the reading then says why).
std::string StartOf(const std::string& path) {
  std::string start;
  ReadLinesOfFile(path, [&](TraceLines lines) {
    for (std::size_t k = 0; k < kRecognisedLines && lines.Next(); ++k) (start += lines.Line()) += '\n';
  });
  return start;
}

}  // namespace

TraceReading ReadTraceText(std::string_view text, const std::string& name, const ImportOptions& options) {
  return ReadTraceLines(TraceLines(text), name, LaidOut(options, options.layout));
}

namespace {

// The rows of `molecule`, read from the lines `lines`, `width` values each, in the order of their
// frames, which must differ.
void SortByFrame(ColumnMolecule& molecule, const std::vector<std::size_t>& lines, std::size_t width,
                 const std::string& file) {
  std::vector<std::size_t> order(molecule.frames.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return molecule.frames[a] < molecule.frames[b]; });
  ColumnMolecule sorted{molecule.source, molecule.name, {}, {}};
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (k > 0 && molecule.frames[order[k]] == molecule.frames[order[k - 1]]) {
      const auto [first, second] = std::minmax(lines[order[k - 1]], lines[order[k]]);
      Fail(At(file, second), "the frame of line " + std::to_string(first) + " again, for the same molecule");
    }
    sorted.frames.push_back(molecule.frames[order[k]]);
    const auto row = molecule.values.begin() + static_cast<std::ptrdiff_t>(order[k] * width);
    sorted.values.insert(sorted.values.end(), row, row + static_cast<std::ptrdiff_t>(width));
  }
  molecule = std::move(sorted);
}

// The molecules of the rows of `rows`, each with the values of `columns`.
std::vector<ColumnMolecule> ColumnMolecules(Rows& rows, const ImportOptions& options,
                                            const std::vector<ColumnRef>& columns) {
  const Shape& shape = rows.GetShape();
  const bool table = options.layout == TraceLayout::Table;
  if (table) ColumnIndex(options.molecule, shape, rows.File());  // the rows' text column
  std::vector<std::optional<std::size_t>> indices;
  for (const ColumnRef& column : columns) {
    indices.push_back(ColumnIndexIfThere(column, shape, rows.File()));
    if (indices.back()) rows.Take({*indices.back()});
  }
  const bool byFrame = table && options.frame.has_value();
  const std::size_t frame = byFrame ? ColumnIndex(*options.frame, shape, rows.File()) : 0;
  if (byFrame) rows.Take({frame});
  std::vector<ColumnMolecule> molecules;
  std::vector<std::vector<std::size_t>> lines;  // of each molecule's rows, for a frame seen twice
  std::unordered_map<std::string, std::size_t> index;
  while (rows.Next()) {
    const std::string name = table ? rows.Text() : std::string();
    const auto [at, added] = index.try_emplace(name, molecules.size());
    if (added) {
      molecules.push_back({table ? rows.File() + ", molecule " + name : rows.File(), name, {}, {}});
      lines.emplace_back();
    }
    ColumnMolecule& molecule = molecules[at->second];
    molecule.frames.push_back(byFrame ? rows.Value(frame) : static_cast<double>(molecule.frames.size() + 1));
    for (const std::optional<std::size_t> column : indices)
      molecule.values.push_back(column ? rows.Value(*column) : std::numeric_limits<double>::quiet_NaN());
    if (byFrame) lines[at->second].push_back(rows.RowLine());
  }
  if (byFrame)
    for (std::size_t m = 0; m < molecules.size(); ++m) SortByFrame(molecules[m], lines[m], indices.size(), rows.File());
  return molecules;
}

ColumnReading ReadColumnLines(TraceLines lines, const std::string& name, const ImportOptions& options,
                              const std::vector<ColumnRef>& columns) {
  if (options.layout == TraceLayout::Dwells || options.layout == TraceLayout::Dwt)
    return {{}, name + ": dwell lists hold no frames to read"};
  if (options.layout == TraceLayout::Smd || options.layout == TraceLayout::Stacked)
    return {{}, name + ": only the idealised values of this layout are read"};
  try {
    Rows rows(std::move(lines), name, options);
    return {ColumnMolecules(rows, options, columns), {}};
  } catch (const TraceError& error) {
    return {{}, error.message};
  }
}

// What `read` makes of the lines of the file at `path`; `Reading` says why it cannot be opened.
template <class Reading, class Read>
Reading ReadTraceLinesOf(const std::string& path, Read read) {
  Reading reading;
  if (std::string error = ReadLinesOfFile(path, [&](TraceLines lines) { reading = read(std::move(lines)); });
      !error.empty())
    reading.error = std::move(error);
  return reading;
}

}  // namespace

TraceReading ReadTraceFile(const std::string& path, const ImportOptions& options) {
  if (IsTracesBinaryPath(path))
    return {{}, path + ": a .traces file holds a camera's raw donor and acceptor intensities, not idealised traces: "
                       "idealise it first (varnel-idealise, or the command idealise)"};
  if (IsHdf5Path(path))
    return {{}, path + ": an SMD HDF5 file holds raw donor and acceptor intensities, not idealised traces: "
                       "idealise it first (varnel-idealise, or the command idealise)"};
  const TraceLayout layout = options.recognise ? RecogniseLayout(path, StartOf(path)) : options.layout;
  if (layout == TraceLayout::Dwt) return ReadDwtFile(path, options.frameTime);
  if (layout == TraceLayout::Smd) return ReadSmdFile(path);
  const ImportOptions read = LaidOut(options, layout);
  TraceReading reading = ReadTraceLinesOf<TraceReading>(
      path, [&](TraceLines lines) { return ReadTraceLines(std::move(lines), path, read); });
  reading.layout = layout;
  return reading;
}

ColumnReading ReadTraceColumns(const std::string& path, const ImportOptions& options,
                               const std::vector<ColumnRef>& columns) {
  return ReadTraceLinesOf<ColumnReading>(
      path, [&](TraceLines lines) { return ReadColumnLines(std::move(lines), path, options, columns); });
}

ColumnReading ReadTraceColumnsText(std::string_view text, const std::string& name, const ImportOptions& options,
                                   const std::vector<ColumnRef>& columns) {
  return ReadColumnLines(TraceLines(text), name, options, columns);
}
