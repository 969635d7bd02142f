#include "reports/reportwriter.h"

#include <algorithm>
#include <charconv>

namespace {

// Room for any double in any of the forms below.
constexpr std::size_t kNumberBytes = 64;

void AppendNumber(std::string& out, double value, int digits) {
  char text[kNumberBytes];
  const auto written = digits > 0 ? std::to_chars(text, text + kNumberBytes, value, std::chars_format::general, digits)
                                  : std::to_chars(text, text + kNumberBytes, value);
  out.append(text, written.ptr);
}

// A count in plain digits, as an integer is printed, never with an exponent.
void AppendCount(std::string& out, double count) {
  char text[kNumberBytes];
  const auto written = std::to_chars(text, text + kNumberBytes, count, std::chars_format::fixed);
  out.append(text, written.ptr);
}

}  // namespace

std::string ReportText(const std::array<std::string, 4>& header, const TransitionRecords& records,
                       ReportDigits digits) {
  std::string text;
  text.reserve(64 * records.size() + 256);
  for (const std::string& line : header) text += line + '\n';
  for (std::size_t r = 0; r < records.size(); ++r) {
    const TransitionRecord record = records[r];
    AppendNumber(text, record.initial, digits.values);
    text += ' ';
    AppendNumber(text, record.final, digits.values);
    text += ' ';
    AppendNumber(text, record.rate, digits.rate);
    text += ' ';
    AppendNumber(text, record.spare, digits.spare);
    text += ' ';
    AppendCount(text, record.count);
    text += '\n';
  }
  return text;
}

std::string NumberedName(const std::string& prefix, long number, long last, const std::string& extension) {
  const std::size_t width = std::max<std::size_t>(4, std::to_string(last).size());
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return prefix + "_" + digits + extension;
}
