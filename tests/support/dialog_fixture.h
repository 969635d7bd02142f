// The main dialog as a test drives it: shown as a window is (OnInitDialog, then one paint),
// with a temporary working directory that output files go to.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/varneldlg.h"
#include "platform/script.h"
#include "reports/outputdir.h"
#include "selection/histograms.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_host.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Process-wide state starts afresh for every test, as it does for every run of the program.
    g_outputDir.clear();
    for (auto& from : g_histCounts)
      for (auto& to : from)
        for (double& count : to) count = 0.0;
    for (auto& from : g_histCentres)
      for (auto& to : from)
        for (double& centre : to) centre = 0.0;
    dlg = std::make_unique<CVarnelDlg>();
    dlg->Realise();
    dlg->SendMessage(WM_PAINT);
  }
  void TearDown() override { g_outputDir.clear(); }

  // The user's actions, as the hosts deliver them.
  void Type(int id, const std::string& text) {
    for (const std::string& typed : KeystrokePrefixes(text)) dlg->UserEditText(id, typed);
  }
  void Click(int id) { dlg->UserClick(id); }
  void Select(int id, int index) { dlg->UserSelect(id, index); }
  std::string Text(int id) const { return dlg->FindControl(id)->Describe(); }

  TempDir dir;  // the current directory while the test runs
  TestHost host;
  std::unique_ptr<CVarnelDlg> dlg;
};
