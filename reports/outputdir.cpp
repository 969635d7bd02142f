#include "reports/outputdir.h"

namespace {

// One or more decimal digits from `at` on; returns the position after them, or npos.
std::size_t SkipDigits(const std::string& text, std::size_t at) {
  const std::size_t end = text.find_first_not_of("0123456789", at);
  const std::size_t stop = end == std::string::npos ? text.size() : end;
  return stop > at ? stop : std::string::npos;
}

}  // namespace

bool IsOwnOutputName(const std::string& name) {
  if (name == "3dgrid.dat" || name == "log.dat") return true;
  // I,Jrates.dat
  const std::size_t comma = SkipDigits(name, 0);
  if (comma == std::string::npos || comma >= name.size() || name[comma] != ',') return false;
  const std::size_t rest = SkipDigits(name, comma + 1);
  return rest != std::string::npos && name.compare(rest, std::string::npos, "rates.dat") == 0;
}

std::string CannotWriteMessage(const std::string& path, const std::string& reason) {
  return "Cannot write \"" + path + "\": " + reason + ".";
}
