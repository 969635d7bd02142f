#include "platform/filedialog.h"

#include <cstddef>

#include "platform/host.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const char*, const char*, DWORD flags, const char* filter, CDialog*)
    : open_(openFileDialog != FALSE) {
  m_ofn.Flags = flags;
  const std::string text = filter ? filter : "";
  std::size_t start = 0;
  std::vector<std::string> parts;
  for (std::size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
    parts.push_back(text.substr(start, bar - start));
  for (std::size_t k = 0; k + 1 < parts.size() && !parts[k].empty(); k += 2)
    filters_.emplace_back(parts[k], parts[k + 1]);
}

INT_PTR CFileDialog::DoModal() {
  FileDialogRequest request;
  request.open = open_;
  request.multiSelect = (m_ofn.Flags & OFN_ALLOWMULTISELECT) != 0;
  request.folder = pickFolder_;
  request.filters = filters_;
  request.initialDir = m_ofn.lpstrInitialDir;
  request.title = m_ofn.lpstrTitle;
  request.optionWords = m_ofn.optionWords;
  request.optionsForm = m_ofn.optionsForm;
  auto chosen = AfxGetHost().ChooseFiles(request);
  paths_.clear();
  optionWords_.clear();
  if (!chosen) return IDCANCEL;
  const auto options = static_cast<std::ptrdiff_t>(LeadingOptionWords(*chosen, request.optionWords));
  optionWords_.assign(chosen->begin(), chosen->begin() + options);
  paths_.assign(chosen->begin() + options, chosen->end());
  if (paths_.empty()) return IDCANCEL;
  if (!request.multiSelect) paths_.resize(1);
  return IDOK;
}

std::string CFileDialog::GetNextPathName(POSITION& pos) const {
  if (pos == 0 || pos > paths_.size()) {
    pos = 0;
    return {};
  }
  std::string path = paths_[pos - 1];
  pos = pos < paths_.size() ? pos + 1 : 0;
  return path;
}

CFolderPickerDialog::CFolderPickerDialog(const char* folder, DWORD flags, CDialog* parent)
    : CFileDialog(TRUE, nullptr, nullptr, flags, nullptr, parent) {
  pickFolder_ = true;
  if (folder) m_ofn.lpstrInitialDir = folder;
}

std::string CFolderPickerDialog::GetFolderPath() const {
  POSITION pos = GetStartPosition();
  return pos == 0 ? std::string() : GetNextPathName(pos);
}
