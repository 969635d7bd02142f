// "Dump Log": every fitted class of the current states in "log.dat"; and the "Peaks in
// report:" edit, whose value the next load uses.
#include <fstream>
#include <iomanip>

#include "app/varneldlg.h"
#include "reports/outputdir.h"

void CVarnelDlg::OnDumpLog() {
  std::ofstream fout(g_outputDir + "log.dat");
  const int states = m_stateCount;
  fout << "Assumed there were " << states << " real states" << std::endl << std::endl;
  fout << "Transition:        Rate (s^-1):             Width (s^-1):         Number of transitions:" << std::endl;
  for (int i = 0; i < std::min(states, kMaxStates); ++i) {
    for (int j = 0; j < std::min(states, kMaxStates); ++j) {
      const FitResult& result = m_fitResults[i][j];
      if (!result.fitted) continue;
      fout << i + 1 << "->" << j + 1 << std::setw(25) << result.rate << std::setw(25) << result.width << std::setw(25)
           << result.transitions << std::endl;
    }
  }
}

void CVarnelDlg::OnChangePeaksInReport() { UpdateData(TRUE); }
