// "Fit Gaussian": a Gaussian on the ln(rate per frame) axis fitted to the shown class's
// histogram by least squares, turned into a kinetic rate in s^-1.
#include "fit/gaussfit.h"

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "fit/fitparams.h"
#include "fit/minimiser.h"
#include "reports/outputdir.h"
#include "selection/histograms.h"

int g_fitFrom = 0;
int g_fitTo = 0;

namespace {

// sqrt of this (a little below pi/2) times the width normalises the model to area A: the
// Gaussian's standard deviation is w / 2.
constexpr double kHalfPi = 1.5707963267945;
// Values returned outside the allowed region: no sum of squares of 50 counts comes near it.
constexpr double kForbidden = 1e300;
// Start of the search: amplitude, width, and steps of 0.1 along each parameter alone.
constexpr double kStartAmplitude = 20.0;
constexpr double kStartWidth = 0.5;
constexpr double kStartStep = 0.1;
// A sweep must lower the sum by no more than the minimiser's absolute floor (5e-26) to end
// the search: in practice, by nothing.
constexpr double kFitTolerance = 1e-80;

// The in-range values of a class list, in list order: -10 < ln v < 0 (zero and negative
// values fail both tests).
std::vector<double> InRangeValues(const std::vector<double>& list) {
  std::vector<double> values;
  for (double v : list) {
    const double lnv = std::log(v);
    if (lnv > -10.0 && lnv < 0.0) values.push_back(v);
  }
  return values;
}

// The class rate file: one in-range value per line, six significant digits.
void WriteRateFile(int from, int to, const std::vector<double>& values) {
  std::ofstream out(g_outputDir + std::to_string(from) + "," + std::to_string(to) + "rates.dat");
  for (double v : values) out << v << std::endl;
}

}  // namespace

double gaussObjective(const DoubleVector& p) {
  g_fitAmplitude = p[0];
  g_fitCentre = p[1];
  g_fitWidth = p[2];
  const double A = p[0], xc = p[1], w = p[2];
  double sum = 0.0;
  for (int i = 0; i < kHistogramBins; ++i) {
    const double x = g_histCentres[g_fitFrom][g_fitTo][i];
    const double y = g_histCounts[g_fitFrom][g_fitTo][i];
    const double model = A / (std::sqrt(kHalfPi) * w) * std::exp(-2.0 * ((x - xc) / w) * (x - xc) / w);
    sum = sum + (y - model) * (y - model);
  }
  if (w < 0.5 || A < 1.0 || xc < -9.0 || xc > -1.0) return kForbidden;
  return sum;
}

void CVarnelDlg::OnFitGaussian() {
  UpdateData(TRUE);
  const int from = m_pickFrom, to = m_pickTo;
  const std::vector<double>* classList = LockedClassList(from, to);
  if (!classList) return;
  const std::vector<double>& list = *classList;
  const std::vector<double> values = InRangeValues(list);
  if (values.empty()) {
    AfxMessageBox("Class " + std::to_string(from) + "->" + std::to_string(to) + " has no rates to fit.");
    return;
  }

  DoubleVector p(3);
  DoubleMatrix xi(3, 3);
  g_fitFrom = from - 1;
  g_fitTo = to - 1;
  WriteRateFile(from, to, values);

  double sum = 0.0;
  for (double v : values) sum += std::log(v);
  p[0] = kStartAmplitude;
  p[1] = sum / static_cast<double>(values.size());
  p[2] = kStartWidth;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) xi[r][c] = r == c ? kStartStep : 0.0;

  int iter = 0;
  double fret = 0.0;
  powell(p, xi, kFitTolerance, iter, fret, gaussObjective);

  m_kineticRate = std::exp(p[1]) / m_exposureTime;
  m_rateStdev = p[2] / 2.0 * m_kineticRate;
  m_gaussAmplitude = p[0];
  FitResult& result = m_fitResults[g_fitFrom][g_fitTo];
  result.fitted = true;
  result.rate = m_kineticRate;
  result.width = m_rateStdev;
  result.transitions = static_cast<std::int32_t>(list.size());

  m_drawFitCurve = true;
  DrawPanel();
  UpdateData(FALSE);
}
