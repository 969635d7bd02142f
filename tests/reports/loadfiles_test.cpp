// A load: where each report's records land, the layouts a report may have, and what a report
// that falls short or a load too large for memory does.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/reports/map_fixture.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

// Records f * 100 + r: initial (f + 1) / 10 + r / 1000, final 0.9 - r / 1000, and so on.
std::vector<TransitionRecord> NumberedRecords(int file, int count) {
  std::vector<TransitionRecord> records;
  for (int r = 0; r < count; ++r)
    records.push_back(
        {(file + 1) / 10.0 + r / 1000.0, 0.9 - r / 1000.0, 0.01 * (r + 1), 1000.0 * file + r, 1.0 + r % 3});
  return records;
}

void ExpectRecord(const Session& session, int index, const TransitionRecord& r) {
  const TransitionRecord loaded = session.Records()[static_cast<std::size_t>(index)];
  EXPECT_EQ(loaded.initial, r.initial) << index;
  EXPECT_EQ(loaded.final, r.final) << index;
  EXPECT_EQ(loaded.rate, r.rate) << index;
  EXPECT_EQ(loaded.spare, r.spare) << index;
  EXPECT_EQ(loaded.count, r.count) << index;
}

void ExpectEmptyRecord(const Session& session, int index) { ExpectRecord(session, index, {0, 0, 0, 0, 0}); }

// A session whose files go to a folder of the test's own.
class SessionLoadTest : public ::testing::Test {
 protected:
  // Loads `paths` as "Load Files" does; what it says is kept as the window would show it.
  void Load(const std::vector<std::string>& paths) {
    const Outcome outcome = session.Load(paths);
    for (const Message& m : outcome.messages) {
      messages.push_back(m.text);
      (m.severity == Severity::Error ? errors : notices).push_back(m.text);
    }
  }

  TempDir dir;  // the current directory while the test runs
  Session session;
  std::vector<std::string> messages, errors, notices;  // every one, in order
};

// K = 10 and three reports: 300 records, the second report's at 100 ... 199, the output folder
// that of the first report, where the map's file appears.
TEST_F(SessionLoadTest, ReportsFillTheArraysInSelectionOrder) {
  std::filesystem::create_directories(dir / "first");
  std::filesystem::create_directories(dir / "other");
  dir.Write("first/b.dat", ReportText(NumberedRecords(0, 100)));
  dir.Write("other/a.dat", ReportText(NumberedRecords(1, 100)));
  dir.Write("other/c.dat", ReportText(NumberedRecords(2, 100)));
  Load({dir / "first/b.dat", dir / "other/a.dat", dir / "other/c.dat"});

  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(session.Records().size(), 300u);
  for (int f = 0; f < 3; ++f)
    for (int r : {0, 57, 99}) ExpectRecord(session, f * 100 + r, NumberedRecords(f, 100)[static_cast<std::size_t>(r)]);
  EXPECT_EQ(std::filesystem::path(session.OutputFolder()), std::filesystem::path(dir / "first/"));
  const std::string file = dir.Read("first/3dgrid.dat");
  EXPECT_EQ(Lines(file).size(), 300u + 201u);
  EXPECT_EQ(Lines(file)[100], Padded("0.2", 20) + Padded("0.9", 20) + Padded("0.01", 20));
  EXPECT_FALSE(std::filesystem::exists(dir / "3dgrid.dat"));
}

// However the numbers are spread over lines, the records are the same; what follows the
// K x K-th record is not read; header lines of any length are skipped.
TEST_F(SessionLoadTest, LayoutsOfAReport) {
  session.SetPeaks(2);
  const auto records = NumberedRecords(3, 4);
  const std::string header = std::string(998, 'h') + "\n" + std::string(5000, 'x') + "\n\n" + "1 2 3 4 5\n";
  std::string oneLine, onePerLine;
  for (const auto& r : records)
    for (double v : {r.initial, r.final, r.rate, r.spare, r.count}) {
      std::ostringstream number;
      number << std::setprecision(17) << v;
      oneLine += number.str() + " \t ";
      onePerLine += "\n\n" + number.str();
    }
  dir.Write("line.dat", header + oneLine);  // no line end after the last number either
  dir.Write("column.dat", header + onePerLine + "\n");
  dir.Write("longer.dat", ReportText(NumberedRecords(3, 6)) + "not a number\n");
  Load({dir / "line.dat", dir / "column.dat", dir / "longer.dat"});

  EXPECT_TRUE(messages.empty()) << messages[0];
  ASSERT_EQ(session.Records().size(), 12u);
  for (int f = 0; f < 3; ++f)
    for (int r = 0; r < 4; ++r) ExpectRecord(session, f * 4 + r, records[static_cast<std::size_t>(r)]);
}

