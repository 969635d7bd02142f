// An import of idealised traces into the session: the new folder beside the traces, the load that
// follows, and what a refused import leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

// The import command's words: its options, then the paths.
std::vector<std::string> ImportWords(std::vector<std::string> words) {
  words.insert(words.begin(), "import");
  return words;
}

TEST(SessionImport, ReportsGoIntoANewFolderBesideTheTracesAndAreLoaded) {
  TempDir dir;
  Session session;
  std::filesystem::create_directory(dir.path() / "traces");
  dir.Write("traces/a.txt", "0.2\n0.2\n0.8\n");
  dir.Write("traces/b.txt", "0.8\n0.2\n");
  const std::string a = (dir.path() / "traces" / "a.txt").string(), b = (dir.path() / "traces" / "b.txt").string();
  EXPECT_EQ(Said(session, ImportWords({a, b})), std::vector<std::string>{});
  // K is the session's, 10 at start: the load reads 10 x 10 records from each report.
  ASSERT_EQ(session.Records().size(), 200u);
  EXPECT_EQ(session.Records()[1].initial, 0.2);
  EXPECT_EQ(session.Records()[1].final, 0.8);
  EXPECT_EQ(session.Records()[1].rate, 0.5);
  EXPECT_EQ(std::filesystem::path(session.OutputFolder()), dir.path() / "traces" / "varnel-reports" / "");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "traces" / "varnel-reports" / "3dgrid.dat"));

  // Options set K; the folder taken, the next one gets a number.
  EXPECT_EQ(Said(session, ImportWords({"--peaks", "2", b})), std::vector<std::string>{});
  EXPECT_EQ(session.Peaks(), 2);
  EXPECT_EQ(session.Records().size(), 4u);
  EXPECT_EQ(std::filesystem::path(session.OutputFolder()), dir.path() / "traces" / "varnel-reports-2" / "");
}

TEST(SessionImport, ARefusedImportKeepsTheRecordsAndSkippedMoleculesAreTold) {
  TempDir dir;
  Session session;
  dir.Write("a.txt", "0.2\n0.8\n");
  dir.Write("bad.txt", "0.2\noops\n");
  dir.Write("one.txt", "0.5\n");
  ASSERT_TRUE(RunCommand(session, ImportWords({dir / "a.txt"})).outcome.done);
  ASSERT_EQ(session.Records().size(), 100u);

  EXPECT_EQ(Said(session, ImportWords({dir / "a.txt", dir / "bad.txt"})),
            std::vector<std::string>{"Cannot import the traces: " + dir / "bad.txt" +
                                     ":2: \"oops\" where a number belongs (column 1). Nothing was "
                                     "written; the records loaded before are kept."});
  EXPECT_EQ(Said(session, ImportWords({"--peaks", "0", dir / "a.txt"})),
            std::vector<std::string>{"Cannot import the traces: --peaks must be a whole number from 1 to 1000, not "
                                     "'0'. Nothing was written; the records loaded before are kept."});
  ASSERT_TRUE(session.SetPeaks(0).done);
  EXPECT_EQ(Said(session, ImportWords({dir / "a.txt"})),
            std::vector<std::string>{"Peaks in report: enter a whole number from 1 to 1000 to import traces."});
  EXPECT_EQ(session.Records().size(), 100u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "varnel-reports-2"));

  ASSERT_TRUE(session.SetPeaks(3).done);
  const CommandResult skipped = RunCommand(session, ImportWords({dir / "one.txt", dir / "a.txt"}));
  EXPECT_EQ(Texts(skipped.outcome, Severity::Notice),
            std::vector<std::string>{"2 molecules read, 1 report written to " + dir / "varnel-reports-2" +
                                     "; skipped: 1 with fewer than 2 frames (" + dir / "one.txt" + ")."});
  EXPECT_EQ(session.Records().size(), 9u);
}

}  // namespace
