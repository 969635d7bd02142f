// Imports as a user runs them: every layout of the same molecules gives the same reports, which
// "Load Files" reads back exactly; bad input is named by file and line and writes nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "import/counting.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "reports/reportfile.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPeaks = 3;

// Two molecules, frame by frame.
const std::vector<double> kFirst = {0.25, 0.25, 0.75, 0.75, 0.5, 0.25, 0.25, 0.5};
const std::vector<double> kSecond = {0.5, 0.5, 0.5, 0.75, 0.5};

ImportOptions Options(const std::vector<std::string>& words) {
  std::string error;
  const auto arguments = ParseImportArguments(words, error);
  EXPECT_TRUE(arguments) << error;
  return arguments ? arguments->options : ImportOptions{};
}

ImportResult Import(const std::vector<std::string>& paths, const std::vector<std::string>& words,
                    const std::string& folder) {
  return ImportTraces(paths, Options(words), kPeaks, folder);
}

// The records of a report as "Load Files" reads them.
TransitionRecords Loaded(const std::string& path) {
  TransitionRecords records(kPeaks * kPeaks);
  EXPECT_EQ(ReadReport(path, records.size(), records, 0).supplied, records.size()) << path;
  return records;
}

TEST(ImportLayouts, EveryLayoutOfTheSameMoleculesGivesTheSameReports) {
  TempDir dir;
  // One molecule per file: a header, commas, CR LF and a byte-order mark in the one; blanks, a
  // comment and the idealised value in column 2 of 3 in the other.
  std::string first = "\xEF\xBB\xBFtime,signal,state\r\n";
  for (std::size_t f = 0; f < kFirst.size(); ++f)
    first += std::to_string(f) + ",0.1," + std::to_string(kFirst[f]) + "\r\n";
  std::string second = "# molecule two\nframe  state  signal\n";
  for (std::size_t f = 0; f < kSecond.size(); ++f)
    second += std::to_string(f) + "\t" + std::to_string(kSecond[f]) + " 7\n";
  dir.Write("first.csv", first);
  dir.Write("second.txt", second);
  // The same as one table, the rows of the molecules mixed and out of frame order.
  std::string table = "id;frame;level\n";
  for (std::size_t f = kFirst.size(); f-- > 0;) {
    table += "a;" + std::to_string(f) + ";" + std::to_string(kFirst[f]) + "\n";
    if (f < kSecond.size()) table += "b;" + std::to_string(f) + ";" + std::to_string(kSecond[f]) + "\n";
  }
  dir.Write("table.csv", table);
  // As dwells, the second molecule's first dwell split in two.
  dir.Write("dwells.txt", "1 0.25 2\n1 0.75 2\n1 0.5 1\n1 0.25 2\n1 0.5 1\n2 0.5 1\n2 0.5 2\n2 0.75 1\n2 0.5 1\n");

  const ImportResult files = Import({dir / "first.csv", dir / "second.txt"}, {"--column", "state"}, dir / "files");
  const ImportResult byNumber = Import({dir / "first.csv"}, {"--column=3"}, dir / "numbered");
  const ImportResult tabled =
      Import({dir / "table.csv"}, {"--molecule", "ID", "--value", "3", "--frame", "frame"}, dir / "table");
  const ImportResult dwells = Import({dir / "dwells.txt"}, {"--dwells"}, dir / "dwells");
  for (const ImportResult* result : {&files, &byNumber, &tabled, &dwells}) {
    ASSERT_EQ(result->error, "");
    EXPECT_TRUE(result->skipped.empty());
  }
  ASSERT_EQ(files.reports.size(), 2u);
  EXPECT_EQ(Listing(dir / "files"),
            (std::vector<std::string>{"dwells.csv", "molecule_0001.dat", "molecule_0002.dat"}));
  EXPECT_EQ(ImportSummary(files), "2 molecules read, 2 reports written to " + dir / "files");
  for (std::size_t m = 0; m < 2; ++m) {
    // What was counted comes back from the file to the last bit.
    const std::vector<Dwell> frames = [&] {
      std::vector<Dwell> d;
      for (const double v : m == 0 ? kFirst : kSecond) AppendFrames(d, v);
      return d;
    }();
    const TransitionRecords expected = ReportRecords(CountTransitions(frames, kPeaks), kPeaks);
    EXPECT_TRUE(Loaded(files.reports[m]) == expected) << m;
    EXPECT_TRUE(Loaded(tabled.reports[m]) == expected) << m;
    EXPECT_TRUE(Loaded(dwells.reports[m]) == expected) << m;
  }
  EXPECT_TRUE(Loaded(byNumber.reports[0]) == Loaded(files.reports[0]));
  EXPECT_EQ(dir.Read("table/molecule_0002.dat").find("\nsource: " + dir / "table.csv" + ", molecule b\n"),
            std::string("varnel-import transition report").size());
}

