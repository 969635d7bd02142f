#include "platform/ddx.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::optional<int> ParseInt(const std::string& text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int>(v);
}

// The edit's control, or null when the dialog has none (then nothing is exchanged).
Control* EditOf(CDataExchange* dx, int id) { return dx->m_pDlgWnd->FindControl(id); }

// Writes a field's text into its control, only when it differs.
template <class T>
void WriteText(CDataExchange* dx, Control& control, T value) {
  const std::string text = FormatField(value);
  control.lastWritten = text;
  control.lastValue = static_cast<double>(value);
  dx->m_pDlgWnd->ClearInvalid(control);
  dx->m_pDlgWnd->SetControlText(control, text);
}

// Takes the control's text into `value` through `parse`; refuses text that does not convert or
// lies outside the field's limits. Text that is exactly what last went between control and
// field stands for that exact value: a shown 1/3 stays 1/3 and is never refused, even where it
// lies outside the limits (a count of 0 before the user has entered one).
template <class T, class Parse, class Accept>
void ReadText(CDataExchange* dx, Control& control, T& value, Parse parse, Accept accept, const std::string& rule) {
  if (control.text == control.lastWritten) {
    if (!dx->ValidatesOnly()) value = static_cast<T>(control.lastValue);
    dx->m_pDlgWnd->ClearInvalid(control);
    return;
  }
  const auto parsed = parse(control.text);
  if (!parsed || !accept(*parsed)) {
    dx->m_pDlgWnd->MarkInvalid(control, rule, !dx->ValidatesOnly());
    dx->Fail();
    return;
  }
  if (dx->ValidatesOnly()) return dx->m_pDlgWnd->ClearInvalid(control);
  value = *parsed;
  control.lastWritten = control.text;
  control.lastValue = static_cast<double>(*parsed);
  dx->m_pDlgWnd->ClearInvalid(control);
}

}  // namespace

std::string FormatField(int value) { return std::to_string(value); }

std::string FormatField(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

std::optional<double> ParseDouble(const std::string& text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

void DDX_Control(CDataExchange* dx, int id, CWndControl& control) {
  if (!control.IsAttached()) control.Attach(dx->m_pDlgWnd, dx->m_pDlgWnd->FindControl(id));
}

void DDX_Text(CDataExchange* dx, int id, int& value, std::optional<IntLimits> limits) {
  Control* control = EditOf(dx, id);
  if (!control) return;
  if (!dx->m_bSaveAndValidate) return WriteText(dx, *control, value);
  const std::string rule = limits ? "Please enter an integer between " + std::to_string(limits->min) + " and " +
                                        std::to_string(limits->max) + "."
                                  : "Please enter an integer.";
  ReadText(
      dx, *control, value, ParseInt, [&](int v) { return !limits || (v >= limits->min && v <= limits->max); }, rule);
}

void DDX_Text(CDataExchange* dx, int id, double& value, std::optional<DoubleLimits> limits) {
  Control* control = EditOf(dx, id);
  if (!control) return;
  if (!dx->m_bSaveAndValidate) return WriteText(dx, *control, value);
  std::string rule = "Please enter a number";
  if (limits) {
    rule += (limits->minExclusive ? " greater than " : " of at least ") + FormatField(limits->min);
    if (std::isfinite(limits->max)) rule += " and at most " + FormatField(limits->max);
  }
  rule += ".";
  ReadText(
      dx, *control, value, ParseDouble,
      [&](double v) {
        return !limits || ((limits->minExclusive ? v > limits->min : v >= limits->min) && v <= limits->max);
      },
      rule);
}

namespace {

// Exchanges a view as its value's own field would be exchanged.
template <class T, class Exchange>
void ExchangeView(CDataExchange* dx, FieldView<T>& view, Exchange exchange) {
  T value = view();
  exchange(value);
  if (dx->m_bSaveAndValidate && !dx->ValidatesOnly()) view.Set(value);
}

}  // namespace

void DDX_Text(CDataExchange* dx, int id, FieldView<int>& view, std::optional<IntLimits> limits) {
  ExchangeView(dx, view, [&](int& value) { DDX_Text(dx, id, value, limits); });
}

void DDX_Text(CDataExchange* dx, int id, FieldView<double>& view, std::optional<DoubleLimits> limits) {
  ExchangeView(dx, view, [&](double& value) { DDX_Text(dx, id, value, limits); });
}

void DDX_Check(CDataExchange* dx, int id, FieldView<int>& view) {
  ExchangeView(dx, view, [&](int& value) { DDX_Check(dx, id, value); });
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  Control* control = EditOf(dx, id);
  if (!control) return;
  if (dx->ValidatesOnly()) return;
  if (dx->m_bSaveAndValidate)
    value = control->check ? 1 : 0;
  else
    dx->m_pDlgWnd->SetControlCheck(*control, value ? 1 : 0);
}
