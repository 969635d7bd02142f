// The colour table of the map: 256 entries, read from "shrcol.tbl" or built in.
#pragma once

#include <array>
#include <istream>
#include <string>
#include <vector>

#include "domain/analysis_types.h"

using ColorTable = std::array<ColorEntry, kColorEntries>;

// Fills the table from `in`: three unsigned decimal numbers (red, green, blue) per entry, laid
// out in any way. Entries that are read completely; white from the first one that is not, as
// the reading stops at the first token that is no such number. Entries beyond 256 are not read.
void ReadColorTable(std::istream& in, ColorTable& table);

// The program's own table, the one "shrcol.tbl" beside the program holds: black through blue,
// cyan, green, yellow and red to white, seven stops evenly over the 256 entries, each entry the
// rounded linear interpolation between its two stops.
ColorTable DefaultColorTable();

// Where the program's own table is looked for, in this order, for a program in
// `programDirectory` (with its final separator; "" when unknown): beside the program, as in the
// build folder, then under the prefix it is installed in (PREFIX/bin/varnel reads
// PREFIX/share/varnel/shrcol.tbl), wherever that prefix is.
std::vector<std::string> InstalledColorTables(const std::string& programDirectory);

// The table the map is drawn with: "shrcol.tbl" in the current folder wins; then our own table
// where the program's files are (InstalledColorTables); then the same table built into the
// program. A table in the current folder that cannot be read is not passed over in silence.
struct FoundColorTable {
  ColorTable table;
  bool unreadableHere = false;  // a "shrcol.tbl" in the current folder could not be read
};
FoundColorTable FindColorTable(const std::string& programDirectory);

// The pixel value of entry `index` (kept within 0 ... 255): red x 65536 + green x 256 + blue.
// The components are added unmasked, so that one above 255 carries into the next byte.
Pixel TablePixel(const ColorTable& table, int index);
