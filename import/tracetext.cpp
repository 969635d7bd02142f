#include "import/tracetext.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "platform/system.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What a text read piece by piece is asked for at a time.
constexpr std::size_t kReadPiece = std::size_t{1} << 16;

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

namespace {

// Whether `field` reads [+-] digits [POINT digits] [(e|E) [+-] digits], with the POINT part
// required when `pointRequired`.
bool IsDecimalWith(std::string_view field, char point, bool pointRequired) {
  const char* c = field.data();
  const char* const end = c + field.size();
  const auto digits = [&] {
    const char* first = c;
    while (c != end && IsDigit(*c)) ++c;
    return c != first;
  };
  if (c != end && (*c == '+' || *c == '-')) ++c;
  if (!digits()) return false;
  if (c != end && *c == point) {
    ++c;
    if (!digits()) return false;
  } else if (pointRequired) {
    return false;
  }
  if (c != end && (*c == 'e' || *c == 'E')) {
    ++c;
    if (c != end && (*c == '+' || *c == '-')) ++c;
    if (!digits()) return false;
  }
  return c == end;
}

}  // namespace

bool IsPlainDecimal(std::string_view field) { return IsDecimalWith(field, '.', false); }

bool IsDecimalComma(std::string_view field) { return IsDecimalWith(field, ',', true); }

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
    case Separator::Blank:
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
  const bool blank = separator == Separator::Blank;
  // The separator of a tab file is no blank to be skipped.
  const auto isBlank = [&](char c) { return ClassOf(c) == kBlank && c != byte; };
  const auto endsField = [&](char c) {
    return any ? ClassOf(c) != kFieldByte : blank ? ClassOf(c) == kBlank : c == byte;
  };
  const auto isSeparator = [&](char c) { return any ? ClassOf(c) == kSeparator : !blank && c == byte; };
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

std::string_view DecimalCommaIn(std::string_view line, std::size_t textFields) {
  const Separator separator = HoldsOutsideQuotes(line, ';')    ? Separator::Semicolon
                              : HoldsOutsideQuotes(line, '\t') ? Separator::Tab
                                                               : Separator::Blank;
  std::vector<std::string_view> fields;
  SplitFields(line, separator, fields);
  std::string_view found;
  std::size_t texts = 0;
  for (const std::string_view field : fields) {
    double ignored = 0;
    if (IsDecimalComma(field)) {
      if (found.empty()) found = field;
    } else if (!IsPlainDecimal(field) && ReadField(field, ignored) == FieldKind::Text && ++texts > textFields) {
      return {};
    }
  }
  return found;
}

TraceLines::TraceLines(std::string_view text)
    : base_(text.empty() ? "" : text.data()), end_(text.size()), atEnd_(true) {}

TraceLines::TraceLines(ReadBytes read) : read_(std::move(read)), storage_(kReadPiece, '\0') {
  base_ = storage_.data();
}

namespace {

std::string LongLineWhy() {
  return "the line is longer than " + std::to_string(kLongestTraceLine) +
         " bytes, which no row or header of a trace is: is this a text file whose lines end in LF or CR LF?";
}

}  // namespace

bool TraceLines::Refill() {
  if (atEnd_ || !trouble_.empty()) return false;
  // The unread bytes, the start of a line, move to the front; a line that fills the piece
  // makes it larger.
  const std::size_t unread = end_ - begin_;
  if (begin_ > 0) std::memmove(storage_.data(), storage_.data() + begin_, unread);
  begin_ = 0;
  end_ = unread;
  if (end_ == storage_.size()) storage_.resize(2 * storage_.size());
  base_ = storage_.data();
  const long got = read_(storage_.data() + end_, storage_.size() - end_);
  if (got < 0) {
    trouble_ = std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

bool TraceLines::Next() {
  if (!trouble_.empty()) return false;
  if (!started_) {
    started_ = true;
    while (Unread().size() < kByteOrderMark.size() && Refill()) {
    }
    if (Unread().substr(0, kByteOrderMark.size()) == kByteOrderMark) begin_ += kByteOrderMark.size();
  }
  for (;;) {
    const std::string_view unread = Unread();
    const std::size_t end = unread.find('\n', searched_);
    if (end == std::string_view::npos) {
      searched_ = unread.size();
      if (unread.size() > kLongestTraceLine) {
        troubleLine_ = number_ + 1;
        trouble_ = LongLineWhy();
        return false;
      }
      if (Refill()) continue;
      // The last line, without a line end; Refill may have moved it.
      const std::string_view last = Unread();
      if (!trouble_.empty() || last.empty()) return false;
      line_ = last;
      begin_ = end_;
    } else if (end > kLongestTraceLine) {
      troubleLine_ = number_ + 1;
      trouble_ = LongLineWhy();
      return false;
    } else {
      line_ = unread.substr(0, end);
      begin_ += end + 1;
    }
    searched_ = 0;
    ++number_;
    SplitFields(line_, separator_, fields_);
    if (!fields_.empty()) return true;
  }
}

void TraceLines::SplitAt(Separator separator) {
  separator_ = separator;
  SplitFields(line_, separator_, fields_);
}

std::string ReadLinesOfFile(const std::string& path, const std::function<void(TraceLines)>& read) {
  const sysfile::OpenedFile file = sysfile::OpenForReading(path);
  if (file.notAFile) return path + ": is not a file";
  if (file.handle < 0) return path + ": cannot be opened: " + std::strerror(file.error);
  // Closed however the reading ends, out of memory too.
  struct ClosedAtEnd {
    int handle;
    ~ClosedAtEnd() { sysfile::Close(handle); }
  } const closed{file.handle};
  read(TraceLines([handle = file.handle](char* data, std::size_t size) { return sysfile::Read(handle, data, size); }));
  return {};
}
