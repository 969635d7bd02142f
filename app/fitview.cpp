// "Fit Gaussian": the shown class fitted by the session, its rate shown, the panel drawn with the
// fitted curve.
#include "app/varneldlg.h"

#include "fit/fitparams.h"
#include "platform/ddx.h"
#include "res/resource.h"

void CVarnelDlg::OnFitGaussian() {
  UpdateData(TRUE);
  if (FieldRefused(IDC_EXPOSURE_TIME)) return;
  FitClass(m_pickFrom, m_pickTo);
}

void CVarnelDlg::FitClass(int from, int to) {
  SyncSettings();
  Outcome outcome;
  {
    // A large class takes a moment to fit and to write.
    CWaitCursor wait;
    outcome = m_session.Fit(from, to);
  }
  const ClassFit* fit = m_session.FitOf(from, to);
  if (outcome.done && fit) {
    g_fitAmplitude = fit->lastEvaluated.amplitude;
    g_fitCentre = fit->lastEvaluated.centre;
    g_fitWidth = fit->lastEvaluated.width;
    m_kineticRate = fit->rate;
    m_rateStdev = fit->stdev;
    m_gaussAmplitude = fit->gaussian.amplitude;
    m_rateClass = {from, to};
    ShowRateTip();
    m_drawFitCurve = true;
    DrawPanel();
    UpdateData(FALSE);
  }
  WatchIntervals();
  Show(outcome);
}

namespace {

// The exposure the edit shows now, typed or written, read as the data exchange reads it;
// nothing while it holds no number.
std::optional<double> ShownExposure(const Control& edit) {
  if (edit.text == edit.lastWritten) return edit.lastValue;
  return ParseDouble(edit.text);
}

}  // namespace

void CVarnelDlg::ShowRateTip() {
  if (!m_rateClass) return;
  const ClassFit* fit = m_session.FitOf(m_rateClass->first, m_rateClass->second);
  const Control* edit = FindControl(IDC_EXPOSURE_TIME);
  const std::optional<double> exposure = edit ? ShownExposure(*edit) : std::nullopt;
  SetControlTip(IDC_KINETIC_RATE, fit ? RateTip(*fit, exposure.value_or(fit->exposureTime)) : std::string());
}

void CVarnelDlg::OnExposureChange() { ShowRateTip(); }
