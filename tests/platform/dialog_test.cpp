// The dialog layer: data exchange, its bad-text rule, notification lockout and dispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/afxwin.h"
#include "res/resource.h"
#include "tests/support/test_host.h"

namespace {

// A dialog on the main template with a few bound fields and handlers that log what they see.
class ProbeDialog : public CDialog {
 public:
  ProbeDialog() : CDialog(IDD_VARNEL_DIALOG) {}

  int count = 0;
  double value = 0;
  int peaks = 0;
  BOOL box = FALSE;
  CComboBox list;
  std::vector<std::string> log;

  void OnCountChange() { log.push_back("count:" + std::string(FindControl(IDC_STATE_COUNT)->text)); }
  void OnBoxClicked() {
    UpdateData(TRUE);
    log.push_back("box:" + std::to_string(box));
  }
  void OnListChange() { log.push_back("list:" + std::to_string(list.GetCurSel())); }
  void OnLoad() { log.push_back("load"); }
  void OnLoadAgain() { log.push_back("second entry"); }
  void OnSys(UINT id, LPARAM) {
    log.push_back("sys:" + std::to_string(id));
    if (id != 0x10) CDialog::OnSysCommand(id, 0);
  }

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDC_CUTOFF_LIST, list);
    DDX_Text(dx, IDC_STATE_COUNT, count, IntLimits{1, 10});
    DDX_Text(dx, IDC_EXPOSURE_TIME, value, DoubleLimits{0.0, true});
    DDX_Text(dx, IDC_PEAKS_IN_REPORT, peaks);
    DDX_Check(dx, IDC_WEIGHT_BY_COUNT, box);
  }
  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    return DispatchMessageMap<ProbeDialog>(*this, kMap, message, wParam, lParam, result);
  }

 private:
  static constexpr MessageMapEntry<ProbeDialog> kMap[] = {
      OnWmSysCommand(&ProbeDialog::OnSys),
      OnEnChange(IDC_STATE_COUNT, &ProbeDialog::OnCountChange),
      OnBnClicked(IDC_WEIGHT_BY_COUNT, &ProbeDialog::OnBoxClicked),
      OnCbnSelChange(IDC_CUTOFF_LIST, &ProbeDialog::OnListChange),
      OnBnClicked(IDC_LOAD_FILES, &ProbeDialog::OnLoad),
      OnBnClicked(IDC_LOAD_FILES, &ProbeDialog::OnLoadAgain),  // never reached: the first entry wins
  };
};

class DialogLayerTest : public ::testing::Test {
 protected:
  void SetUp() override { dlg.Realise(); }
  Control& Edit(int id) { return *dlg.FindControl(id); }
  TestHost host;
  ProbeDialog dlg;
};

TEST_F(DialogLayerTest, WritesIntegersAsDecimalAndDoublesWithFifteenSignificantDigits) {
  dlg.count = 7;
  dlg.value = 1.0 / 3.0;
  dlg.peaks = -12;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(Edit(IDC_STATE_COUNT).text, "7");
  EXPECT_EQ(Edit(IDC_EXPOSURE_TIME).text, "0.333333333333333");
  EXPECT_EQ(Edit(IDC_PEAKS_IN_REPORT).text, "-12");
  dlg.value = 0.1;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(Edit(IDC_EXPOSURE_TIME).text, "0.1");
  dlg.value = 1e-7;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(Edit(IDC_EXPOSURE_TIME).text, "1e-07");
}

TEST_F(DialogLayerTest, ReadsTypedText) {
  dlg.UserEditText(IDC_EXPOSURE_TIME, " 2.5e-1 ");
  dlg.UserEditText(IDC_PEAKS_IN_REPORT, "12");
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.value, 0.25);
  EXPECT_EQ(dlg.peaks, 12);
}

TEST_F(DialogLayerTest, ShownValueReadsBackExactly) {
  dlg.value = 1.0 / 3.0;
  dlg.UpdateData(FALSE);
  dlg.value = 0;
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.value, 1.0 / 3.0);  // not 0.333333333333333
}

TEST_F(DialogLayerTest, BadTextLeavesItsFieldAndMarksTheControlOnce) {
  dlg.count = 3;
  dlg.peaks = 4;
  dlg.UpdateData(FALSE);
  dlg.UserEditText(IDC_STATE_COUNT, "3x");
  dlg.UserEditText(IDC_PEAKS_IN_REPORT, "9");
  EXPECT_FALSE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.count, 3);
  EXPECT_EQ(dlg.peaks, 9);  // the exchange went on with the other fields
  EXPECT_EQ(Edit(IDC_STATE_COUNT).invalidMessage, "Please enter an integer between 1 and 10.");
  EXPECT_FALSE(dlg.UpdateData(TRUE));
  ASSERT_EQ(host.invalid.size(), 1u);  // not once per exchange
  EXPECT_EQ(host.invalid[0], "IDC_STATE_COUNT: Please enter an integer between 1 and 10.");
  dlg.UserEditText(IDC_STATE_COUNT, "4");
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.count, 4);
  EXPECT_TRUE(Edit(IDC_STATE_COUNT).invalidMessage.empty());
}

