// The text of a trace file as lines of fields: separators, numbers, line ends.
#pragma once

#include <cstddef>
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

// How the fields of a file's lines are separated.
enum class Separator {
  Any,        // blanks, tabs, commas and semicolons alike, commas and semicolons between blanks
  Tab,        // a tab alone; blanks around a field are no part of it, blanks inside are
  Comma,      // the same with a comma
  Semicolon,  // and with a semicolon
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

// The lines of a text that hold fields, one after the other, numbered from 1 as an editor
// numbers them. Line ends are LF or CR LF; a UTF-8 byte-order mark at the start is no text.
class TraceLines {
 public:
  explicit TraceLines(std::string_view text);

  // Moves to the next line that holds fields; false at the end of the text.
  bool Next();
  std::size_t Number() const { return number_; }
  std::string_view Line() const { return line_; }
  const std::vector<std::string_view>& Fields() const { return fields_; }

  // Splits the line it is at, and every later one, at `separator` (at first Any).
  void SplitAt(Separator separator);

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
  std::string_view line_;
  Separator separator_ = Separator::Any;
  std::vector<std::string_view> fields_;
};
