// The files of an analysis: "Load Files", "Import idealised traces...", "Dump Log" and "Export
// figures and tables...", each through the session, and the "Peaks in report:" edit whose value
// the next load uses.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/varneldlg.h"
#include "analysis/fields.h"
#include "platform/ddx.h"
#include "platform/script.h"
#include "export/exportoptions.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "platform/filedialog.h"
#include "reports/parallel.h"
#include "res/resource.h"

namespace {

// The dialog opens in the folder of the last load.
std::vector<std::string> ChooseReports(const std::string& folder) {
  static constexpr char szFilter[] = "DAT Files (*.dat)|*.dat||";
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY, szFilter, nullptr);
  dlg.m_ofn.lpstrInitialDir = folder;
  std::vector<std::string> file_names;
  if (dlg.DoModal() == IDCANCEL) return file_names;
  POSITION current_pos = dlg.GetStartPosition();
  while (current_pos != 0) file_names.push_back(dlg.GetNextPathName(current_pos));
  return file_names;
}

// A command's words for paths that a dialog chose: each as a pattern that names just that file.
void AddPaths(std::vector<std::string>& words, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) words.push_back(FilesArgument(path));
}

}  // namespace

std::optional<std::vector<std::string>> CVarnelDlg::ChooseFilesWithOptions(const char* filter,
                                                                           OptionWordCount optionWords,
                                                                           const OptionsForm& form) const {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY, filter, nullptr);
  dlg.m_ofn.lpstrInitialDir = m_session.OutputFolder();
  dlg.m_ofn.optionWords = optionWords;
  dlg.m_ofn.optionsForm = &form;
  if (dlg.DoModal() == IDCANCEL) return std::nullopt;
  std::vector<std::string> words = dlg.GetOptionWords();
  std::vector<std::string> paths;
  POSITION current_pos = dlg.GetStartPosition();
  while (current_pos != 0) paths.push_back(dlg.GetNextPathName(current_pos));
  AddPaths(words, paths);
  return words;
}

LongWork StoppableWork(std::string what, WorkProgress& progress, std::function<void()> run) {
  return {std::move(what), std::move(run), [&progress] { return progress.Share(); },
          [&progress] { progress.stop.request_stop(); }};
}

void CVarnelDlg::OnLoadFiles() {
  if (FieldRefused(IDC_PEAKS_IN_REPORT)) return;
  const std::vector<std::string> chosen = ChooseReports(m_session.OutputFolder());
  std::vector<std::string> words{"load"};
  AddPaths(words, chosen);
  // Cancel: nothing to load.
  if (!chosen.empty()) Execute(words);
}

void CVarnelDlg::OnImportTraces() {
  static constexpr char szFilter[] =
      "Idealised traces (*.txt;*.csv;*.tsv;*.dat)|*.txt;*.csv;*.tsv;*.dat|All Files (*)|*||";
  auto words = ChooseFilesWithOptions(szFilter, ImportOptionWords, ImportOptionsForm());
  if (!words) return;
  words->insert(words->begin(), "import");
  Execute(*words);
}

void CVarnelDlg::OnDumpLog() { Execute({"log"}); }

void CVarnelDlg::OnOpenFolder() {
  const std::string& folder = m_session.OutputFolder();
  std::error_code error;
  AfxGetHost().OpenFolder(
      std::filesystem::absolute(folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder), error)
          .lexically_normal()
          .string());
}

void CVarnelDlg::OnExportFigures() {
  const std::string& folder = m_session.OutputFolder();
  CFolderPickerDialog dlg(folder.empty() ? nullptr : folder.c_str());
  dlg.m_ofn.lpstrTitle = "Export figures and tables to...";
  dlg.m_ofn.optionWords = ExportOptionWords;
  dlg.m_ofn.optionsForm = &ExportOptionsForm();
  if (dlg.DoModal() == IDCANCEL) return;
  std::vector<std::string> words{"export", FilesArgument(dlg.GetFolderPath())};
  const std::vector<std::string> options = dlg.GetOptionWords();
  words.insert(words.end(), options.begin(), options.end());
  Execute(words);
}

std::optional<SelectionCircle> CVarnelDlg::ShownCircle() const {
  if (!m_useCircles || !InClassTables(m_pickFrom, m_pickTo)) return std::nullopt;
  const SelectionCircle& circle = m_circles[m_pickFrom - 1][m_pickTo - 1];
  return circle.visible ? std::optional(circle) : std::nullopt;
}

// Each whole number the field takes reaches the session as it is typed: the next load reads
// reports of that many peaks.
void CVarnelDlg::OnChangePeaksInReport() {
  UpdateData(TRUE);
  const int peaks = m_peaksInReport;
  const Control* edit = FindControl(IDC_PEAKS_IN_REPORT);
  if (!edit || HoldsRefusedText(IDC_PEAKS_IN_REPORT)) return;
  const std::optional<double> typed = ParseDouble(edit->text);
  if (typed && FieldTakes(Field::Peaks, *typed) && static_cast<int>(*typed) != peaks)
    Show(RunCommand(m_session, {"peaks", std::to_string(static_cast<int>(*typed))}).outcome);
}
