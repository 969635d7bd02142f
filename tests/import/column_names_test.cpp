// Columns named by the header a user's file holds: the header splits as its rows do, so a name
// with blanks in it stands over its own column and no other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/importoptions.h"
#include "import/tracefile.h"

namespace {

// Every row holds the number of its column: what a molecule's dwells hold is the column read.
const std::string kRows = "1,2,3,4,5\n1,2,3,4,5\n";
const std::string kHeader = "Time (s),Donor,Acceptor,FRET,Idealized FRET\n";

TraceReading Read(const std::string& text, const std::vector<std::string>& words) {
  std::string error;
  const auto arguments = ParseImportArguments(words, error);
  EXPECT_TRUE(arguments) << error;
  return ReadTraceText(text, "t.csv", arguments ? arguments->options : ImportOptions{});
}

// The column a one-molecule file's value was read from, or 0 with the error.
double ColumnRead(const std::string& text, const std::vector<std::string>& words) {
  const TraceReading reading = Read(text, words);
  EXPECT_EQ(reading.error, "") << words.back();
  if (reading.molecules.size() != 1 || reading.molecules[0].dwells.empty()) return 0;
  return reading.molecules[0].dwells[0].value;
}

TEST(ImportColumnNames, ACommaHeaderSplitsAtItsCommasAlone) {
  const std::string text = kHeader + kRows;
  EXPECT_EQ(ColumnRead(text, {"--column", "Idealized FRET"}), 5);
  EXPECT_EQ(ColumnRead(text, {"--column", "FRET"}), 4);
  EXPECT_EQ(ColumnRead(text, {"--column", "acceptor"}), 3);
  // Blanks around a name, or in quotes about it, are no part of it.
  EXPECT_EQ(ColumnRead("t , \" Donor \" , v\n1, 2, 3\n", {"--column", "donor"}), 2);
}

TEST(ImportColumnNames, SemicolonAndTabFilesKeepTheBlanksInTheirNames) {
  EXPECT_EQ(ColumnRead("Time (s);Idealized FRET;Raw FRET\n1;2;3\n2;2;3\n", {"--column", "idealized fret"}), 2);
  EXPECT_EQ(ColumnRead("Time (s)\tIdealized FRET\tRaw FRET\n1\t2\t3\n2\t 2 \t3\n", {"--column", "Raw FRET"}), 3);
  // A table of molecules whose names hold blanks, under a header of such names.
  const TraceReading table = Read("Molecule ID;Frame No;Idealized FRET\nmol a;1;0.5\nmol b;1;0.25\n",
                                  {"--molecule", "molecule id", "--value", "Idealized FRET", "--frame", "frame no"});
  ASSERT_EQ(table.error, "");
  ASSERT_EQ(table.molecules.size(), 2u);
  EXPECT_EQ(table.molecules[1].source, "t.csv, molecule mol b");
  EXPECT_EQ(table.molecules[1].dwells[0].value, 0.25);
}

TEST(ImportColumnNames, AWhitespaceHeaderStillSplitsAtBlanks) {
  // Rows of blanks and tabs mixed, as ever; a tab in the rows alone says nothing of the header.
  EXPECT_EQ(ColumnRead("frame  value signal\n1\t2 3\n2\t2 3\n", {"--column", "value"}), 2);
  EXPECT_EQ(ColumnRead("# a comment, with a comma\nframe value\n1 2\n", {"--column", "VALUE"}), 2);
}

TEST(ImportColumnNames, AnAmbiguousMissingOrShiftedNameIsRefusedWithTheHeaderNames) {
  const std::string names = "\"Time (s)\", \"Donor\", \"Acceptor\", \"FRET\", \"Idealized FRET\"";
  EXPECT_EQ(Read(kHeader + kRows, {"--column", "Idealized"}).error,
            "t.csv:1: no column named \"Idealized\" in this header line: " + names);
  EXPECT_EQ(Read("FRET,fret ,x\n1,2,3\n", {"--column", "Fret"}).error,
            "t.csv:1: more than one column named \"Fret\" in this header line: \"FRET\", \"fret\", \"x\"");
  // A whitespace header over rows of fewer columns would put a name over another's values.
  EXPECT_EQ(Read("Time (s) FRET\n1 2\n", {"--column", "FRET"}).error,
            "t.csv:2: the header line names 3 columns, but the rows have 2: \"Time\", \"(s)\", \"FRET\"");
  // A molecule column named twice is refused too, not read from the first of them.
  EXPECT_EQ(Read("id;ID;v\na;2;1\n", {"--molecule", "id", "--value", "v"}).error,
            "t.csv:1: more than one column named \"id\" in this header line: \"id\", \"ID\", \"v\"");
}

TEST(ImportColumnNames, AHeaderOfOtherCountThanTheRowsIsRefusedWithBothCountsInEveryLayout) {
  // A semicolon header over rows of commas: the name is there, but over no column.
  EXPECT_EQ(Read("Time;Idealized FRET\n1,2\n2,2\n", {"--column", "Idealized FRET"}).error,
            "t.csv:2: the header line names 1 column, but the rows have 2: \"Time;Idealized FRET\"");
  EXPECT_EQ(Read("id,v\na,1,2\n", {"--molecule", "id", "--value", "v"}).error,
            "t.csv:2: the header line names 2 columns, but the rows have 3: \"id\", \"v\"");
  EXPECT_EQ(Read("molecule\tlevel length\n1\t0.5\t2\n", {"--dwells", "--molecule", "molecule", "--length", "3"}).error,
            "t.csv:2: the header line names 2 columns, but the rows have 3: \"molecule\", \"level length\"");
  // Columns given by number do not read the header, whatever it holds.
  EXPECT_EQ(Read("# exported 2024-05-01, 3 columns\n1 2 3\n", {"--column", "3"}).error, "");
}

}  // namespace
