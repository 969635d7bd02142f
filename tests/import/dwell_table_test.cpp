// The dwells an import keeps beside its reports: counted by hand from the frames, written so that
// they read back as they were, and a table that is not one is named by file and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "import/dwellcheck.h"
#include "import/dwelltable.h"
#include "import/importtraces.h"
#include "reports/reportfile.h"
#include "tests/support/temp_dir.h"

namespace {

// Imports a trace file of one value per line for each of `traces` into `folder`, with K = 3.
void Import(const TempDir& dir, const std::string& folder, const std::vector<std::string>& traces) {
  std::vector<std::string> paths;
  for (std::size_t t = 0; t < traces.size(); ++t) {
    paths.push_back(dir / (folder + "-" + std::to_string(t) + ".txt"));
    dir.Write(paths.back(), traces[t]);
  }
  const ImportResult result = ImportTraces(paths, ImportOptions{}, 3, dir / folder);
  ASSERT_TRUE(result.error.empty()) << result.error;
}

std::string Texts(const Outcome& outcome) {
  std::string text;
  for (const Message& message : outcome.messages) text += message.text + "\n";
  return text;
}

// a: 0.2 -> 0.8 twice, 0.8 -> 0.2 once, 3 frames at 0.2 with a next; b: once each way; c: one level.
const std::vector<std::string> kTraces = {"0.2\n0.2\n0.8\n0.8\n0.8\n0.2\n0.8\n", "0.2\n0.8\n0.8\n0.2\n0.2\n0.2\n",
                                          "0.5\n0.5\n0.5\n"};

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
      // The next start would lie past the end of a 64-bit count.
      {header + "m,0.1,1,9223372036854775807,1,0\nm,0.5,2,1,0,1\n", "d.csv:2: the dwell runs past frame"},
      {header + "m,0.1,1,2,1,0\nm,0.5,3,999999999999999999,0,1\n", "d.csv:3: the dwell runs past frame"},
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

TEST(DwellTable, ATableSavedWithCrLfLineEndsReadsAsWithLf) {
  const std::string lf = DwellsCsv({{"m", {{0.25, 1, 4, true, false}, {0.75, 5, 2, false, true}}}});
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const DwellsReading read = ReadDwellsCsvText(crlf, "d.csv");
  ASSERT_TRUE(read.error.empty()) << read.error;
  EXPECT_EQ(DwellsCsv(read.table), lf);
}

TEST(DwellCheck, AMoleculesOwnDwellsAgreeWithItsReportAndThoseOfAnotherOrLengthenedOnesDoNot) {
  TempDir dir;
  Import(dir, "reports", kTraces);
  TransitionRecords records(9);
  ASSERT_EQ(ReadReport(dir / "reports/molecule_0001.dat", 9, records, 0).supplied, 9u);
  const DwellsReading read = ReadDwellsCsv(dir / "reports/dwells.csv");
  ASSERT_EQ(read.table.size(), 3u);
  EXPECT_EQ(DwellsDisagreement(read.table[0].dwells, records, 0, 9), "");
  EXPECT_EQ(DwellsDisagreement(read.table[1].dwells, records, 0, 9),
            "the report counts 2 transitions from 0.2 to 0.8, the dwells 1");
  EXPECT_EQ(DwellsDisagreement(read.table[2].dwells, records, 0, 9),
            "the report counts 2 transitions out of 0.2, a value at which the dwells are not");
  // Every dwell ten times as long: the same steps, in ten times the frames.
  std::vector<LevelDwell> longer = read.table[0].dwells;
  for (LevelDwell& dwell : longer) dwell.frames *= 10;
  EXPECT_EQ(DwellsDisagreement(longer, records, 0, 9).rfind("the report's rate from 0.2 to 0.8 is 0.666", 0), 0u)
      << DwellsDisagreement(longer, records, 0, 9);
  // A step the report does not count.
  std::vector<LevelDwell> more = read.table[0].dwells;
  more.push_back({0.5, 8, 1, false, true});
  EXPECT_NE(DwellsDisagreement(more, records, 0, 9), "");
}

TEST(DwellCheck, ALoadBesideAnotherImportsTableNamesTheReportsAndLeavesTheirDwellsOut) {
  TempDir dir;
  Import(dir, "first", kTraces);
  Import(dir, "second", {kTraces[1], kTraces[0]});
  // Removed first: the Windows library's copy refuses to overwrite.
  std::filesystem::remove(dir / "first/dwells.csv");
  std::filesystem::copy_file(dir / "second/dwells.csv", dir / "first/dwells.csv");
  Session session;
  session.SetPeaks(3);
  const Outcome loaded = session.Load({dir / "first/molecule_0001.dat", dir / "first/molecule_0002.dat"});
  ASSERT_TRUE(loaded.done);
  EXPECT_TRUE(session.Dwells().empty());
  const std::string text = Texts(loaded);
  EXPECT_NE(text.find("of 2 of the 2 reports are not those their reports were counted from"), std::string::npos) << text;
  EXPECT_NE(text.find(dir / "first/molecule_0002.dat: the report counts 1 transition from 0.2 to 0.8, the dwells 2"),
            std::string::npos)
      << text;

  // A table that is a link round in a loop is named as one that cannot be read.
  if (kWindows) return;
  std::filesystem::remove(dir / "first/dwells.csv");
  std::filesystem::create_symlink("dwells.csv", dir / "first/dwells.csv");
  const Outcome looped = session.Load({dir / "first/molecule_0001.dat"});
  ASSERT_TRUE(looped.done);
  EXPECT_NE(Texts(looped).find("dwells.csv: cannot be opened: Too many levels of symbolic links"), std::string::npos)
      << Texts(looped);
}

}  // namespace
