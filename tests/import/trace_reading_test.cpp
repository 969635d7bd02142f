// Trace files as users' programs write them, large or odd: read piece by piece as a whole text
// reads, and numbers with decimal commas or lines of no trace refused with what to do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/importoptions.h"
#include "import/tracefile.h"
#include "import/tracetext.h"
#include "tests/support/temp_dir.h"

namespace {

ImportOptions Options(const std::vector<std::string>& words) {
  std::string error;
  const auto arguments = ParseImportArguments(words, error);
  EXPECT_TRUE(arguments) << error;
  return arguments ? arguments->options : ImportOptions{};
}

std::string Error(const std::string& text, const std::vector<std::string>& words = {}) {
  return ReadTraceText(text, "t.txt", Options(words)).error;
}

TEST(ImportLargeFile, IsReadInPiecesAsTheWholeTextIsWithLinesAcrossEveryPieceEnd) {
  TempDir dir;
  // Rows of many lengths put a piece's end inside a name, a number, a CR LF and a line end;
  // the header, after a byte-order mark, names the columns.
  std::string text = "\xEF\xBB\xBFmolecule;frame;level\r\n";
  for (int row = 0; row < 60000; ++row) {
    const int molecule = row % 7;
    text += "mol " + std::string(static_cast<std::size_t>(molecule), 'x') + ";" + std::to_string(row) + ";" +
            (row / 13 % 3 == 0 ? "0.25" : row / 13 % 3 == 1 ? "0.5" : "0.125e1") + (row % 2 ? "\r\n" : "\n");
  }
  text += "mol ;60000;0.75";  // the last line without its end
  ASSERT_GT(text.size(), std::size_t{8} << 16);
  dir.Write("table.csv", text);
  const ImportOptions options = Options({"--molecule", "molecule", "--value", "level", "--frame", "frame"});
  const TraceReading whole = ReadTraceText(text, dir / "table.csv", options);
  const TraceReading pieces = ReadTraceFile(dir / "table.csv", options);
  ASSERT_EQ(pieces.error, "");
  ASSERT_EQ(whole.error, "");
  ASSERT_EQ(pieces.molecules.size(), 7u);
  for (std::size_t m = 0; m < 7; ++m) {
    EXPECT_EQ(pieces.molecules[m].source, whole.molecules[m].source);
    ASSERT_EQ(pieces.molecules[m].dwells.size(), whole.molecules[m].dwells.size()) << m;
    for (std::size_t d = 0; d < whole.molecules[m].dwells.size(); ++d) {
      EXPECT_EQ(pieces.molecules[m].dwells[d].value, whole.molecules[m].dwells[d].value);
      EXPECT_EQ(pieces.molecules[m].dwells[d].frames, whole.molecules[m].dwells[d].frames);
    }
  }
  EXPECT_EQ(pieces.molecules[0].dwells.back().value, 0.75);
}

TEST(ImportLargeFile, ALineLongerThanAnyTraceHasIsRefusedWithItsNumber) {
  TempDir dir;
  // A file of another kind, or one whose lines end in CR alone, has no line end for a long way.
  const std::string longLine(kLongestTraceLine + 1, '7');
  dir.Write("long.txt", "0.1\n0.2\n" + longLine);
  const std::string why = ": the line is longer than 1048576 bytes, which no row or header of a trace is: is this "
                          "a text file whose lines end in LF or CR LF?";
  EXPECT_EQ(ReadTraceFile(dir / "long.txt", {}).error, dir / "long.txt" + ":3" + why);
  EXPECT_EQ(Error("0.1\n" + longLine + "\n0.2\n"), "t.txt:2" + why);
  // One of the longest length is a line like any other (and no number, here).
  EXPECT_EQ(Error("0.1\n" + longLine.substr(2) + "x\n").rfind("t.txt:2: \"777", 0), 0u);
}

TEST(ImportDecimalComma, IsRefusedWithTheHintToWriteDecimalPoints) {
  const std::string hint = " is written with a decimal comma; write numbers with a decimal point, as ";
  const std::string separate = ", and separate the columns by tabs, semicolons, commas or blanks";
  // Between semicolons, tabs or blanks; under a header of two names; in a molecule's table.
  EXPECT_EQ(Error("0,1;0,2\n0,3;0,4\n"), "t.txt:1: \"0,1\"" + hint + "0.1" + separate);
  EXPECT_EQ(Error("a;b\n0,1;0,2\n"), "t.txt:2: \"0,1\"" + hint + "0.1" + separate);
  EXPECT_EQ(Error("frame\tstate\n1\t0,5\n2\t0,5\n"), "t.txt:2: \"0,5\"" + hint + "0.5" + separate);
  EXPECT_EQ(Error("1 -2,5e-3\n"), "t.txt:1: \"-2,5e-3\"" + hint + "-2.5e-3" + separate);
  EXPECT_EQ(Error("\"0,1\";\"0,2\"\n"), "t.txt:1: \"0,1\"" + hint + "0.1" + separate);
  EXPECT_EQ(Error("mol a;1;0,5\n", {"--molecule", "1", "--value", "3"}),
            "t.txt:1: \"0,5\"" + hint + "0.5" + separate);
  // Below rows without one, in the row it is in.
  EXPECT_EQ(Error("1;2\n2;2\n3;0,75\n"), "t.txt:3: \"0,75\"" + hint + "0.75" + separate);
  // Commas that separate numbers are no decimal commas, blanks around them or not.
  EXPECT_EQ(Error("1,5\n2,5\n"), "");
  EXPECT_EQ(Error("1, 5\n2, 5\n"), "");
  EXPECT_EQ(Error("# 0,5 mM salt\nt v\n1 0.5\n2 0.5\n"), "");
}

TEST(ImportDecimalComma, IsANumberOfDigitsOnBothSidesOfOneComma) {
  for (const char* field : {"0,1", "-0,1", "+12,50", "1,5E+3", "1,5e-3"}) EXPECT_TRUE(IsDecimalComma(field)) << field;
  for (const char* field : {"", ",5", "1,", "1,5,5", "1.5", "1,5e", "a,5", "1,5 ", "1;5"})
    EXPECT_FALSE(IsDecimalComma(field)) << field;
}

}  // namespace
