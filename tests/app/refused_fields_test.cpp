// An action never runs on a value its edit refuses: it names the field and what it takes, and
// does nothing else. The edits show such text as refused from the keystroke on.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/reports/map_dialog.h"

namespace {

using RefusedFieldsTest = MapTest;

TEST_F(RefusedFieldsTest, ActionsThatReadARefusedFieldOnlySayWhatItTakes) {
  dlg->m_session.SetPeaks(1);
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  host.fileAnswers.push_back(std::vector<std::string>{dir / "one.dat"});
  Click(IDC_LOAD_FILES);
  Type(IDC_STATE_COUNT, "2");
  Click(IDC_LOCK_CUTOFFS);
  Click(IDC_PICK_NEXT);
  const Cutoffs cutoffs = dlg->m_cutoffs;

  // A decimal comma, a unit, a letter, a stray character: each edit is marked as it is typed.
  Paste(IDC_EXPOSURE_TIME, "0,05");
  Paste(IDC_CUTOFF_VALUE, "0.4s");
  Paste(IDC_PEAKS_IN_REPORT, "1x");
  Paste(IDC_STATE_COUNT, "2#");
  for (int id : {IDC_EXPOSURE_TIME, IDC_CUTOFF_VALUE, IDC_PEAKS_IN_REPORT, IDC_STATE_COUNT})
    EXPECT_FALSE(dlg->FindControl(id)->invalidMessage.empty()) << id;

  host.fileAnswers.push_back(std::vector<std::string>{dir / "one.dat"});
  for (int id : {IDC_FIT_GAUSSIAN, IDC_REFRESH_CUTOFFS, IDC_LOAD_FILES, IDC_LOCK_CUTOFFS}) Click(id);
  EXPECT_EQ(host.errors, (std::vector<std::string>{
                             "Exposure time (s): enter a number from 1e-9 to 3600, for example 0.05.",
                             "Cutoff: enter a number from 0 to 1, for example 0.5.",
                             "Peaks in report: enter a whole number from 0 to 1000.",
                             "Number of states: enter a whole number from 1 to 10.",
                         }));
  EXPECT_FALSE((dlg->m_session.FitOf(1, 2) != nullptr));
  EXPECT_EQ(dlg->m_cutoffs, cutoffs);
  EXPECT_EQ(host.fileAnswers.size(), 1u);  // no file dialog was shown
  EXPECT_FALSE(std::filesystem::exists(dir / "1,2rates.dat"));

  // An exposure so short that rates would not be finite is no exposure either.
  Paste(IDC_EXPOSURE_TIME, "1e-320");
  EXPECT_FALSE(dlg->FindControl(IDC_EXPOSURE_TIME)->invalidMessage.empty());
  Paste(IDC_EXPOSURE_TIME, "0.05");
  EXPECT_TRUE(dlg->FindControl(IDC_EXPOSURE_TIME)->invalidMessage.empty());
  Click(IDC_FIT_GAUSSIAN);
  EXPECT_TRUE((dlg->m_session.FitOf(1, 2) != nullptr));
  EXPECT_EQ(dlg->m_exposureTime, 0.05);
}

}  // namespace
