// The dwell times of the lock's states, as "Dwell times..." and the script command `dwell`
// show them: a page per state, its figure above its fits.
#include <string>

#include "app/varneldlg.h"
#include "dwell/dwellreport.h"
#include "export/dwellfigure.h"
#include "fit/results.h"
#include "platform/host.h"

void CVarnelDlg::OnDwellTimes() { Execute({"dwell", "all"}); }

void CVarnelDlg::ShowDwellFigures(std::optional<int> state) {
  const DwellTimes* analysis = m_session.DwellAnalysis();
  if (!analysis) return;
  FiguresView view;
  view.table = DwellFitsTable(m_session, state);
  for (int s = 0; s < analysis->states; ++s) {
    view.pages.push_back("State " + std::to_string(s + 1));
    view.pageRows.push_back(DwellFitRows(*analysis, s));
  }
  view.shown = state ? static_cast<std::size_t>(*state) : 0;
  // A copy: the window may draw a page after the session has moved on.
  view.figure = [times = *analysis](std::size_t page) { return DwellFigurePng(times, static_cast<int>(page)); };
  AfxGetHost().ShowFigures(view);
}
