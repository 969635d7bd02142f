#include "platform/winapp.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

CWinApp* AfxGetApp() { return g_app; }

void InitCommonControls() {}