TEST_F(SessionLoadTest, NoPeaksLoadNoRecords) {
  session.SetPeaks(0);
  dir.Write("a.dat", ReportText(NumberedRecords(0, 4)));
  Load({dir / "a.dat", dir / "missing.dat"});
  EXPECT_EQ(session.Records().size(), 0u);
  EXPECT_TRUE(messages.empty());
  const auto lines = Lines(dir.Read("3dgrid.dat"));
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines[0], lines[200]);
  EXPECT_EQ(lines[0].find_first_not_of(" 0"), std::string::npos);
  ExpectColourIndices(session.Grid(), std::vector<int>(201 * 201, 0));
}

// A report that cannot be opened, ends early or holds text where a number belongs gives zeros
// for the records it lacks; the later reports are still read, and one message names them all.
TEST_F(SessionLoadTest, ShortReportsGiveZerosAndOneMessage) {
  session.SetPeaks(2);
  const auto records = NumberedRecords(4, 4);
  const std::string full = ReportText(records);
  const auto lines = Lines(full);  // four header lines, then one record per line
  const auto firstNumbers = [](const std::string& line, int count) {
    std::istringstream in(line);
    std::string kept, word;
    for (int k = 0; k < count && in >> word; ++k) kept += word + " ";
    return kept;
  };
  // Two whole records and three numbers of the third.
  const std::string cut = lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n" + lines[4] + "\n" +
                          lines[5] + "\n" + firstNumbers(lines[6], 3);
  // Text in place of the second record's fourth number.
  const std::string text = lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n" + lines[3] + "\n" + lines[4] + "\n" +
                           firstNumbers(lines[5], 3) + "x001 2\n" + lines[6] + "\n" + lines[7] + "\n";
  dir.Write("cut.dat", cut);
  dir.Write("text.dat", text);
  dir.Write("good.dat", full);
  dir.Write("headers-only.dat", "1\n2\n3\n");
  Load({dir / "missing.dat", dir / "cut.dat", dir / "text.dat", dir / "headers-only.dat", dir / "good.dat"});

  ASSERT_EQ(session.Records().size(), 20u);
  for (int r = 0; r < 4; ++r) ExpectEmptyRecord(session, r);
  ExpectRecord(session, 4, records[0]);
  ExpectRecord(session, 5, records[1]);
  ExpectEmptyRecord(session, 6);  // three of its five numbers were there: not a record
  ExpectEmptyRecord(session, 7);
  ExpectRecord(session, 8, records[0]);
  ExpectEmptyRecord(session, 9);
  for (int r = 10; r < 16; ++r) ExpectEmptyRecord(session, r);
  for (int r = 0; r < 4; ++r) ExpectRecord(session, 16 + r, records[static_cast<std::size_t>(r)]);
  EXPECT_EQ(session.OutputFolder(), (dir.path() / "").string());

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Some reports did not hold all their records; the missing records count as zeros:\n" +
                             (dir / "missing.dat") +
                             ": cannot be opened (No such file or directory), 4 of 4 records missing\n" +
                             (dir / "cut.dat") + ": 2 of 4 records missing\n" + (dir / "text.dat") +
                             ": 3 of 4 records missing\n" + (dir / "headers-only.dat") + ": 4 of 4 records missing");
  // The map was rebuilt from what was read.
  EXPECT_EQ(Lines(dir.Read("3dgrid.dat")).size(), 20u + 201u);
}

