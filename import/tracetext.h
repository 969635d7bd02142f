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

// Splits one line (without its line end) into `fields`: blanks and tabs separate fields, and so
// does a comma or a semicolon, with or without blanks around it; two of them with nothing
// between leave an empty field, one at the end of the line none. A field in double quotes is
// what lies between them. A blank line has no fields.
void SplitFields(std::string_view line, std::vector<std::string_view>& fields);

// The lines of a text that hold fields, one after the other, numbered from 1 as an editor
// numbers them. Line ends are LF or CR LF; a UTF-8 byte-order mark at the start is no text.
class TraceLines {
 public:
  explicit TraceLines(std::string_view text);

  // Moves to the next line that holds fields; false at the end of the text.
  bool Next();
  std::size_t Number() const { return number_; }
  const std::vector<std::string_view>& Fields() const { return fields_; }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
  std::vector<std::string_view> fields_;
};
