// The window's buttons of an analysis, each reaching the session: "Load Files" through its file
// dialog, "Fit Gaussian" on the shown class with its fields and the rate's tip, "Dump Log" and
// "Results...". What each operation does is the session's tests' to show.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "analysis/commands.h"
#include "res/resource.h"
#include "tests/support/dialog_fixture.h"

namespace {

class ButtonsTest : public DialogTest {
 protected:
  std::string Tip(int id) const { return dlg->FindControl(id)->tip; }
};

TEST_F(ButtonsTest, LoadLockFitAndLogGoThroughTheSessionAndTheFieldsShowWhatItKeeps) {
  // Cancel: one multiple selection of reports was asked for, and nothing changed.
  const MapImage testImage = dlg->m_basePixels;
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_EQ(host.messages, std::vector<std::string>{"Lock cutoffs first."});
  EXPECT_FALSE(dlg->m_drawFitCurve);
  Click(IDC_LOAD_FILES);
  ASSERT_TRUE(host.lastFileRequest);
  EXPECT_TRUE(host.lastFileRequest->open);
  EXPECT_TRUE(host.lastFileRequest->multiSelect);
  EXPECT_EQ(host.lastFileRequest->initialDir, "");
  ASSERT_EQ(host.lastFileRequest->filters.size(), 1u);
  EXPECT_EQ(host.lastFileRequest->filters[0].first, "DAT Files (*.dat)");
  EXPECT_EQ(host.lastFileRequest->filters[0].second, "*.dat");
  EXPECT_TRUE(dlg->m_session.Records().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "3dgrid.dat"));
  EXPECT_TRUE(std::equal(testImage.data(), testImage.data() + kMapCells * kMapCells, dlg->m_basePixels.data()));

  // A copy of the example reports: the files go beside them, and the next dialog opens there.
  const std::filesystem::path reports = dir.path() / "reports";
  std::filesystem::copy(std::filesystem::path(VARNEL_SOURCE_DIR) / "examples" / "reports", reports);
  std::vector<std::string> chosen;
  for (const auto& entry : std::filesystem::directory_iterator(reports)) chosen.push_back(entry.path().string());
  std::sort(chosen.begin(), chosen.end());
  host.fileAnswers.push_back(chosen);
  const int busyBefore = host.busyCalls;
  Click(IDC_LOAD_FILES);
  EXPECT_GT(host.busyCalls, busyBefore);
  host.messages.clear();
  ASSERT_EQ(dlg->m_session.Files().size(), 60u);
  EXPECT_TRUE(std::filesystem::exists(reports / "3dgrid.dat"));
  Click(IDC_LOAD_FILES);
  EXPECT_EQ(std::filesystem::path(host.lastFileRequest->initialDir), reports / "");

