// "Dump Log": every fitted class of the current states in "log.dat"; and the "Peaks in
// report:" edit, whose value the next load uses.
#include "fit/logreport.h"

#include <algorithm>
#include <ctime>
#include <iomanip>
#include <sstream>

#include "app/varneldlg.h"
#include "fit/results.h"
#include "platform/outputfile.h"
#include "platform/system.h"
#include "reports/outputdir.h"

std::string LogReportText(int states, const FitTable& results) {
  std::ostringstream fout;
  fout << "Assumed there were " << states << " real states" << std::endl << std::endl;
  fout << "Transition:        Rate (s^-1):             Width (s^-1):         Number of transitions:" << std::endl;
  const int shown = std::min(states, kMaxStates);
  for (int i = 0; i < shown; ++i) {
    for (int j = 0; j < shown; ++j) {
      const FitResult& result = results[i][j];
      if (!result.fitted) continue;
      fout << i + 1 << "->" << j + 1 << std::setw(25) << result.rate << std::setw(25) << result.width << std::setw(25)
           << result.transitions << std::endl;
    }
  }
  return fout.str();
}

namespace {

// Now, in local time, as the results table dates itself.
std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  const std::tm local = LocalTime(now);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local));
}

}  // namespace

void CVarnelDlg::OnDumpLog() {
  const std::string path = OutputPath("log.dat");
  if (const auto failure = WriteWholeFile(path, LogReportText(m_stateCount, m_fitResults)))
    AfxMessageBox(CannotWriteMessage(path, *failure));
  // Beside it, the table with intervals and where the numbers come from.
  const std::string table = OutputPath("results.csv");
  if (const auto failure = WriteWholeFile(table, ResultsCsv(CurrentResultsSource(), ResultRows())))
    AfxMessageBox(CannotWriteMessage(table, *failure));
}

ResultsSource CVarnelDlg::CurrentResultsSource() const {
  return {LocalDateTime(), m_recordFiles.size(), g_outputDir, m_stateCount, m_cutoffs, m_weightByCount != FALSE};
}

void CVarnelDlg::OnChangePeaksInReport() { UpdateData(TRUE); }