struct BadInput {
  std::string file;
  std::string content;
  std::vector<std::string> options;
  std::string message;  // after the file's path
};

TEST(ImportBadInput, IsNamedByFileAndLineAndWritesNothing) {
  TempDir dir;
  dir.Write("good.txt", "0.2\n0.8\n");
  const std::vector<BadInput> cases = {
      {"empty.txt", "", {}, ": the file is empty"},
      {"blank.txt", "\xEF\xBB\xBF \r\n\n", {}, ": the file is empty"},
      {"header.txt", "frame value\n# nothing else\n", {}, ": no rows of numbers below the header"},
      {"text.txt", "t v\n1 0.5\n2 0.5x\n", {}, ":3: \"0.5x\" where a number belongs (column 2)"},
      {"nan.txt", "1 0.5\n2 nan\n", {}, ":2: \"nan\" is not a finite number (column 2)"},
      {"inf.csv", "1,0.5\n2,-inf\n", {}, ":2: \"-inf\" is not a finite number (column 2)"},
      {"huge.txt", "1 0.5\n2 1e999\n", {}, ":2: \"1e999\" is not a finite number (column 2)"},
      {"short.txt", "1 0.5\n2 0.5\n3\n", {}, ":3: 1 value where the rows above have 2"},
      {"long.txt", "1 0.5\n2 0.5 9\n", {}, ":2: 3 values where the rows above have 2"},
      {"empty-field.csv", "1,0.5\n2,,0.5\n", {}, ":2: 3 values where the rows above have 2"},
      {"past.txt", "a b\n1 0.5\n", {"--column", "3"}, ":2: --column 3, but the rows have 2 columns"},
      {"noname.txt",
       "1 0.5\n",
       {"--column", "state"},
       ": no header line names the columns; give --column as a column number"},
      {"badname.csv",
       "mol,v\nm1,0.5\n",
       {"--molecule", "mol", "--value", "level"},
       ":1: no column named \"level\" in this header line: \"mol\", \"v\""},
      {"twice.txt",
       "m f v\n1 1 0.5\n1 2 0.5\n1 1 0.7\n",
       {"--molecule", "1", "--value", "3", "--frame", "2"},
       ":4: the frame of line 2 again, for the same molecule"},
      {"dwell.txt",
       "1 0.5 2\n1 0.7 2.5\n",
       {"--dwells"},
       ":2: a dwell lasts a whole number of frames from 1 to 1e9, not 2.5 (column 3)"},
      {"nodwell.txt",
       "1 0.5 0\n",
       {"--dwells"},
       ":1: a dwell lasts a whole number of frames from 1 to 1e9, not 0 (column 3)"},
  };
  for (const BadInput& bad : cases) {
    dir.Write(bad.file, bad.content);
    // After a good file, nothing of the good one is written either.
    const std::vector<std::string> paths =
        bad.options.empty() ? std::vector<std::string>{dir / "good.txt", dir / bad.file} : std::vector{dir / bad.file};
    const ImportResult result = Import(paths, bad.options, dir / "out");
    EXPECT_EQ(result.error, dir / bad.file + bad.message) << bad.file;
    EXPECT_TRUE(result.reports.empty()) << bad.file;
  }
  EXPECT_EQ(Import({dir / "missing.txt"}, {}, dir / "out").error,
            dir / "missing.txt" + ": cannot be opened: No such file or directory");
  EXPECT_EQ(Import({dir.path().string()}, {}, dir / "out").error, dir.path().string() + ": is not a file");
#ifndef _WIN32
  // (Windows has no named pipes in its folders.)
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(Import({dir / "pipe"}, {}, dir / "out").error, dir / "pipe" + ": is not a file");
  // Nothing was written, and no temporary folder is left behind.
  EXPECT_EQ(Listing(dir.path()).size(), cases.size() + 2);
#endif
}

