// The dwell times of the lock's states, as "Dwell times..." and the script command `dwell`
// show them: the work run with the window painted, then a page per state.
#include <string>

#include "app/varneldlg.h"
#include "dwell/dwellreport.h"
#include "export/dwellfigure.h"
#include "fit/results.h"
#include "platform/host.h"

void CVarnelDlg::OnDwellTimes() { AnalyseDwells(DwellOptions{}, std::nullopt); }

void CVarnelDlg::AnalyseDwells(const DwellOptions& options, std::optional<int> state) {
  if (state && (*state < 1 || *state > m_session.LockedStates())) {
    AfxMessageBox(m_session.Locked() ? "State " + std::to_string(*state) + " is not among the " +
                                           std::to_string(m_session.LockedStates()) + " states of the last lock."
                                     : std::string("Lock cutoffs first."));
    return;
  }
  SyncSettings();
  Outcome outcome;
  WorkProgress progress;
  {
    CWaitCursor wait;
    AfxGetHost().RunLongWork(StoppableWork("Fitting the dwell times", progress,
                                           [&] { outcome = m_session.AnalyseDwells(options, &progress); }));
  }
  if (!Show(outcome)) return;
  const DwellTimes& times = *m_session.DwellAnalysis();
  FiguresView view;
  view.table.title = "Dwell times";
  view.table.columns = DwellFitColumns();
  view.table.rows = DwellFitRows(times, state ? std::optional(*state - 1) : std::nullopt);
  view.table.copyText = TabSeparated(view.table.columns, view.table.rows);
  for (int s = 0; s < times.states; ++s) {
    view.pages.push_back("State " + std::to_string(s + 1));
    view.pageRows.push_back(DwellFitRows(times, s));
  }
  view.shown = state ? static_cast<std::size_t>(*state - 1) : 0;
  // A copy: the window may draw a page after the session has moved on.
  view.figure = [times](std::size_t page) { return DwellFigurePng(times, static_cast<int>(page)); };
  AfxGetHost().ShowFigures(view);
  AfxGetHost().UpdateTable(ResultsTable());
}
