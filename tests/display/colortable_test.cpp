// The colour table: how "shrcol.tbl" is read and how entries become pixel values.
#include "display/colortable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

// The table `content` reads as, from a table of black to start with.
ColorTable Read(const std::string& content) {
  ColorTable table{};
  std::istringstream in(content);
  ReadColorTable(in, table);
  return table;
}

// Entry k is (k, 255 - k, k mod 7), for `entries` entries.
std::string Ramp(int entries, bool finalNewline) {
  std::ostringstream out;
  for (int k = 0; k < entries; ++k)
    out << k << ' ' << (255 - k) << ' ' << (k % 7) << (k + 1 < entries || finalNewline ? "\n" : "");
  return out.str();
}

Pixel RampPixel(int k) { return static_cast<Pixel>(k * 65536 + (255 - k) * 256 + k % 7); }

bool SameTable(const ColorTable& a, const ColorTable& b) {
  for (int k = 0; k < kColorEntries; ++k)
    if (TablePixel(a, k) != TablePixel(b, k)) return false;
  return true;
}

TEST(ColorTable, ReadsUpTo256EntriesInAnyLayout) {
  for (bool newline : {true, false}) {
    const ColorTable table = Read(Ramp(256, newline));
    for (int k : {0, 1, 128, 254, 255}) EXPECT_EQ(TablePixel(table, k), RampPixel(k)) << k;
  }
  // Entries beyond 256 are not read.
  EXPECT_EQ(TablePixel(Read(Ramp(256, true) + "9 9 9\n8 8 8\n"), 255), RampPixel(255));
  const ColorTable laidOut = Read("1\n2\n3 4 5\t6\n\n7 8 9");
  EXPECT_EQ(TablePixel(laidOut, 0), 0x010203u);
  EXPECT_EQ(TablePixel(laidOut, 1), 0x040506u);
  EXPECT_EQ(TablePixel(laidOut, 2), 0x070809u);
  EXPECT_EQ(TablePixel(laidOut, 3), 0xFFFFFFu);
}

TEST(ColorTable, EntriesFromTheFirstThatIsNotReadAreWhite) {
  const ColorTable ten = Read(Ramp(10, true));
  for (int k = 0; k < 10; ++k) EXPECT_EQ(TablePixel(ten, k), RampPixel(k)) << k;
  EXPECT_EQ(TablePixel(ten, 10), 0xFFFFFFu);
  EXPECT_EQ(TablePixel(ten, 255), 0xFFFFFFu);
  // An incomplete last group makes no entry.
  const ColorTable incomplete = Read("1 2 3\n4 5");
  EXPECT_EQ(TablePixel(incomplete, 0), 0x010203u);
  EXPECT_EQ(TablePixel(incomplete, 1), 0xFFFFFFu);
  // Reading stops at the first token that is no unsigned number.
  for (const char* bad : {"1 2 3\n4 -5 6\n7 8 9\n", "1 2 3\n4 x 6\n"}) {
    const ColorTable stopped = Read(bad);
    EXPECT_EQ(TablePixel(stopped, 0), 0x010203u) << bad;
    EXPECT_EQ(TablePixel(stopped, 1), 0xFFFFFFu) << bad;
    EXPECT_EQ(TablePixel(stopped, 2), 0xFFFFFFu) << bad;
  }
  const ColorTable empty = Read("");
  EXPECT_EQ(TablePixel(empty, 0), 0xFFFFFFu);
  EXPECT_EQ(TablePixel(empty, 255), 0xFFFFFFu);
}

TEST(ColorTable, PixelsCarryUnmaskedAndIndicesAreClamped) {
  const ColorTable carry = Read("0 256 0\n1 0 0\n");
  EXPECT_EQ(TablePixel(carry, 0), 65536u);  // 256 x 256: green carries into red
  EXPECT_EQ(TablePixel(carry, 1), 65536u);
  const ColorTable ramp = Read(Ramp(256, true));
  EXPECT_EQ(TablePixel(ramp, -5), RampPixel(0));
  EXPECT_EQ(TablePixel(ramp, 1000), RampPixel(255));
}

// The table built into the program is the one installed beside it, entry for entry.
TEST(DefaultColorTable, IsTheTableBesideTheProgram) {
  std::ifstream file(std::filesystem::path(VARNEL_SOURCE_DIR) / "res" / "shrcol.tbl");
  const ColorTable table = DefaultColorTable();
  for (const ColorEntry& e : table) {
    std::uint32_t r = 0, g = 0, b = 0;
    ASSERT_TRUE(file >> r >> g >> b);
    EXPECT_EQ(e.red, r);
    EXPECT_EQ(e.green, g);
    EXPECT_EQ(e.blue, b);
  }
}

// The current folder's table wins; without one anywhere the built-in table is used, and one that
// cannot be read (a folder of that name) is not passed over in silence.
TEST(FindColorTable, TheCurrentFoldersTableWinsElseTheBuiltInOne) {
  TempDir dir;
  const ColorTable builtIn = DefaultColorTable();
  FoundColorTable found = FindColorTable("");
  EXPECT_TRUE(SameTable(found.table, builtIn));
  EXPECT_FALSE(found.unreadableHere);
  EXPECT_NE(TablePixel(found.table, 100), 0xFFFFFFu);

  dir.Write("shrcol.tbl", Ramp(3, true));
  found = FindColorTable("");
  EXPECT_EQ(TablePixel(found.table, 2), RampPixel(2));
  EXPECT_EQ(TablePixel(found.table, 3), 0xFFFFFFu);
  EXPECT_FALSE(found.unreadableHere);

  std::filesystem::remove(dir.path() / "shrcol.tbl");
  std::filesystem::create_directory(dir.path() / "shrcol.tbl");
  found = FindColorTable("");
  EXPECT_TRUE(SameTable(found.table, builtIn));
  EXPECT_TRUE(found.unreadableHere);
}

}  // namespace
