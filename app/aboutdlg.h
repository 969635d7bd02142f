// The About box.
#pragma once

#include "platform/afxwin.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();

 protected:
  void DoDataExchange(CDataExchange* dx) override;
};
