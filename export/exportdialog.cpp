#include "export/exportdialog.h"

#include "app/varneldlg.h"

namespace {

// The circle the map shows: the shown class's, while circles are in use and it is placed.
std::optional<SelectionCircle> ShownCircle(const CVarnelDlg& dlg) {
  if (!dlg.m_useCircles || !InClassTables(dlg.m_pickFrom, dlg.m_pickTo)) return std::nullopt;
  const SelectionCircle& circle = dlg.m_circles[dlg.m_pickFrom - 1][dlg.m_pickTo - 1];
  return circle.visible ? std::optional(circle) : std::nullopt;
}

}  // namespace

ExportData ExportDataOf(const CVarnelDlg& dlg) {
  ExportData data;
  data.map = {dlg.m_densityGrid, dlg.m_colorTable, dlg.m_stateCount, dlg.m_cutoffs, dlg.m_cutoffsLocked,
              ShownCircle(dlg)};
  data.results = dlg.ResultRows();
  data.source = dlg.CurrentResultsSource();
  for (const ResultRow& row : data.results) {
    const ClassGaussian& fit = dlg.m_fitGaussians[row.from - 1][row.to - 1];
    data.classes.push_back(
        {row.from, row.to, fit.histogram, fit.fitted, row.exposureTime, row.fit.rate, row.uncertainty.rate});
  }
  return data;
}
