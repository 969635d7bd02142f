// Raw traces idealised, as "Idealise raw traces..." and the script command `idealise` do it: the
// files and options chosen, the work run with the window painted and a Stop, the reports loaded,
// then a page per molecule with its raw and idealised trace above the table of the fits.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "export/tracefigure.h"
#include "fit/results.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "platform/host.h"
#include "reports/parallel.h"
#include "res/resource.h"

namespace {

// `value` with three decimals, as the table shows it.
std::string Decimals3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// A row per number of states fitted: its log-likelihood, parameters, iterations and BIC, the
// chosen one marked, or why it was not fitted.
std::vector<std::string> FitColumns() {
  return {"States", "Log-likelihood", "Parameters", "Iterations", "BIC", "Chosen"};
}

std::vector<std::vector<std::string>> FitRows(const Idealisation& idealisation) {
  std::vector<std::vector<std::string>> rows;
  for (std::size_t f = 0; f < idealisation.fits.size(); ++f) {
    const StateCountFit& fit = idealisation.fits[f];
    if (!fit.fitted) {
      rows.push_back({std::to_string(fit.states), "", "", "", "not fitted: " + fit.why, ""});
      continue;
    }
    rows.push_back({std::to_string(fit.states), Decimals3(fit.logLikelihood), std::to_string(fit.parameters),
                    std::to_string(fit.iterations), Decimals3(fit.bic), f == idealisation.chosen ? "chosen" : ""});
  }
  return rows;
}

}  // namespace

void CVarnelDlg::OnIdealiseTraces() {
  static constexpr char szFilter[] = "Raw traces (*.txt;*.csv;*.tsv;*.dat)|*.txt;*.csv;*.tsv;*.dat|All Files (*)|*||";
  const std::optional<FilesWithOptions> choice =
      ChooseFilesWithOptions(szFilter, IdealiseOptionWords, IdealiseOptionsForm());
  if (!choice) return;
  std::string error;
  auto arguments = ParseIdealiseArguments(choice->optionWords, error);
  if (!arguments) {
    AfxMessageBox("Cannot idealise the traces: " + error + ".");
    return;
  }
  if (!arguments->peaks && FieldRefused(IDC_PEAKS_IN_REPORT)) return;
  SyncSettings();
  const auto before = m_session.Idealised();
  Outcome outcome;
  WorkProgress progress;
  {
    CWaitCursor wait;
    const std::size_t files = choice->paths.size();
    AfxGetHost().RunLongWork(StoppableWork(
        "Idealising " + std::to_string(files) + (files == 1 ? " trace file" : " trace files"), progress,
        [&] { outcome = m_session.Idealise(choice->paths, *arguments, &progress); }));
    m_peaksInReport = m_session.Peaks();
    UpdateData(FALSE);
    if (outcome.done) ShowLoad();
  }
  Show(outcome);
  const auto idealised = m_session.Idealised();
  if (!idealised || idealised == before) return;
  FiguresView view;
  view.table.title = "Idealised traces";
  view.table.columns = FitColumns();
  view.table.rows = FitRows(idealised->idealisation);
  view.table.copyText = TabSeparated(view.table.columns, view.table.rows);
  for (const FretTrace& trace : idealised->traces) {
    view.pages.push_back(trace.name);
    view.pageRows.push_back(view.table.rows);
  }
  // The session's own copy stays as it is while the window draws from it.
  view.figure = [idealised](std::size_t page) { return TraceFigurePng(*idealised, page); };
  AfxGetHost().ShowFigures(view);
}
