// The application object.
#pragma once

#include <span>

#include "platform/dialog.h"
#include "platform/resources.h"
#include "platform/script.h"

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Returns FALSE to end the application without a message loop of its own.
  virtual BOOL InitInstance();
  HICON LoadIcon(UINT id) const { return FindIcon(id); }
  // The program's own commands, which scripts may name beside the window's verbs; its main
  // dialog carries them out (CDialog::OnCommand).
  virtual std::span<const CommandWords> ProgramCommands() const { return {}; }

  CDialog* m_pMainWnd = nullptr;
};

// The one application object of the process.
CWinApp* AfxGetApp();

// Prepares the common controls; nothing to set up in this layer, kept so that start-up reads as
// it does on every platform.
void InitCommonControls();
