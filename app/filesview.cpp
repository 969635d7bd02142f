// The files of an analysis: "Load Files", "Import idealised traces...", "Dump Log" and "Export
// figures and tables...", each through the session, and the "Peaks in report:" edit whose value
// the next load uses.
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/varneldlg.h"
#include "app/windowtitle.h"
#include "export/exportoptions.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "platform/filedialog.h"
#include "reports/parallel.h"
#include "reports/outputdir.h"
#include "res/resource.h"

namespace {

// The paths the user picked, in the dialog's order; none when the dialog was cancelled. The
// dialog opens in the folder of the last load.
std::vector<std::string> ChooseReports() {
  static constexpr char szFilter[] = "DAT Files (*.dat)|*.dat||";
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY, szFilter, nullptr);
  const std::string directory = g_outputDir;
  dlg.m_ofn.lpstrInitialDir = directory;
  std::vector<std::string> file_names;
  if (dlg.DoModal() == IDCANCEL) return file_names;
  POSITION current_pos = dlg.GetStartPosition();
  while (current_pos != 0) file_names.push_back(dlg.GetNextPathName(current_pos));
  return file_names;
}

}  // namespace

std::optional<FilesWithOptions> ChooseFilesWithOptions(const char* filter, OptionWordCount optionWords,
                                                       const OptionsForm& form) {
  CFileDialog dlg(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY, filter, nullptr);
  dlg.m_ofn.lpstrInitialDir = g_outputDir;
  dlg.m_ofn.optionWords = optionWords;
  dlg.m_ofn.optionsForm = &form;
  if (dlg.DoModal() == IDCANCEL) return std::nullopt;
  FilesWithOptions choice{{}, dlg.GetOptionWords()};
  POSITION current_pos = dlg.GetStartPosition();
  while (current_pos != 0) choice.paths.push_back(dlg.GetNextPathName(current_pos));
  return choice;
}

LongWork StoppableWork(std::string what, WorkProgress& progress, std::function<void()> run) {
  return {std::move(what), std::move(run), [&progress] { return progress.Share(); },
          [&progress] { progress.stop.request_stop(); }};
}

void CVarnelDlg::OnLoadFiles() {
  if (FieldRefused(IDC_PEAKS_IN_REPORT)) return;
  LoadReports(ChooseReports());
}

void CVarnelDlg::LoadReports(const std::vector<std::string>& chosen) {
  SyncSettings();
  Outcome outcome;
  {
    CWaitCursor wait;
    WorkProgress progress;
    AfxGetHost().RunLongWork(
        StoppableWork("Reading " + std::to_string(chosen.size()) + (chosen.size() == 1 ? " report" : " reports"),
                      progress, [&] { outcome = m_session.Load(chosen, &progress); }));
    if (outcome.done) ShowLoad();
  }
  Show(outcome);
}

void CVarnelDlg::ShowLoad() {
  g_outputDir = m_session.OutputFolder();
  m_loadedTitle = LoadedTitle(m_session.Files().size(), TransitionsOf(m_session.Records(), m_session.Peaks()));
  // A load forgets the fits, and every interval they waited for.
  ShowIntervalProgress();
  MirrorSession();
  ClearShownResults();
  ShowGrid();
}

void CVarnelDlg::OnImportTraces() {
  static constexpr char szFilter[] =
      "Idealised traces (*.txt;*.csv;*.tsv;*.dat)|*.txt;*.csv;*.tsv;*.dat|All Files (*)|*||";
  const std::optional<FilesWithOptions> choice = ChooseFilesWithOptions(szFilter, ImportOptionWords, ImportOptionsForm());
  if (!choice) return;
  std::string error;
  const auto arguments = ParseImportArguments(choice->optionWords, error);
  if (!arguments) {
    AfxMessageBox(CannotImportMessage(error));
    return;
  }
  if (!arguments->options.peaks && FieldRefused(IDC_PEAKS_IN_REPORT)) return;
  SyncSettings();
  Outcome outcome;
  {
    CWaitCursor wait;
    LongWork work;
    work.what = "Importing " + std::to_string(choice->paths.size()) +
                (choice->paths.size() == 1 ? " trace file" : " trace files");
    work.run = [&] { outcome = m_session.Import(choice->paths, arguments->options); };
    AfxGetHost().RunLongWork(work);
    m_peaksInReport = m_session.Peaks();
    UpdateData(FALSE);
    if (outcome.done) ShowLoad();
  }
  Show(outcome);
}

void CVarnelDlg::OnDumpLog() {
  TakeIntervals();
  Outcome outcome = m_session.WriteLog();
  if (const auto progress = m_session.IntervalsProgress())
    outcome.Notice("Some intervals are still being computed: \"results.csv\" says \"computing...\" for them. "
                   "Dump the log again once the title no longer counts their replicates.");
  Show(outcome);
}

void CVarnelDlg::OnExportFigures() {
  CFolderPickerDialog dlg(g_outputDir.empty() ? nullptr : g_outputDir.c_str());
  dlg.m_ofn.lpstrTitle = "Export figures and tables to...";
  dlg.m_ofn.optionWords = ExportOptionWords;
  dlg.m_ofn.optionsForm = &ExportOptionsForm();
  if (dlg.DoModal() == IDCANCEL) return;
  const auto options = ExportOptionsOf(dlg.GetOptionWords());
  if (const auto* refusal = std::get_if<std::string>(&options)) {
    AfxMessageBox(*refusal);
    return;
  }
  // The figures show every interval: they are waited for, or nothing is written.
  if (!AwaitIntervalsShown()) return;
  Outcome outcome;
  const std::string folder = dlg.GetFolderPath();
  const std::optional<SelectionCircle> circle = ShownCircle();
  WorkProgress progress;
  {
    CWaitCursor wait;
    AfxGetHost().RunLongWork(StoppableWork("Exporting figures and tables", progress, [&] {
      outcome = m_session.Export(folder, std::get<ExportOptions>(options), circle, &progress);
    }));
  }
  Show(outcome);
}

std::optional<SelectionCircle> CVarnelDlg::ShownCircle() const {
  if (!m_useCircles || !InClassTables(m_pickFrom, m_pickTo)) return std::nullopt;
  const SelectionCircle& circle = m_circles[m_pickFrom - 1][m_pickTo - 1];
  return circle.visible ? std::optional(circle) : std::nullopt;
}

void CVarnelDlg::OnChangePeaksInReport() { UpdateData(TRUE); }