TEST_F(DialogLayerTest, RefusesValuesOutsideTheLimits) {
  dlg.count = 2;
  dlg.value = 0.1;
  dlg.UpdateData(FALSE);
  for (const char* text : {"0", "11", "-1", "99999999999"}) {
    dlg.UserEditText(IDC_STATE_COUNT, text);
    EXPECT_FALSE(dlg.UpdateData(TRUE)) << text;
    EXPECT_EQ(dlg.count, 2) << text;
  }
  for (const char* text : {"0", "-0.5", "nan", "inf", "", "1e999"}) {
    dlg.UserEditText(IDC_EXPOSURE_TIME, text);
    EXPECT_FALSE(dlg.UpdateData(TRUE)) << text;
    EXPECT_EQ(dlg.value, 0.1) << text;
  }
  dlg.UserEditText(IDC_STATE_COUNT, "10");
  dlg.UserEditText(IDC_EXPOSURE_TIME, "1e-300");
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.count, 10);
  EXPECT_EQ(dlg.value, 1e-300);
}

TEST_F(DialogLayerTest, FieldsOwnValueIsNeverRefusedEvenOutsideTheLimits) {
  dlg.count = 0;  // no state count entered yet
  dlg.UpdateData(FALSE);
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_TRUE(host.invalid.empty());
}

TEST_F(DialogLayerTest, ExchangeSendsNoNotificationsAndRewritesOnlyChangedText) {
  dlg.count = 5;
  dlg.UpdateData(FALSE);
  EXPECT_TRUE(dlg.log.empty());  // the edit's text was set during the exchange
  const int changes = host.controlChanges;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(host.controlChanges, changes);
  dlg.count = 6;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(host.controlChanges, changes + 1);
}

TEST_F(DialogLayerTest, TypingNotifiesOncePerKeystroke) {
  dlg.UserEditText(IDC_STATE_COUNT, "1");
  dlg.UserEditText(IDC_STATE_COUNT, "10");
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"count:1", "count:10"}));
}

TEST_F(DialogLayerTest, CheckBoxTogglesBeforeItNotifies) {
  dlg.UserClick(IDC_WEIGHT_BY_COUNT);
  dlg.UserClick(IDC_WEIGHT_BY_COUNT);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"box:1", "box:0"}));
}

TEST_F(DialogLayerTest, OnlyTheUsersPickSendsASelectionChange) {
  dlg.UpdateData(FALSE);  // attaches the list
  dlg.list.InsertString(0, "a");
  dlg.list.InsertString(1, "b");
  dlg.list.SetCurSel(1);
  EXPECT_TRUE(dlg.log.empty());
  dlg.UserSelect(IDC_CUTOFF_LIST, 0);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"list:0"}));
  EXPECT_EQ(Edit(IDC_CUTOFF_LIST).Describe(), "[a] | b");
}

TEST_F(DialogLayerTest, ComboBoxInsertsAtPositions) {
  dlg.UpdateData(FALSE);
  EXPECT_EQ(dlg.list.InsertString(0, "2->3"), 0);
  EXPECT_EQ(dlg.list.InsertString(0, "1->2"), 0);
  EXPECT_EQ(dlg.list.InsertString(5, "x"), CB_ERR);
  EXPECT_EQ(dlg.list.GetCurSel(), CB_ERR);
  EXPECT_EQ(dlg.list.SetCurSel(1), 1);
  EXPECT_EQ(Edit(IDC_CUTOFF_LIST).Describe(), "1->2 | [2->3]");
  dlg.list.ResetContent();
  EXPECT_EQ(dlg.list.GetCount(), 0);
  EXPECT_EQ(dlg.list.GetCurSel(), CB_ERR);
}

TEST_F(DialogLayerTest, MessageMapCallsTheFirstMatchingEntry) {
  dlg.UserClick(IDC_LOAD_FILES);
  dlg.UserClick(IDC_LOCK_CUTOFFS);  // no entry: default handling does nothing
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"load"}));
  EXPECT_FALSE(dlg.HasEnded());
}

TEST_F(DialogLayerTest, SystemCommandsReachTheirHandlerAndCloseEndsTheDialog) {
  dlg.SendMessage(WM_SYSCOMMAND, 0x10);
  EXPECT_FALSE(dlg.HasEnded());
  dlg.SendMessage(WM_SYSCOMMAND, SC_CLOSE);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"sys:16", "sys:" + std::to_string(SC_CLOSE)}));
  EXPECT_TRUE(dlg.HasEnded());
  EXPECT_EQ(dlg.Result(), IDCANCEL);
}

TEST_F(DialogLayerTest, DisabledControlsTakeNoInput) {
  dlg.UserEditText(IDC_KINETIC_RATE, "5");
  EXPECT_EQ(Edit(IDC_KINETIC_RATE).text, "");
}

TEST(FileDialog, ParsesTheFilterAndWalksTheSelection) {
  TestHost host;
  host.fileAnswers.push_back(std::vector<std::string>{"/a/x.dat", "/a/y.dat", "/a/z.dat"});
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY, "DAT Files (*.dat)|*.dat||");
  ASSERT_EQ(dialog.DoModal(), IDOK);
  ASSERT_TRUE(host.lastFileRequest);
  EXPECT_TRUE(host.lastFileRequest->multiSelect);
  ASSERT_EQ(host.lastFileRequest->filters.size(), 1u);
  EXPECT_EQ(host.lastFileRequest->filters[0].first, "DAT Files (*.dat)");
  EXPECT_EQ(host.lastFileRequest->filters[0].second, "*.dat");
  std::vector<std::string> paths;
  for (POSITION pos = dialog.GetStartPosition(); pos != 0;) paths.push_back(dialog.GetNextPathName(pos));
  EXPECT_EQ(paths, (std::vector<std::string>{"/a/x.dat", "/a/y.dat", "/a/z.dat"}));

  host.fileAnswers.push_back(std::nullopt);
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.GetStartPosition(), 0u);
}

}  // namespace
