#include "app/varnel.h"

#include "app/varneldlg.h"
#include "fit/minimiser.h"

// The one application object.
CVarnelApp g_application;

BOOL CVarnelApp::InitInstance() {
  InitCommonControls();
  CWinApp::InitInstance();
  // The minimiser's fatal report ends the process; the host shows it to the user first.
  setFatalReportHook([](const std::string& text) { AfxGetHost().ShowFatalReport(text); });

  CVarnelDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // The dialog has ended: end the application rather than start a message loop.
  return FALSE;
}
