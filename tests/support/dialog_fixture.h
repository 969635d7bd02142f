// The main dialog as a test drives it: shown as a window is (OnInitDialog, then one paint),
// with a temporary working directory that output files go to.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "platform/script.h"
#include "tests/support/session_peer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_host.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg = std::make_unique<CVarnelDlg>();
    dlg->Realise();
    dlg->SendMessage(WM_PAINT);
  }

  // The records, straight into the analysis state, as a load leaves them.
  void SetRecords(const std::vector<TransitionRecord>& records) { dlg->m_session.Adopt(TransitionRecords(records)); }

  // The user's actions, as the hosts deliver them.
  void Type(int id, const std::string& text) {
    for (const std::string& typed : KeystrokePrefixes(text)) dlg->UserEditText(id, typed);
  }
  void Paste(int id, const std::string& text) { dlg->UserEditText(id, text); }
  void Click(int id) { dlg->UserClick(id); }
  void Select(int id, int index) { dlg->UserSelect(id, index); }
  std::string Text(int id) const { return dlg->FindControl(id)->Describe(); }

  TempDir dir;  // the current directory while the test runs
  TestHost host;
  std::unique_ptr<CVarnelDlg> dlg;
};
