// Raw traces idealised, as "Idealise raw traces..." and the script command `idealise` do it: the
// files and options chosen, the work run with the window painted and a Stop, the reports loaded,
// then a page per molecule with its raw and idealised trace above the table of the fits.
#include <optional>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "export/tracefigure.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "platform/host.h"

void CVarnelDlg::OnIdealiseTraces() {
  static constexpr char szFilter[] =
      "Raw traces (*.txt;*.csv;*.tsv;*.dat;*.traces;*.hdf5;*.h5)|*.txt;*.csv;*.tsv;*.dat;*.traces;*.hdf5;*.h5|All Files (*)|*||";
  auto words = ChooseFilesWithOptions(szFilter, IdealiseOptionWords, IdealiseOptionsForm());
  if (!words) return;
  words->insert(words->begin(), "idealise");
  Execute(*words);
}

void CVarnelDlg::ShowIdealisedFigures() {
  const auto idealised = m_session.Idealised();
  if (!idealised) return;
  FiguresView view;
  view.table = IdealisationTable(m_session);
  for (const FretTrace& trace : idealised->traces) {
    view.pages.push_back(trace.name);
    view.pageRows.push_back(view.table.rows);
  }
  // The session's own copy stays as it is while the window draws from it.
  view.figure = [idealised](std::size_t page) { return TraceFigurePng(*idealised, page); };
  AfxGetHost().ShowFigures(view);
}
