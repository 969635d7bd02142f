// "Export figures and tables...": the figures and tables of the analysis on screen, written into
// a folder the user picks.
#include <variant>

#include "app/varneldlg.h"
#include "export/exportdialog.h"
#include "export/exportoptions.h"
#include "export/exportset.h"
#include "platform/filedialog.h"
#include "reports/outputdir.h"

void CVarnelDlg::OnExportFigures() {
  CFolderPickerDialog dlg(g_outputDir.empty() ? nullptr : g_outputDir.c_str());
  dlg.m_ofn.optionWords = ExportOptionWords;
  dlg.m_ofn.optionsForm = &ExportOptionsForm();
  if (dlg.DoModal() == IDCANCEL) return;
  const auto options = ExportOptionsOf(dlg.GetOptionWords());
  if (const auto* refusal = std::get_if<std::string>(&options)) {
    AfxMessageBox(*refusal);
    return;
  }
  // Before a load the map is the start-up picture, not data.
  if (m_recordFiles.empty()) {
    AfxMessageBox("Load reports first: there is nothing to export yet.");
    return;
  }
  CWaitCursor wait;
  const auto files = ExportFiles(ExportDataOf(*this), std::get<ExportOptions>(options));
  if (!files) {
    AfxMessageBox("The figures could not be drawn; nothing was written.");
    return;
  }
  if (const auto failure = WriteExport(dlg.GetFolderPath(), *files)) AfxMessageBox(*failure);
}
