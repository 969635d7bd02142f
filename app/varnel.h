// The application object.
#pragma once

#include "platform/afxwin.h"

class CVarnelApp : public CWinApp {
 public:
  BOOL InitInstance() override;
  // The session's commands, and the window's own: `pick` and `circles`.
  std::span<const CommandWords> ProgramCommands() const override;
};
