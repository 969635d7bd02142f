#include "app/varnel.h"

#include "app/varneldlg.h"

// The one application object.
CVarnelApp theApp;

BOOL CVarnelApp::InitInstance() {
  InitCommonControls();
  CWinApp::InitInstance();

  CVarnelDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // The dialog has ended: end the application rather than start a message loop.
  return FALSE;
}
