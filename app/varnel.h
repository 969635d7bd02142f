// The application object.
#pragma once

#include "platform/afxwin.h"

class CVarnelApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};
