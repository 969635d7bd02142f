#include "import/tracetext.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What a byte is to the fields of a line: blanks, tabs and the CR of a CR LF line end separate
// fields, and so do commas and semicolons, which may stand between blanks.
enum CharClass : unsigned char { kFieldByte, kBlank, kSeparator };

constexpr std::array<CharClass, 256> kCharClasses = [] {
  std::array<CharClass, 256> classes{};
  for (const unsigned char c : {' ', '\t', '\r', '\v', '\f'}) classes[c] = kBlank;
  for (const unsigned char c : {',', ';'}) classes[c] = kSeparator;
  return classes;
}();

CharClass ClassOf(char c) { return kCharClasses[static_cast<unsigned char>(c)]; }

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Unquoted(std::string_view field) {
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') return field.substr(1, field.size() - 2);
  return field;
}

}  // namespace

FieldKind ReadField(std::string_view field, double& value) {
  // from_chars takes no '+', which changes nothing; a second sign after it is no number.
  if (!field.empty() && field.front() == '+') {
    field.remove_prefix(1);
    if (!field.empty() && (field.front() == '+' || field.front() == '-')) return FieldKind::Text;
  }
  if (field.empty()) return FieldKind::Text;
  double parsed = 0;
  const char* last = field.data() + field.size();
  const auto [end, error] = std::from_chars(field.data(), last, parsed);
  if (error == std::errc::invalid_argument || end != last) return FieldKind::Text;
  if (error == std::errc::result_out_of_range || !std::isfinite(parsed)) return FieldKind::NotFinite;
  value = parsed;
  return FieldKind::Number;
}

bool IsPlainDecimal(std::string_view field) {
  const char* c = field.data();
  const char* const end = c + field.size();
  const auto digits = [&] {
    const char* first = c;
    while (c != end && IsDigit(*c)) ++c;
    return c != first;
  };
  if (c != end && (*c == '+' || *c == '-')) ++c;
  if (!digits()) return false;
  if (c != end && *c == '.') {
    ++c;
    if (!digits()) return false;
  }
  if (c != end && (*c == 'e' || *c == 'E')) {
    ++c;
    if (c != end && (*c == '+' || *c == '-')) ++c;
    if (!digits()) return false;
  }
  return c == end;
}

namespace {

char SeparatorByte(Separator separator) {
  switch (separator) {
    case Separator::Tab:
      return '\t';
    case Separator::Comma:
      return ',';
    case Separator::Semicolon:
      return ';';
    case Separator::Any:
      break;
  }
  return '\0';
}

bool HoldsOutsideQuotes(std::string_view line, char byte) {
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == byte && !quoted) return true;
  }
  return false;
}

}  // namespace

Separator SeparatorOf(std::string_view row, std::string_view header) {
  if (HoldsOutsideQuotes(row, ',')) return Separator::Comma;
  if (HoldsOutsideQuotes(row, ';')) return Separator::Semicolon;
  // Rows of numbers may mix tabs and blanks; only a header of tabs says the tabs alone separate.
  if (HoldsOutsideQuotes(header, '\t') && HoldsOutsideQuotes(row, '\t')) return Separator::Tab;
  return Separator::Any;
}

void SplitFields(std::string_view line, Separator separator, std::vector<std::string_view>& fields) {
  fields.clear();
  const char byte = SeparatorByte(separator);
  const bool any = separator == Separator::Any;
  // The separator of a tab file is no blank to be skipped.
  const auto isBlank = [&](char c) { return ClassOf(c) == kBlank && c != byte; };
  const auto endsField = [&](char c) { return any ? ClassOf(c) != kFieldByte : c == byte; };
  const auto isSeparator = [&](char c) { return any ? ClassOf(c) == kSeparator : c == byte; };
  const char* c = line.data();
  const char* const end = c + line.size();
  const auto skipBlanks = [&] {
    while (c != end && isBlank(*c)) ++c;
  };
  skipBlanks();
  while (c != end) {
    const char* const start = c;
    bool quoted = false;
    for (; c != end; ++c) {
      if (*c == '"') quoted = !quoted;
      else if (!quoted && endsField(*c)) break;
    }
    const char* last = c;
    while (last != start && isBlank(last[-1])) --last;
    fields.push_back(Unquoted(std::string_view(start, static_cast<std::size_t>(last - start))));
    skipBlanks();
    if (c != end && isSeparator(*c)) {
      ++c;
      skipBlanks();
    }
  }
}

TraceLines::TraceLines(std::string_view text) : rest_(text) {
  if (rest_.substr(0, kByteOrderMark.size()) == kByteOrderMark) rest_.remove_prefix(kByteOrderMark.size());
}

bool TraceLines::Next() {
  while (!rest_.empty()) {
    const std::size_t end = rest_.find('\n');
    line_ = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    ++number_;
    SplitFields(line_, separator_, fields_);
    if (!fields_.empty()) return true;
  }
  return false;
}

void TraceLines::SplitAt(Separator separator) {
  separator_ = separator;
  SplitFields(line_, separator_, fields_);
}
