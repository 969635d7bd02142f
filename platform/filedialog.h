// The open-file dialog; the host answers it.
#pragma once

#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/types.h"

class CDialog;

using POSITION = std::size_t;  // 0 is the null position

struct OPENFILENAME {
  DWORD Flags = 0;
  std::string lpstrInitialDir;
  std::string lpstrTitle;  // the dialog's title; empty for the usual one
  OptionWordCount optionWords = nullptr;     // the options that may come with the files
  const OptionsForm* optionsForm = nullptr;  // the same, for a person to choose in a window
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
  // The option words that came with the paths: a script's, or those a person chose in the
  // window's form of m_ofn.optionsForm; the program reads both alike.
  const std::vector<std::string>& GetOptionWords() const { return optionWords_; }

  OPENFILENAME m_ofn;

 protected:
  bool pickFolder_ = false;

 private:
  bool open_;
  std::vector<std::pair<std::string, std::string>> filters_;
  std::vector<std::string> paths_;
  std::vector<std::string> optionWords_;
};

// The dialog that picks one folder, opening in `folder` (the current directory when null).
class CFolderPickerDialog : public CFileDialog {
 public:
  explicit CFolderPickerDialog(const char* folder = nullptr, DWORD flags = 0, CDialog* parent = nullptr);
  // The chosen folder, after DoModal gave IDOK.
  std::string GetFolderPath() const;
};
