// The colour table: how "shrcol.tbl" is read and how entries become pixel values.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/varneldlg.h"
#include "display/colortable.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_host.h"

namespace {

class ColorTableTest : public ::testing::Test {
 protected:
  // Loads `content` as the current directory's "shrcol.tbl".
  void Load(const std::string& content) {
    dir.Write("shrcol.tbl", content);
    dlg.LoadColorTable();
  }
  static std::string Ramp(int entries, bool finalNewline) {
    std::ostringstream out;
    for (int k = 0; k < entries; ++k)
      out << k << ' ' << (255 - k) << ' ' << (k % 7) << (k + 1 < entries || finalNewline ? "\n" : "");
    return out.str();
  }
  void ExpectRampEntry(int k) {
    EXPECT_EQ(dlg.GetColor(k), static_cast<Pixel>(k * 65536 + (255 - k) * 256 + k % 7)) << "entry " << k;
  }

  TempDir dir;
  TestHost host;
  CVarnelDlg dlg;
};

TEST_F(ColorTableTest, ReadsAll256EntriesWithOrWithoutFinalLineBreak) {
  for (bool newline : {true, false}) {
    Load(Ramp(256, newline));
    for (int k : {0, 1, 128, 254, 255}) ExpectRampEntry(k);
  }
}

TEST_F(ColorTableTest, EntriesTheFileDoesNotSupplyAreWhite) {
  Load(Ramp(10, true));
  for (int k = 0; k < 10; ++k) ExpectRampEntry(k);
  EXPECT_EQ(dlg.GetColor(10), 0xFFFFFFu);
  EXPECT_EQ(dlg.GetColor(255), 0xFFFFFFu);
}

TEST_F(ColorTableTest, AnIncompleteLastGroupMakesNoEntry) {
  Load("1 2 3\n4 5");
  EXPECT_EQ(dlg.GetColor(0), 0x010203u);
  EXPECT_EQ(dlg.GetColor(1), 0xFFFFFFu);
}

TEST_F(ColorTableTest, LineLayoutDoesNotMatter) {
  Load("1\n2\n3 4 5\t6\n\n7 8 9");
  EXPECT_EQ(dlg.GetColor(0), 0x010203u);
  EXPECT_EQ(dlg.GetColor(1), 0x040506u);
  EXPECT_EQ(dlg.GetColor(2), 0x070809u);
  EXPECT_EQ(dlg.GetColor(3), 0xFFFFFFu);
}

TEST_F(ColorTableTest, ComponentsCarryIntoTheNextByteUnmasked) {
  Load("0 256 0\n1 0 0\n");
  EXPECT_EQ(dlg.GetColor(0), 65536u);
  EXPECT_EQ(dlg.GetColor(0), dlg.GetColor(1));
}

TEST_F(ColorTableTest, ReadingStopsAtTheFirstBadToken) {
  Load("1 2 3\n4 -5 6\n7 8 9\n");
  EXPECT_EQ(dlg.GetColor(0), 0x010203u);
  EXPECT_EQ(dlg.GetColor(1), 0xFFFFFFu);
  EXPECT_EQ(dlg.GetColor(2), 0xFFFFFFu);
  Load("1 2 3\n4 x 6\n");
  EXPECT_EQ(dlg.GetColor(1), 0xFFFFFFu);
}

TEST_F(ColorTableTest, ExtraEntriesAreIgnored) {
  Load(Ramp(256, true) + "9 9 9\n8 8 8\n");
  ExpectRampEntry(255);
}

TEST_F(ColorTableTest, EmptyFileGivesAWhiteTable) {
  Load("");
  EXPECT_EQ(dlg.GetColor(0), 0xFFFFFFu);
  EXPECT_EQ(dlg.GetColor(255), 0xFFFFFFu);
}

// The table built into the program is the one installed beside it, entry for entry.
TEST(DefaultColorTable, IsTheTableBesideTheProgram) {
  std::ifstream file(std::string(VARNEL_SOURCE_DIR) + "/res/shrcol.tbl");
  const ColorTable table = DefaultColorTable();
  for (const ColorEntry& e : table) {
    std::uint32_t r = 0, g = 0, b = 0;
    ASSERT_TRUE(file >> r >> g >> b);
    EXPECT_EQ(e.red, r);
    EXPECT_EQ(e.green, g);
    EXPECT_EQ(e.blue, b);
  }
}

// Without a table anywhere the map keeps its colours; one that cannot be read (a folder of that
// name) is not passed over in silence.
TEST_F(ColorTableTest, WithoutAReadableTableTheBuiltInOneIsUsed) {
  const ColorTable builtIn = DefaultColorTable();
  const auto expectBuiltIn = [&] {
    for (int k : {0, 100, 200, 255}) {
      const ColorEntry& e = builtIn[static_cast<std::size_t>(k)];
      EXPECT_EQ(dlg.GetColor(k), e.red * 65536u + e.green * 256u + e.blue) << k;
    }
  };
  dlg.LoadColorTable();  // the tests run where no table lies beside the program either
  expectBuiltIn();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_NE(dlg.GetColor(100), 0xFFFFFFu);

  std::filesystem::create_directory(dir / "shrcol.tbl");
  dlg.LoadColorTable();
  expectBuiltIn();
  EXPECT_EQ(host.notices, std::vector<std::string>{"The colour table \"shrcol.tbl\" in the current folder cannot be "
                                                   "read; the map uses the program's own colours."});
}

TEST_F(ColorTableTest, IndexOutsideTheTableIsClamped) {
  Load(Ramp(256, true));
  EXPECT_EQ(dlg.GetColor(-5), dlg.GetColor(0));
  EXPECT_EQ(dlg.GetColor(1000), dlg.GetColor(255));
}

}  // namespace
