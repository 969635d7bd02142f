// The application object.
#pragma once

#include "platform/dialog.h"
#include "platform/resources.h"

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Returns FALSE to end the application without a message loop of its own.
  virtual BOOL InitInstance();
  HICON LoadIcon(UINT id) const { return FindIcon(id); }

  CDialog* m_pMainWnd = nullptr;
};

// The one application object of the process.
CWinApp* AfxGetApp();

// Prepares the common controls; nothing to set up in this layer, kept so that start-up reads as
// it does on every platform.
void InitCommonControls();
