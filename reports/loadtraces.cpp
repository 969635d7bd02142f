// "Import idealised traces...": a report per molecule made from idealised traces, then loaded
// as "Load Files" loads reports.
#include <optional>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "reports/outputdir.h"
#include "res/resource.h"

namespace {

struct TraceChoice {
  std::vector<std::string> paths;
  std::vector<std::string> optionWords;  // a script's options for the import
};

// The trace files the user picked, in the dialog's order; nothing when the dialog was cancelled.
std::optional<TraceChoice> ChooseTraces() {
  static constexpr char szFilter[] =
      "Idealised traces (*.txt;*.csv;*.tsv;*.dat)|*.txt;*.csv;*.tsv;*.dat|All Files (*)|*||";
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY, szFilter, nullptr);
  dlg.m_ofn.lpstrInitialDir = g_outputDir;
  dlg.m_ofn.optionWords = ImportOptionWords;
  dlg.m_ofn.optionsForm = &ImportOptionsForm();
  if (dlg.DoModal() == IDCANCEL) return std::nullopt;
  TraceChoice choice{{}, dlg.GetOptionWords()};
  POSITION current_pos = dlg.GetStartPosition();
  while (current_pos != 0) choice.paths.push_back(dlg.GetNextPathName(current_pos));
  return choice;
}

std::string CannotImport(const std::string& why) {
  return "Cannot import the traces: " + why + ". Nothing was written; the records loaded before are kept.";
}

}  // namespace

void CVarnelDlg::OnImportTraces() {
  const std::optional<TraceChoice> choice = ChooseTraces();
  if (!choice) return;
  std::string error;
  const auto arguments = ParseImportArguments(choice->optionWords, error);
  if (!arguments) {
    AfxMessageBox(CannotImport(error));
    return;
  }
  const ImportOptions& options = arguments->options;
  // The reports have as many slots as the reports the program reads, unless the import names
  // its own number.
  if (!options.peaks && FieldRefused(IDC_PEAKS_IN_REPORT)) return;
  const int peaks = options.peaks.value_or(m_peaksInReport);
  if (peaks < 1) {
    AfxMessageBox("Peaks in report: enter a whole number from 1 to 1000 to import traces.");
    return;
  }

  ImportResult result;
  {
    CWaitCursor wait;
    result = ImportTraces(choice->paths, options, peaks, ReportFolderFor(options, choice->paths));
  }
  if (!result.error.empty()) {
    AfxMessageBox(CannotImport(result.error));
    return;
  }
  if (!result.skipped.empty()) AfxMessageBox(ImportSummary(result) + ".", MB_ICONINFORMATION);
  m_peaksInReport = peaks;
  UpdateData(FALSE);
  LoadReports(result.reports);
}