// 2,148 reports of 1000 x 1000 records are more than the record count can hold: the load is
// refused before anything is read, and the records, the output folder and the map stay.
TEST_F(SessionLoadTest, LoadTooLargeIsRefusedAndTheOldRecordsStay) {
  session.SetPeaks(1);
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  Load({dir / "one.dat"});
  const std::string file = dir.Read("3dgrid.dat");

  session.SetPeaks(1000);
  std::vector<std::string> many;
  for (int f = 0; f < 2148; ++f) many.push_back(dir / ("elsewhere/" + std::to_string(f) + ".dat"));
  Load(many);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "Cannot load 2148 files of 1000 x 1000 records: 2148000000 records are more than Varnel can hold. "
            "The records loaded before are kept.");
  EXPECT_EQ(session.Records().size(), 1u);
  ExpectRecord(session, 0, {0.25, 0.75, 0.01, 0, 3});
  EXPECT_EQ(session.OutputFolder(), (dir.path() / "").string());
  EXPECT_EQ(dir.Read("3dgrid.dat"), file);
  EXPECT_EQ(IndexAt(session.Grid(), 50, 150), 255);
}

// Results belong to their data: a new load ends the lock and forgets the classes, histograms
// and fits of the old records; the cutoffs and N are the user's settings and stay.
TEST_F(SessionLoadTest, ASecondLoadEndsTheLockAndForgetsItsResults) {
  session.SetPeaks(1);
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  dir.Write("two.dat", ReportText({{0.6, 0.3, 0.01, 0, 2}}));
  Load({dir / "one.dat"});
  ASSERT_TRUE(session.SetStates(2).done);
  ASSERT_TRUE(session.SetCutoff(0, 0.4) == 0.4);
  ASSERT_TRUE(session.Lock().done);
  ASSERT_TRUE(session.Fit(1, 2).done);
  const Cutoffs cutoffs = session.CutoffValues();

  Load({dir / "two.dat"});
  ASSERT_EQ(session.Records().size(), 1u);
  ExpectRecord(session, 0, {0.6, 0.3, 0.01, 0, 2});
  EXPECT_EQ(IndexAt(session.Grid(), 120, 60), 255);
  EXPECT_EQ(IndexAt(session.Grid(), 50, 150), 0);
  EXPECT_FALSE(session.Locked());
  EXPECT_TRUE(session.Lists().empty());
  EXPECT_EQ(session.Histogram(0, 1).counts[26], 0.0);
  EXPECT_EQ(session.CutoffValues(), cutoffs);
  EXPECT_EQ(session.States(), 2);
  EXPECT_EQ(session.FitOf(1, 2), nullptr);

  EXPECT_EQ(Texts(session.Fit(1, 2)), std::vector<std::string>{"Lock cutoffs first."});
  EXPECT_EQ(Texts(session.SetCircle(1, 2)), std::vector<std::string>{"Lock cutoffs first."});
  EXPECT_TRUE(session.WriteLog().done);
  EXPECT_EQ(Lines(dir.Read("log.dat")).size(), 3u);  // the states, a blank line and the header
}

// Loads take reports only: the program's own files are left out with one notice, and a load in
// which no file is a report is refused as a whole.
TEST_F(SessionLoadTest, TheProgramsOwnFilesAreLeftOutAndALoadWithoutReportsIsRefused) {
  session.SetPeaks(1);
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  Load({dir / "one.dat"});
  const std::string grid = dir.Read("3dgrid.dat");
  dir.Write("log.dat", "Assumed there were 2 real states\n");
  dir.Write("12,3rates.dat", "0.5\n0.25\n0.125\n0.0625\n0.03\n");
  dir.Write("b.dat", ReportText({{0.6, 0.3, 0.01, 0, 2}}));
  Load({dir / "3dgrid.dat", dir / "b.dat", dir / "log.dat", dir / "12,3rates.dat"});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0],
            "Left out 3 files that Varnel writes itself and that are no reports:\n3dgrid.dat\nlog.dat\n12,3rates.dat");
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(session.Records().size(), 1u);
  ExpectRecord(session, 0, {0.6, 0.3, 0.01, 0, 2});

  // A table of numbers renamed to .dat, and a report too short for its header: nothing to load.
  dir.Write("table.dat", "a,b,c\n1,2,3\n4,5,6\n");
  dir.Write("short.dat", "only\na header\n");
  const std::string before = dir.Read("3dgrid.dat");
  Load({dir / "table.dat", dir / "short.dat", dir / "missing.dat"});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0],
            "None of the chosen files could be read as a report (four header lines, then records of five "
            "numbers). The records loaded before are kept:\ntable.dat\nshort.dat\nmissing.dat");
  ExpectRecord(session, 0, {0.6, 0.3, 0.01, 0, 2});
  EXPECT_EQ(dir.Read("3dgrid.dat"), before);
  EXPECT_NE(before, grid);
}

}  // namespace
