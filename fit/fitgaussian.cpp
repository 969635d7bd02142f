// "Fit Gaussian": the shown class fitted, its rate shown and kept for the log, its values
// written to the class rate file.
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "app/varneldlg.h"
#include "fit/bootstrap.h"
#include "fit/gaussfit.h"
#include "fit/results.h"
#include "platform/outputfile.h"
#include "reports/outputdir.h"
#include "res/resource.h"

namespace {

// The class rate file "I,Jrates.dat": one in-range value per line with six significant digits,
// as a stream writes a double (%g). Nothing when it was written, otherwise why not.
std::optional<std::string> WriteRateFile(const std::string& path, const std::vector<double>& values) {
  OutputFile file(path);
  char text[40];
  for (double v : values) {
    char* end = std::to_chars(text, text + sizeof text - 1, v, std::chars_format::general, 6).ptr;
    *end++ = '\n';
    file.Write(std::string_view(text, static_cast<std::size_t>(end - text)));
  }
  return file.Commit();
}

}  // namespace

void CVarnelDlg::OnFitGaussian() {
  UpdateData(TRUE);
  if (FieldRefused(IDC_EXPOSURE_TIME)) return;
  const int from = m_pickFrom, to = m_pickTo;
  const std::vector<double>* list = LockedClassList(from, to);
  if (!list) return;
  const std::string name = std::to_string(from) + "->" + std::to_string(to);
  const std::vector<double> values = InRangeValues(*list);
  if (values.empty()) {
    AfxMessageBox("Class " + name + " has no rates to fit.", MB_ICONINFORMATION);
    return;
  }

  // A large class takes a moment to fit and to write.
  CWaitCursor wait;
  // A fit that does not finish, or finishes on no finite rate, leaves everything as it was.
  const int i = from - 1, j = to - 1;
  const ClassHistogram histogram = StoredHistogram(i, j);
  const std::optional<GaussFit> fit = FitGaussian(histogram, values);
  if (!fit) {
    AfxMessageBox("The fit of class " + name + " did not converge; no result was stored.");
    return;
  }
  const KineticRate rate = KineticRateOf(fit->fitted, m_exposureTime);
  if (!std::isfinite(rate.rate) || !std::isfinite(rate.stdev)) {
    AfxMessageBox("The fit of class " + name + " gave no finite rate; no result was stored.");
    return;
  }

  const std::string ratePath = OutputPath(std::to_string(from) + "," + std::to_string(to) + "rates.dat");
  const std::optional<std::string> failure = WriteRateFile(ratePath, values);
  g_fitAmplitude = fit->lastEvaluated.amplitude;
  g_fitCentre = fit->lastEvaluated.centre;
  g_fitWidth = fit->lastEvaluated.width;
  m_kineticRate = rate.rate;
  m_rateStdev = rate.stdev;
  m_gaussAmplitude = fit->fitted.amplitude;
  m_fitResults[i][j] = {true, m_kineticRate, m_rateStdev, static_cast<std::int32_t>(list->size())};
  // How sure the rate is: the reports are the molecules a bootstrap draws.
  const std::size_t perMolecule = m_recordFiles.empty() ? 0 : m_records.size() / m_recordFiles.size();
  m_fitRules[i][j] = m_classRules[i][j];
  m_fitExposures[i][j] = m_exposureTime;
  m_fitGaussians[i][j] = {histogram, fit->fitted};
  m_fitUncertainties[i][j] = EstimateUncertainty(m_records, perMolecule, m_fitRules[i][j], m_exposureTime);
  SetControlTip(IDC_KINETIC_RATE, UncertaintyTip(m_fitUncertainties[i][j]));

  m_drawFitCurve = true;
  DrawPanel();
  UpdateData(FALSE);
  // The fit stands; the user must know that its file does not.
  if (failure) AfxMessageBox(CannotWriteMessage(ratePath, *failure));
  if (fit->startMoved)
    AfxMessageBox("Class " + name +
                      ": its rates lie outside the range the fit takes (ln of the rate per frame from -9 to -1). "
                      "The fit started from the nearest end of that range, and its rate cannot lie beyond it.",
                  MB_ICONINFORMATION);
}
