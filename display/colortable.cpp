// The colour table: 256 entries read from "shrcol.tbl", turned into pixel values.
#include "display/colortable.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/system.h"

namespace {

constexpr ColorEntry kWhite = {255, 255, 255};

// Reads the next white-space separated unsigned decimal integer; false at the end of the file
// or at a token that is not one.
bool ReadComponent(std::istream& in, std::uint32_t& value) {
  std::string token;
  if (!(in >> token) || token.size() > 10 || !AllDigits(token))
    return false;
  const unsigned long long v = std::stoull(token);
  if (v > UINT32_MAX) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

// Reads the table at `path` when it is a file that opens; false otherwise. Only a regular file
// is opened: a named pipe or a device could keep the program waiting for ever.
bool ReadTableFile(const std::filesystem::path& path, ColorTable& table) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream fin(path);
  if (!fin.is_open()) return false;
  ReadColorTable(fin, table);
  return true;
}

}  // namespace

void ReadColorTable(std::istream& in, ColorTable& table) {
  int entry = 0;
  for (; entry < kColorEntries; ++entry) {
    ColorEntry e{};
    if (!ReadComponent(in, e.red) || !ReadComponent(in, e.green) || !ReadComponent(in, e.blue)) break;
    table[static_cast<std::size_t>(entry)] = e;
  }
  std::fill(table.begin() + entry, table.end(), kWhite);
}

ColorTable DefaultColorTable() {
  // The stops black, blue, cyan, green, yellow, red, white at entries 0, 42.5, 85, ... 255.
  constexpr int kStops = 7;
  constexpr ColorEntry kStop[kStops] = {{0, 0, 0},     {0, 0, 255},   {0, 255, 255},  {0, 255, 0},
                                        {255, 255, 0}, {255, 0, 0},   {255, 255, 255}};
  constexpr int kSegments = kStops - 1;
  const auto between = [](std::uint32_t lo, std::uint32_t hi, int f) {
    // lo + (hi - lo) f / 255, rounded; f is the fraction within the segment times 255.
    const double value = (static_cast<double>(lo) * 255 + (static_cast<double>(hi) - lo) * f) / 255 + 0.5;
    return static_cast<std::uint32_t>(value);
  };
  ColorTable table{};
  for (int e = 0; e < kColorEntries; ++e) {
    const int s = std::min(e * kSegments / 255, kSegments - 1);
    const int f = e * kSegments - 255 * s;
    const ColorEntry& lo = kStop[s];
    const ColorEntry& hi = kStop[s + 1];
    table[static_cast<std::size_t>(e)] = {between(lo.red, hi.red, f), between(lo.green, hi.green, f),
                                          between(lo.blue, hi.blue, f)};
  }
  return table;
}

std::vector<std::string> InstalledColorTables(const std::string& programDirectory) {
  if (programDirectory.empty()) return {};
  return {programDirectory + "shrcol.tbl", programDirectory + "../share/varnel/shrcol.tbl"};
}

FoundColorTable FindColorTable(const std::string& programDirectory) {
  FoundColorTable found{};
  const std::filesystem::path here = "shrcol.tbl";
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(here, error))) {
    if (ReadTableFile(here, found.table)) return found;
    found.unreadableHere = true;
  } else {
    for (const std::string& path : InstalledColorTables(programDirectory))
      if (ReadTableFile(path, found.table)) return found;
  }
  found.table = DefaultColorTable();
  return found;
}

Pixel TablePixel(const ColorTable& table, int index) {
  const ColorEntry& e = table[static_cast<std::size_t>(std::clamp(index, 0, kColorEntries - 1))];
  return e.red * 65536u + e.green * 256u + e.blue;
}

