#include "reports/reportfile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>

#include "platform/system.h"

namespace {

constexpr int kHeaderLines = 4;
// What the file is asked for at a time: a report of K = 10 comes in one read.
constexpr std::size_t kReadBytes = std::size_t{1} << 16;
// Follows the bytes read: neither white space nor part of a number, it stops every scan there.
constexpr char kEndMark = '\0';

// White space as the C locale classifies it.
constexpr bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsSign(char c) { return c == '+' || c == '-'; }

// The length of the longest text from `first` on that a stream takes for a number:
// [+-] digits [. digits] [e [+-] digits], the exponent only after a digit.
std::size_t NumberLength(const char* first) {
  const char* c = first;
  if (IsSign(*c)) ++c;
  bool digits = false, point = false, exponent = false;
  for (;; ++c) {
    if (IsDigit(*c)) {
      digits = true;
    } else if (*c == '.' && !point && !exponent) {
      point = true;
    } else if ((*c == 'e' || *c == 'E') && digits && !exponent) {
      exponent = true;
      if (IsSign(c[1])) ++c;
    } else {
      return static_cast<std::size_t>(c - first);
    }
  }
}

// The text of an open report, read a piece at a time as scanning reaches the end of what has
// been read, which kEndMark follows. Only the text from the scanning position on is kept:
// memory stays one piece, or twice the longest number. A read error ends the text, and the
// number being read with it.
class ReportText {
 public:
  // Opens `path` if it is a regular file; otherwise problem() says what it is. Opening does not
  // wait: a pipe without a writer would block an ordinary open.
  explicit ReportText(const std::string& path) {
    const sysfile::OpenedFile file = sysfile::OpenForReading(path);
    fd_ = file.handle;
    if (fd_ < 0) problem_ = file.notAFile ? file.notAFile : std::strerror(file.error);
  }
  // A text that is all there already.
  explicit ReportText(std::string_view whole) : fd_(-1), buffer_(new char[whole.size() + 1]) {
    std::memcpy(buffer_.get(), whole.data(), whole.size());
    capacity_ = end_ = whole.size();
    buffer_[end_] = kEndMark;
    ended_ = true;
  }
  ~ReportText() {
    if (fd_ >= 0) sysfile::Close(fd_);
  }
  ReportText(const ReportText&) = delete;
  ReportText& operator=(const ReportText&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Problem() const { return problem_; }
  bool Failed() const { return failed_; }

  // Past the next line end, or to the end of the text.
  void SkipLine() {
    while (pos_ < end_ || More()) {
      const char* from = Here();
      if (const void* newline = std::memchr(from, '\n', end_ - pos_)) {
        pos_ += static_cast<std::size_t>(static_cast<const char*>(newline) - from) + 1;
        return;
      }
      pos_ = end_;
    }
  }

  // Past white space; false when the text ends first.
  bool SkipSpace() {
    while (pos_ < end_ || More()) {
      while (IsSpace(buffer_[pos_])) ++pos_;
      if (pos_ < end_) return true;
    }
    return false;
  }

  // The length of the number at the scanning position, seen whole: a scan that reaches the end
  // of what has been read is done again once more has been read.
  std::size_t NumberHere() {
    for (;;) {
      if (pos_ == end_ && !More()) return 0;
      const std::size_t length = NumberLength(Here());
      if (pos_ + length < end_ || !More()) return length;
    }
  }

  // The `length` bytes from the scanning position on; then past them.
  std::string_view Take(std::size_t length) {
    const std::string_view taken(Here(), length);
    pos_ += length;
    return taken;
  }

 private:
  const char* Here() const { return buffer_.get() + pos_; }

  // Appends what the file gives next, keeping the unscanned text; false at its end.
  bool More() {
    if (ended_) return false;
    if (pos_ > 0) {
      std::memmove(buffer_.get(), Here(), end_ - pos_);
      end_ -= pos_;
      pos_ = 0;
      buffer_[end_] = kEndMark;
    }
    if (end_ == capacity_ && !Grow()) return End(true);
    const long got = sysfile::Read(fd_, buffer_.get() + end_, capacity_ - end_);
    if (got <= 0) return End(got < 0);
    end_ += static_cast<std::size_t>(got);
    buffer_[end_] = kEndMark;
    return true;
  }

  bool Grow() {
    const std::size_t capacity = capacity_ == 0 ? kReadBytes : 2 * capacity_;
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity + 1]);
    if (!grown) return false;
    if (buffer_)
      std::memcpy(grown.get(), buffer_.get(), end_ + 1);
    else
      grown[0] = kEndMark;
    buffer_ = std::move(grown);
    capacity_ = capacity;
    return true;
  }

  bool End(bool failed) {
    ended_ = true;
    failed_ = failed;
    return false;
  }

  int fd_ = -1;
  std::string problem_;
  std::unique_ptr<char[]> buffer_;  // capacity_ bytes and a byte for kEndMark
  std::size_t capacity_ = 0;
  std::size_t pos_ = 0;  // the scanning position
  std::size_t end_ = 0;  // the end of what has been read, where kEndMark is
  bool ended_ = false;
  bool failed_ = false;
};

// The value a stream gives `number`: strtod's, when strtod takes all of it and the value is
// finite; nothing otherwise ("1e", "-", ".", an overflow).
bool ValueOf(std::string_view number, double& value) {
  // from_chars takes no '+', which changes nothing.
  const std::string_view plain = !number.empty() && number.front() == '+' ? number.substr(1) : number;
  const char* last = plain.data() + plain.size();
  double parsed = 0;
  const auto [end, error] = std::from_chars(plain.data(), last, parsed);
  if (error == std::errc::invalid_argument || end != last) return false;
  if (error == std::errc{}) {
    value = parsed;
    return true;
  }
  // Out of range, where from_chars gives no value: strtod rounds an underflow to a subnormal
  // or a signed zero, which the stream takes, and an overflow to infinity, which it refuses.
  const double rounded = CLocaleStrtod(std::string(number));
  if (std::isinf(rounded)) return false;
  value = rounded;
  return true;
}

// The next number, as `stream >> value` extracts it; false where that extraction fails.
bool ReadNumber(ReportText& text, double& value) {
  if (!text.SkipSpace()) return false;
  const std::size_t length = text.NumberHere();
  return !text.Failed() && ValueOf(text.Take(length), value);
}

// Skips the header and reads the records; returns how many were read whole.
std::size_t ReadRecords(ReportText& text, std::size_t records, TransitionRecords& into, std::size_t first) {
  for (int line = 0; line < kHeaderLines; ++line) text.SkipLine();
  for (std::size_t r = 0; r < records; ++r) {
    TransitionRecord record;
    if (!(ReadNumber(text, record.initial) && ReadNumber(text, record.final) && ReadNumber(text, record.rate) &&
          ReadNumber(text, record.spare) && ReadNumber(text, record.count)))
      return r;
    into.Set(first + r, record);
  }
  return records;
}

}  // namespace

ReportReading ReadReport(const std::string& path, std::size_t records, TransitionRecords& into, std::size_t first) {
  ReportReading reading;
  ReportText text(path);
  if (!text.IsOpen()) {
    reading.problem = text.Problem();
    return reading;
  }
  reading.opened = true;
  reading.supplied = ReadRecords(text, records, into, first);
  return reading;
}

std::size_t ReadReportText(std::string_view whole, std::size_t records, TransitionRecords& into, std::size_t first) {
  ReportText text(whole);
  return ReadRecords(text, records, into, first);
}
