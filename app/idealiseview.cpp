// Raw traces idealised, as "Idealise raw traces..." and the script command `idealise` do it: the
// files and options chosen, the work run with the window painted and a Stop, the reports loaded,
// then a page per molecule with its raw and idealised trace above the table of the fits, zoomed
// along its frames, and a tick that keeps it in the rates or rejects it (`molecules`).
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

void CVarnelDlg::OnMolecules() {
  if (!m_session.Idealised())
    AfxMessageBox("There are no molecules to choose: idealise raw traces first.", MB_ICONINFORMATION);
  else
    ShowIdealisedFigures();
}

void CVarnelDlg::ShowIdealisedFigures() {
  const auto idealised = m_session.Idealised();
  if (!idealised) return;
  FiguresView view;
  view.table = IdealisationTable(m_session);
  for (const FretTrace& trace : idealised->traces) {
    view.pages.push_back(trace.name);
    view.pageRows.push_back(view.table.rows);
    view.pageFrames.push_back(FrameSpan(trace));
  }
  // The session's own copy of the traces stays as it is while the window draws from it; whether
  // a molecule is kept is the session's, for as long as this is its idealisation.
  const auto rejected = [this, idealised](std::size_t page) {
    const std::vector<bool>& kept = m_session.KeptMolecules();
    return m_session.Idealised() == idealised && page < kept.size() && !kept[page];
  };
  view.figure = [idealised, rejected](std::size_t page) {
    return TraceFigurePng(*idealised, page, {std::nullopt, rejected(page)});
  };
  view.framesFigure = [idealised, rejected](std::size_t page, std::pair<double, double> shown) {
    return TraceFigurePng(*idealised, page, {shown, rejected(page)});
  };
  view.choice = "&Kept in the rates";
  view.chosen = m_session.KeptMolecules();
  view.choose = [this, idealised](std::size_t page, bool keep) {
    if (m_session.Idealised() != idealised || page >= idealised->traces.size()) return false;
    Execute({"molecules", keep ? "keep" : "reject", idealised->traces[page].name});
    const std::vector<bool>& kept = m_session.KeptMolecules();
    return page < kept.size() && kept[page] == keep;
  };
  AfxGetHost().ShowFigures(view);
}
