// "Fit Gaussian": the shown class fitted by the session, its rate shown, the panel drawn with the
// fitted curve; and the exposure that the fits divide by.
#include "app/varneldlg.h"

#include "analysis/fields.h"
#include "fit/fitparams.h"
#include "platform/ddx.h"
#include "res/resource.h"

void CVarnelDlg::OnFitGaussian() {
  UpdateData(TRUE);
  Execute({"fit", std::to_string(m_pickFrom), std::to_string(m_pickTo)});
}

void CVarnelDlg::OnFitAll() { Execute({"fit", "all"}); }

void CVarnelDlg::ShowRateTip() {
  if (!m_rateClass) return;
  const ClassFit* fit = m_session.FitOf(m_rateClass->first, m_rateClass->second);
  SetControlTip(IDC_KINETIC_RATE, fit ? RateTip(*fit, m_session.Exposure()) : std::string());
}

// Each number the field takes reaches the session as it is typed, so that whatever the user does
// next uses what the edit shows. The edit is left as typed ("0.10" stays "0.10" until the next
// redraw writes the value); text the field refuses is marked, and the session keeps its value.
void CVarnelDlg::OnExposureChange() {
  const Control* edit = FindControl(IDC_EXPOSURE_TIME);
  const std::optional<double> typed = edit ? ParseDouble(edit->text) : std::nullopt;
  if (typed && FieldTakes(Field::Exposure, *typed) && *typed != m_session.Exposure())
    Show(RunCommand(m_session, {"exposure", ExactWord(*typed)}).outcome);
  ShowRateTip();
}
