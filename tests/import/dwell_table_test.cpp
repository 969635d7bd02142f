// The dwells an import keeps beside its reports: counted by hand from the frames, written so that
// they read back as they were, and a table that is not one is named by file and line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/dwelltable.h"
#include "import/importtraces.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(DwellTable, AnImportKeepsEachMoleculesStaysAtItsReportsLevelsWithTheTraceCuttingTheFirstAndLast) {
  TempDir dir;
  // Two values a rounding apart are one level, whose value is the smaller; a molecule of one
  // frame gets no report and so no dwells.
  dir.Write("a.txt", "0.2\n0.2000000000001\n0.8\n0.8\n0.8\n0.2\n");
  dir.Write("b.txt", "0.5\n");
  dir.Write("c.txt", "0.4\n0.4\n0.4\n");
  const ImportResult result = ImportTraces({dir / "a.txt", dir / "b.txt", dir / "c.txt"}, ImportOptions{}, 3,
                                           dir / "reports");
  ASSERT_TRUE(result.error.empty()) << result.error;
  ASSERT_EQ(result.reports.size(), 2u);
  EXPECT_EQ(dir.Read("reports/dwells.csv"),
            "molecule,level,start_frame,frames,cut_at_start,cut_at_end\n"
            "molecule_0001,0.2,1,2,1,0\n"
            "molecule_0001,0.8,3,3,0,0\n"
            "molecule_0001,0.2,6,1,0,1\n"
            "molecule_0003,0.4,1,3,1,1\n");
}

TEST(DwellTable, ReadsBackWhatItWroteNamesWithCommasAndQuotesAndAllTheDigitsOfALevel) {
  const DwellTable table = {{"plain", {{0.1, 1, 4, true, false}, {1.0 / 3.0, 5, 2, false, true}}},
                            {"a, \"quoted\" one", {{-2.5e-7, 1, 1, true, true}}}};
  const std::string text = DwellsCsv(table);
  EXPECT_NE(text.find("\n\"a, \"\"quoted\"\" one\",-2.5e-07,1,1,1,1\n"), std::string::npos) << text;
  const DwellsReading read = ReadDwellsCsvText(text, "dwells.csv");
  ASSERT_TRUE(read.error.empty()) << read.error;
  ASSERT_EQ(read.table.size(), 2u);
  EXPECT_EQ(read.table[1].molecule, "a, \"quoted\" one");
  ASSERT_EQ(read.table[0].dwells.size(), 2u);
  EXPECT_EQ(read.table[0].dwells[1].level, 1.0 / 3.0);
  EXPECT_EQ(read.table[0].dwells[1].start, 5);
  EXPECT_TRUE(read.table[0].dwells[1].cutAtEnd);
  EXPECT_FALSE(read.table[0].dwells[1].cutAtStart);
}

TEST(DwellTable, ATableThatIsNoneIsNamedByFileAndLineAndGivesNoDwells) {
  const std::string header = "molecule,level,start_frame,frames,cut_at_start,cut_at_end\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"molecule,level\nm,0.1\n", "d.csv:1: the first line must be"},
      {header + "m,0.1,1,2,1,0\nm,0.5,4,1,0,1\n", "d.csv:3: the dwell starts at frame 4, not at frame 3"},
      {header + "m,0.1,1,2,1,0\nn,0.5,1,1,1,1\nm,0.5,3,1,0,1\n", "d.csv:4: the rows of molecule m do not stand together"},
      {header + "m,0.1,1,0,1,0\n", "d.csv:2: the frames are no whole number from 1"},
      {header + "m,nan,1,2,1,0\n", "d.csv:2: the level is no finite number"},
      {header + "m,0.1,1,2,yes,0\n", "d.csv:2: cut_at_start is neither 0 nor 1"},
      {header + "0.1,1,2,1,0\n", "d.csv:2: a row holds a molecule and 5 numbers"},
      {"", "d.csv: is empty"},
  };
  for (const auto& [text, error] : cases) {
    const DwellsReading read = ReadDwellsCsvText(text, "d.csv");
    EXPECT_TRUE(read.error.starts_with(error)) << read.error << "\nexpected: " << error;
    EXPECT_TRUE(read.table.empty());
  }
}

}  // namespace
