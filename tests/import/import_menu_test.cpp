// "Import idealised traces..." of the system menu: the file dialog, the new folder beside the
// traces, the load that follows, and what a refused import leaves.
#include <gtest/gtest.h>

#include <filesystem>

#include "res/resource.h"
#include "tests/support/dialog_fixture.h"

namespace {

class ImportMenuTest : public DialogTest {
 protected:
  // Answers the next file dialog with `answer` and chooses the menu entry.
  void Import(const std::vector<std::string>& answer) {
    host.fileAnswers.push_back(answer);
    dlg->SendMessage(WM_SYSCOMMAND, IDM_IMPORT_TRACES);
  }
};

TEST_F(ImportMenuTest, ReportsGoIntoANewFolderBesideTheTracesAndAreLoaded) {
  std::filesystem::create_directory(dir / "traces");
  dir.Write("traces/a.txt", "0.2\n0.2\n0.8\n");
  dir.Write("traces/b.txt", "0.8\n0.2\n");
  Import({dir / "traces/a.txt", dir / "traces/b.txt"});
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
  ASSERT_TRUE(host.lastFileRequest);
  EXPECT_TRUE(host.lastFileRequest->multiSelect);
  EXPECT_NE(host.lastFileRequest->optionWords, nullptr);
  // K is the peaks field's, 10 at start: the load reads 10 x 10 records from each report.
  EXPECT_EQ(dlg->m_session.Records().size(), 200u);
  EXPECT_EQ(dlg->m_session.Records()[1].initial, 0.2);
  EXPECT_EQ(dlg->m_session.Records()[1].final, 0.8);
  EXPECT_EQ(dlg->m_session.Records()[1].rate, 0.5);
  EXPECT_EQ(dlg->m_session.OutputFolder(), (dir.path() / "traces" / "varnel-reports" / "").string());
  EXPECT_TRUE(std::filesystem::exists(dir / "traces/varnel-reports/3dgrid.dat"));

  // Options that came with the files (a script's, or those chosen in the window) set K, and the
  // field shows it; the folder taken, the next one gets a number.
  Import({"--peaks", "2", dir / "traces/b.txt"});
  EXPECT_EQ(Text(IDC_PEAKS_IN_REPORT), "2");
  EXPECT_EQ(dlg->m_session.Records().size(), 4u);
  EXPECT_EQ(dlg->m_session.OutputFolder(), (dir.path() / "traces" / "varnel-reports-2" / "").string());
}

TEST_F(ImportMenuTest, ARefusedImportKeepsTheRecordsAndSkippedMoleculesAreTold) {
  dir.Write("a.txt", "0.2\n0.8\n");
  dir.Write("bad.txt", "0.2\noops\n");
  dir.Write("one.txt", "0.5\n");
  Import({dir / "a.txt"});
  ASSERT_EQ(dlg->m_session.Records().size(), 100u);

  Import({dir / "a.txt", dir / "bad.txt"});
  EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot import the traces: " + dir / "bad.txt" +
                                                  ":2: \"oops\" where a number belongs (column 1). Nothing was "
                                                  "written; the records loaded before are kept."});
  Import({"--peaks", "0", dir / "a.txt"});
  EXPECT_EQ(host.errors.back(),
            "Cannot import the traces: --peaks must be a whole number from 1 to 1000, not '0'. "
            "Nothing was written; the records loaded before are kept.");
  Type(IDC_PEAKS_IN_REPORT, "x");
  Import({dir / "a.txt"});
  EXPECT_EQ(host.errors.back(), "Peaks in report: enter a whole number from 0 to 1000.");
  EXPECT_EQ(dlg->m_session.Records().size(), 100u);
  EXPECT_FALSE(std::filesystem::exists(dir / "varnel-reports-2"));

  Type(IDC_PEAKS_IN_REPORT, "3");
  Import({dir / "one.txt", dir / "a.txt"});
  EXPECT_EQ(host.notices, std::vector<std::string>{"2 molecules read, 1 report written to " + dir / "varnel-reports-2" +
                                                   "; skipped: 1 with fewer than 2 frames (" + dir / "one.txt" + ")."});
  EXPECT_EQ(dlg->m_session.Records().size(), 9u);
}

}  // namespace
