// The open-file dialog; the host answers it.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

class CDialog;

using POSITION = std::size_t;  // 0 is the null position

struct OPENFILENAME {
  DWORD Flags = 0;
  std::string lpstrInitialDir;
};

class CFileDialog {
 public:
  // `filter` in the form "Description|pattern|...|" with a final "|".
  CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr, DWORD flags = 0,
              const char* filter = nullptr, CDialog* parent = nullptr);

  INT_PTR DoModal();  // IDOK or IDCANCEL
  POSITION GetStartPosition() const { return paths_.empty() ? 0 : 1; }
  // The full path at `pos`; moves `pos` on, to 0 after the last path.
  std::string GetNextPathName(POSITION& pos) const;

  OPENFILENAME m_ofn;

 private:
  bool open_;
  std::vector<std::pair<std::string, std::string>> filters_;
  std::vector<std::string> paths_;
};