  // The fit of the shown class; its interval follows in the background, and the log waits for it.
  Type(IDC_STATE_COUNT, "3");
  Click(IDC_LOCK_CUTOFFS);
  Click(IDC_PICK_NEXT);
  const int busyBeforeFit = host.busyCalls;
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
  EXPECT_GT(host.busyCalls, busyBeforeFit);
  const ClassFit* fit = dlg->m_session.FitOf(1, 2);
  ASSERT_NE(fit, nullptr);
  EXPECT_EQ(dlg->m_kineticRate, fit->rate);
  EXPECT_EQ(dlg->m_rateStdev, fit->stdev);
  EXPECT_EQ(Text(IDC_KINETIC_RATE), FormatField(fit->rate));
  EXPECT_EQ(Text(IDC_GAUSS_AMPLITUDE), FormatField(dlg->m_gaussAmplitude));
  EXPECT_EQ(Tip(IDC_KINETIC_RATE).rfind("95 % interval computing... (bootstrap over ", 0), 0u) << Tip(IDC_KINETIC_RATE);
  Click(IDC_DUMP_LOG);
  EXPECT_TRUE(host.messages.empty()) << host.messages.front();
  EXPECT_EQ(Tip(IDC_KINETIC_RATE).find("computing"), std::string::npos);
  EXPECT_NE(Tip(IDC_KINETIC_RATE).find(" replicates, percentile)"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(reports / "results.csv"));
  dlg->SendMessage(WM_SYSCOMMAND, IDM_RESULTS);
  ASSERT_EQ(host.tables.size(), 1u);
  EXPECT_EQ(host.tables[0].rows, ResultsTable(dlg->m_session).rows);

  // The tip says when the exposure shown is not the one the rate was fitted with.
  const double rate = dlg->m_kineticRate;
  Type(IDC_EXPOSURE_TIME, "0.05");
  EXPECT_NE(Tip(IDC_KINETIC_RATE).find("fitted with exposure 0.1 s, not the 0.05 s shown now"), std::string::npos);
  EXPECT_EQ(dlg->m_kineticRate, rate);
  Type(IDC_EXPOSURE_TIME, "0.1");
  EXPECT_EQ(Tip(IDC_KINETIC_RATE).find("fitted with exposure"), std::string::npos);
  Type(IDC_EXPOSURE_TIME, "0.05");
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_EQ(Tip(IDC_KINETIC_RATE).find("fitted with exposure"), std::string::npos);
  EXPECT_NEAR(dlg->m_kineticRate, 2 * rate, 1e-12 * rate);

  // A fit refused stores nothing and changes no field.
  Click(IDC_PICK_PREV);  // 1->1
  host.errors.clear();
  const std::string shown = Text(IDC_KINETIC_RATE);
  SessionTestPeer::List(dlg->m_session, 1, 1) = {0.9122420136067972, 5.0295025199729035e-05};
  auto& counts = SessionTestPeer::Histogram(dlg->m_session, 0, 0).counts;
  counts.fill(0.0);
  counts[49] = counts[0] = 1.0;
  SessionTestPeer::Fit(dlg->m_session, 0, 0).reset();
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_EQ(host.errors, std::vector<std::string>{"The fit of class 1->1 did not converge; no result was stored."});
  EXPECT_EQ(dlg->m_session.FitOf(1, 1), nullptr);
  EXPECT_EQ(Text(IDC_KINETIC_RATE), shown);

  // A new load ends the lock: the fields of the class are cleared, N stays.
  host.fileAnswers.push_back(std::vector<std::string>{chosen.front()});
  Click(IDC_LOAD_FILES);
  EXPECT_FALSE(dlg->m_cutoffsLocked);
  EXPECT_EQ(dlg->m_basePixels[100][10], dlg->m_displayPixels[100][10]);  // no horizontal cutoff line
  for (int id : {IDC_KINETIC_RATE, IDC_RATE_STDEV, IDC_GAUSS_AMPLITUDE, IDC_HIST_MAX, IDC_PICK_FROM, IDC_PICK_TO})
    EXPECT_EQ(Text(id), "0") << id;
  EXPECT_EQ(dlg->m_stateCount, 3);
}

TEST_F(ButtonsTest, ALoadPutsItsReportsAndTransitionsInTheTitleAndARefusedOneLeavesIt) {
  EXPECT_EQ(dlg->GetWindowText(), "Varnel");
  Type(IDC_PEAKS_IN_REPORT, "2");
  dir.Write("a.dat", "h\nh\nh\nh\n0.2 0.2 0.05 0 3\n0.2 0.8 0.05 0 3\n0 0 0 0 0\n0.8 0.8 0 0 0\n");
  dir.Write("b.dat", "h\nh\nh\nh\n0.2 0.2 0 0 0\n0 0 0 0 0\n0.8 0.2 0.05 0 1999\n0.8 0.8 0.05 0 1999\n");
  host.fileAnswers.push_back(std::vector<std::string>{dir / "a.dat", dir / "b.dat"});
  Click(IDC_LOAD_FILES);
  EXPECT_EQ(dlg->GetWindowText(), "Varnel - 2 reports, 2,002 transitions");
  EXPECT_EQ(host.titles, std::vector<std::string>{"Varnel - 2 reports, 2,002 transitions"});
  // A load of which nothing could be read keeps the records and the title.
  dir.Write("empty.dat", "");
  host.fileAnswers.push_back(std::vector<std::string>{dir / "empty.dat"});
  Click(IDC_LOAD_FILES);
  EXPECT_EQ(dlg->GetWindowText(), "Varnel - 2 reports, 2,002 transitions");
}

}  // namespace