TEST(ImportBadInput, OptionsThatDoNotGoTogether) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--peaks", "0"}, "--peaks must be a whole number from 1 to 1000, not '0'"},
      {{"--peaks=1001"}, "--peaks must be a whole number from 1 to 1000, not '1001'"},
      {{"--peaks"}, "--peaks needs a value"},
      {{"--bogus", "1"}, "unknown option '--bogus'"},
      {{"--dwells=yes"}, "--dwells takes no value"},
      {{"--value", "2"}, "a table needs both --molecule and --value"},
      {{"--column", "0"}, "--column: columns are numbered from 1"},
      {{"--dwells", "--frame", "2"}, "--column and --frame do not go with --dwells"},
      {{"--frame", "2"}, "--frame goes with --molecule and --value"},
      {{"--prefix", "a/b"}, "--prefix must be a name without '/', not 'a/b'"},
  };
  for (const auto& [words, message] : cases) {
    std::string error;
    EXPECT_FALSE(ParseImportArguments(words, error));
    EXPECT_EQ(error, message);
  }
  // Option words as a file dialog's answer carries them: a value that follows is one of them.
  EXPECT_EQ(ImportOptionWords("--peaks"), 2u);
  EXPECT_EQ(ImportOptionWords("--peaks=3"), 1u);
  EXPECT_EQ(ImportOptionWords("--dwells"), 1u);
  EXPECT_EQ(ImportOptionWords("/data/--peaks"), 0u);
}

TEST(ImportSkips, MoleculesWithTooManyLevelsOrTooFewFramesAreNamedAndTheRestWritten) {
  TempDir dir;
  dir.Write("four.txt", "0.1\n0.2\n0.3\n0.4\n");
  dir.Write("still.txt", "0.5\n0.5\n");
  dir.Write("one.txt", "0.5\n");
  const ImportResult result = Import({dir / "four.txt", dir / "still.txt", dir / "one.txt"}, {}, dir / "out");
  ASSERT_EQ(result.error, "");
  // Numbered as read: the one report is the second molecule's.
  EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"dwells.csv", "molecule_0002.dat"}));
  EXPECT_EQ(ImportSummary(result), "3 molecules read, 1 report written to " + dir / "out" +
                                       "; skipped: 1 with more than 3 levels (" + dir / "four.txt" +
                                       "), 1 with fewer than 2 frames (" + dir / "one.txt" + ")");

  const ImportResult none = Import({dir / "four.txt", dir / "one.txt"}, {}, dir / "none");
  EXPECT_EQ(none.error.rfind("no molecule gives a report: 1 with more than 3 levels", 0), 0u) << none.error;
  EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST(ImportFolder, IsNewOrEmptyAndWrittenWholeOrNotAtAll) {
  TempDir dir;
  dir.Write("trace.txt", "0.2\n0.8\n");
  fs::create_directory(dir / "empty");
  EXPECT_EQ(Import({dir / "trace.txt"}, {}, dir / "empty/").error, "");
  EXPECT_EQ(Listing(dir / "empty"), (std::vector<std::string>{"dwells.csv", "molecule_0001.dat"}));
  // A folder with files in it, or one that cannot be made, gets nothing.
  EXPECT_EQ(Import({dir / "trace.txt"}, {}, dir / "empty").error,
            dir / "empty" + " already holds files; the reports go into a new or empty folder");
  // (Windows says a path through a file is not there.)
  EXPECT_EQ(Import({dir / "trace.txt"}, {}, dir / "trace.txt/reports").error,
            "cannot write in " + dir / "trace.txt" + (kWindows ? ": No such file or directory" : ": Not a directory"));
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"empty", "trace.txt"}));
}

}  // namespace
