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

void SplitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  const char* c = line.data();
  const char* const end = c + line.size();
  const auto skipBlanks = [&] {
    while (c != end && ClassOf(*c) == kBlank) ++c;
  };
  skipBlanks();
  while (c != end) {
    const char* const start = c;
    while (c != end && ClassOf(*c) == kFieldByte) ++c;
    fields.push_back(Unquoted(std::string_view(start, static_cast<std::size_t>(c - start))));
    skipBlanks();
    if (c != end && ClassOf(*c) == kSeparator) {
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
    const std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    ++number_;
    SplitFields(line, fields_);
    if (!fields_.empty()) return true;
  }
  return false;
}
