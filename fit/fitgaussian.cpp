// "Fit Gaussian": the shown class fitted, its rate shown and kept for the log, its values
// written to the class rate file.
#include <fstream>
#include <string>

#include "app/varneldlg.h"
#include "fit/gaussfit.h"
#include "reports/outputdir.h"

namespace {

// The class rate file "I,Jrates.dat": one in-range value per line, six significant digits.
// False when it could not be written whole.
bool WriteRateFile(const std::string& path, const std::vector<double>& values) {
  std::ofstream out(path);
  for (double v : values) out << v << std::endl;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

void CVarnelDlg::OnFitGaussian() {
  UpdateData(TRUE);
  const int from = m_pickFrom, to = m_pickTo;
  const std::vector<double>* list = LockedClassList(from, to);
  if (!list) return;
  const std::vector<double> values = InRangeValues(*list);
  if (values.empty()) {
    AfxMessageBox("Class " + std::to_string(from) + "->" + std::to_string(to) + " has no rates to fit.");
    return;
  }
  const std::string ratePath = OutputPath(std::to_string(from) + "," + std::to_string(to) + "rates.dat");
  const bool written = WriteRateFile(ratePath, values);

  const int i = from - 1, j = to - 1;
  const GaussFit fit = FitGaussian(StoredHistogram(i, j), values);
  g_fitAmplitude = fit.lastEvaluated.amplitude;
  g_fitCentre = fit.lastEvaluated.centre;
  g_fitWidth = fit.lastEvaluated.width;

  const KineticRate rate = KineticRateOf(fit.fitted, m_exposureTime);
  m_kineticRate = rate.rate;
  m_rateStdev = rate.stdev;
  m_gaussAmplitude = fit.fitted.amplitude;
  m_fitResults[i][j] = {true, m_kineticRate, m_rateStdev, static_cast<std::int32_t>(list->size())};

  m_drawFitCurve = true;
  DrawPanel();
  UpdateData(FALSE);
  // The fit stands; the user must know that its file does not.
  if (!written) AfxMessageBox(CannotWriteMessage(ratePath));
}
