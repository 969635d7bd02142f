// The text of a trace file as lines of fields: separators, numbers, line ends.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class FieldKind {
  Number,     // a finite number
  NotFinite,  // written as a number, but NaN, infinite or beyond the range of a double
  Text,
};

// What `field` holds; a finite number goes into `value`. A number is decimal notation with an
// optional sign and exponent, as std::from_chars reads it.
FieldKind ReadField(std::string_view field, double& value);

// Whether `field` is a number by its look alone: [+-] digits [. digits] [(e|E) [+-] digits].
// ReadField takes every such field for a number (finite or not); it takes others too ("1.",
// ".5", "nan"), so false says nothing. Far quicker than reading the value.
bool IsPlainDecimal(std::string_view field);

// Whether `field` is a number written with a decimal comma: [+-] digits , digits [(e|E) [+-] digits].
bool IsDecimalComma(std::string_view field);

// How the fields of a file's lines are separated.
enum class Separator {
  Any,        // blanks, tabs, commas and semicolons alike, commas and semicolons between blanks
  Tab,        // a tab alone; blanks around a field are no part of it, blanks inside are
  Comma,      // the same with a comma
  Semicolon,  // and with a semicolon
  Blank,      // blanks and tabs alone: a comma is part of a field
};

// The separator of a file, known from its first row and the header line above it (empty when
// there is none): a comma or else a semicolon outside quotes in the row; a tab in both the row
// and the header; otherwise any. A header thus splits as its rows do, and a name with blanks in
// a file of commas, semicolons or tabs stays one name.
Separator SeparatorOf(std::string_view row, std::string_view header);

// Splits one line (without its line end) into `fields` at `separator`: two separators with
// nothing between leave an empty field, one at the end of the line none. A separator inside
// double quotes separates nothing, and a field in double quotes is what lies between them. A
// blank line has no fields.
void SplitFields(std::string_view line, Separator separator, std::vector<std::string_view>& fields);

// The first field of `line` that is a number with a decimal comma, when the line is a row of
// such numbers: split at its semicolons, else at its tabs, else at its blanks, every field is a
// number or a decimal-comma number, but for at most `textFields` fields of any text (a
// molecule's name). Empty when the line is no such row.
std::string_view DecimalCommaIn(std::string_view line, std::size_t textFields);

// No line of a trace file is longer: rows are a few numbers, headers a few names. A longer one
// is a file of another kind, or one whose lines end in something other than LF.
inline constexpr std::size_t kLongestTraceLine = std::size_t{1} << 20;

// Fills up to `size` bytes at `data` with the next bytes of a text; how many (0 at its end), or
// -1 when it cannot be read, with the reason in errno.
using ReadBytes = std::function<long(char* data, std::size_t size)>;

// The lines of a text that hold fields, one after the other, numbered from 1 as an editor
// numbers them. Line ends are LF or CR LF; a UTF-8 byte-order mark at the start is no text.
// A text read piece by piece holds only its current line and the piece after it in memory.
class TraceLines {
 public:
  explicit TraceLines(std::string_view text);
  explicit TraceLines(ReadBytes read);

  // Moves to the next line that holds fields; false at the end of the text, or when the text
  // cannot be read on (then Trouble says why).
  bool Next();
  std::size_t Number() const { return number_; }
  std::string_view Line() const { return line_; }
  const std::vector<std::string_view>& Fields() const { return fields_; }

  // Why the last Next stopped before the end: "" when it did not. TroubleLine is the line it
  // stopped in, 0 when the text could not be read on.
  const std::string& Trouble() const { return trouble_; }
  std::size_t TroubleLine() const { return troubleLine_; }

  // Splits the line it is at, and every later one, at `separator` (at first Any).
  void SplitAt(Separator separator);

 private:
  // Reads more of the text after what is unread; false at its end or on trouble.
  bool Refill();
  std::string_view Unread() const { return {base_ + begin_, end_ - begin_}; }

  ReadBytes read_;         // empty for a text held whole
  std::string storage_;    // the piece of a text read piece by piece
  const char* base_ = nullptr;
  std::size_t begin_ = 0;  // the unread bytes lie in [begin_, end_)
  std::size_t end_ = 0;
  std::size_t searched_ = 0;  // how many unread bytes are known to hold no line end
  bool atEnd_ = false;
  bool started_ = false;
  std::string trouble_;
  std::size_t troubleLine_ = 0;
  std::size_t number_ = 0;
  std::string_view line_;
  Separator separator_ = Separator::Any;
  std::vector<std::string_view> fields_;
};

// Opens the file at `path` without waiting (a pipe without a writer would hold an ordinary open
// for ever) and gives `read` its lines, read piece by piece as they are taken apart, so that
// what stays in memory is what `read` keeps. Why it could not be opened ("FILE: is not a file",
// "FILE: cannot be opened: WHY"), or "" once `read` has run.
std::string ReadLinesOfFile(const std::string& path, const std::function<void(TraceLines)>& read);
