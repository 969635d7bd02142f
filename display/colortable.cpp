// The colour table: 256 entries read from "shrcol.tbl", turned into pixel values.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>

#include "app/varneldlg.h"
#include "platform/module.h"

namespace {

constexpr ColorEntry kWhite = {255, 255, 255};

// Reads the next white-space separated unsigned decimal integer; false at the end of the file
// or at a token that is not one.
bool ReadComponent(std::istream& in, std::uint32_t& value) {
  std::string token;
  if (!(in >> token) || token.size() > 10 ||
      !std::all_of(token.begin(), token.end(), [](unsigned char c) { return std::isdigit(c); }))
    return false;
  const unsigned long long v = std::stoull(token);
  if (v > UINT32_MAX) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

// Fills the table from `in`: entries that are read completely, white from the first one that
// is not. Entries beyond the table are never read.
void ReadTable(std::istream& in, std::array<ColorEntry, kColorEntries>& table) {
  int entry = 0;
  for (; entry < kColorEntries; ++entry) {
    ColorEntry e{};
    if (!ReadComponent(in, e.red) || !ReadComponent(in, e.green) || !ReadComponent(in, e.blue)) break;
    table[static_cast<std::size_t>(entry)] = e;
  }
  std::fill(table.begin() + entry, table.end(), kWhite);
}

}  // namespace

void CVarnelDlg::LoadColorTable() {
  // The current directory's table wins; then our own table installed beside the program;
  // without either the whole table is white.
  std::ifstream fin("shrcol.tbl");
  if (!fin.is_open()) fin.open(AfxGetModuleDirectory() + "shrcol.tbl");
  ReadTable(fin, m_colorTable);
}

Pixel CVarnelDlg::GetColor(int index) const {
  const ColorEntry& e = m_colorTable[static_cast<std::size_t>(std::clamp(index, 0, kColorEntries - 1))];
  // Components are shifted and added unmasked: one above 255 carries into the next byte.
  return e.red * 65536u + e.green * 256u + e.blue;
}
