// The analysis commands of scripts: what a batch user writes (`exposure 0.1`, `load reports/*.dat`,
// `states 3`, `lock`, `fit all`, `log`) instead of the clicks that do the same. Each goes through
// the same session operations and the same view updates as the controls, with the same messages.
#include <charconv>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/varneldlg.h"
#include "platform/script.h"
#include "res/resource.h"

namespace {

// The whole text of `word` as a number of type T, or nothing.
template <class T>
std::optional<T> NumberOf(const std::string& word) {
  T value{};
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || word.empty()) return std::nullopt;
  return value;
}

// The numbers `words` spell, all of them, or nothing (and what is wrong in `error`).
template <class T>
std::optional<std::vector<T>> NumbersOf(const std::vector<std::string>& words, std::string& error) {
  std::vector<T> values;
  for (const std::string& word : words) {
    const auto value = NumberOf<T>(word);
    if (!value) {
      error = "'" + word + "' is not " + (std::is_integral_v<T> ? "a whole number" : "a number");
      return std::nullopt;
    }
    values.push_back(*value);
  }
  return values;
}

}  // namespace

std::optional<std::string> CVarnelDlg::OnCommand(const std::string& name, const std::vector<std::string>& args) {
  std::string error;
  SyncSettings();
  if (name == "load") {
    if (FieldRefused(IDC_PEAKS_IN_REPORT)) return std::nullopt;
    LoadReports(ExpandScriptPaths(args));
    return std::nullopt;
  }
  if (name == "lock") {
    OnLockCutoffs();
    return std::nullopt;
  }
  if (name == "log") {
    OnDumpLog();
    return std::nullopt;
  }
  if (name == "circles") {
    if (args[0] != "on" && args[0] != "off") return "circles takes on or off, not '" + args[0] + "'";
    m_useCircles = args[0] == "on";
    RedrawMap();
    return std::nullopt;
  }
  if (name == "fit" && args.size() == 1) {
    if (args[0] != "all") return "fit takes a class I J or all, not '" + args[0] + "'";
    if (FieldRefused(IDC_EXPOSURE_TIME)) return std::nullopt;
    const int states = m_session.LockedStates();
    if (states == 0) {
      Show(m_session.CheckLockedClass(1, 1));
      return std::nullopt;
    }
    // Row-major, as the picker steps: 1->1, 1->2, ..., N->N.
    for (int i = 1; i <= states; ++i)
      for (int j = 1; j <= states; ++j) {
        ShowClass(i - 1, j - 1);
        FitClass(i, j);
      }
    return std::nullopt;
  }
  if (name == "exposure" || name == "cutoffs") {
    const auto values = NumbersOf<double>(args, error);
    if (!values) return error;
    if (name == "exposure") {
      if (!Show(m_session.SetExposure(values->front()))) return std::nullopt;
      m_exposureTime = m_session.Exposure();
    } else {
      if (!Show(m_session.SetCutoffs(*values))) return std::nullopt;
      m_cutoffs = m_session.CutoffValues();
      if (const int slot = m_cutoffList.GetCurSel(); slot >= 0 && slot < kMaxStates) m_cutoffValue = m_cutoffs[slot];
    }
    RedrawMap();
    ShowRateTip();
    return std::nullopt;
  }
  const auto values = NumbersOf<int>(args, error);
  if (!values) return error;
  const std::vector<int>& v = *values;
  if (name == "peaks") {
    if (!Show(m_session.SetPeaks(v[0]))) return std::nullopt;
    m_peaksInReport = m_session.Peaks();
    UpdateData(FALSE);
  } else if (name == "states") {
    if (!Show(m_session.SetStates(v[0]))) return std::nullopt;
    m_stateCount = m_session.States();
    m_cutoffs = m_session.CutoffValues();
    ShowCutoffList();
    RedrawMap();
  } else if (name == "pick") {
    // The picker's classes: those of the number of states the window shows.
    if (v[0] < 1 || v[1] < 1 || v[0] > m_stateCount || v[1] > m_stateCount) {
      AfxMessageBox("Class " + ClassName(v[0], v[1]) + " is not among the classes of " + std::to_string(m_stateCount) +
                    " states.");
      return std::nullopt;
    }
    ShowClass(v[0] - 1, v[1] - 1);
  } else if (name == "circle") {
    // X across (the final value), Y down (the initial value), all in map cells.
    if (!Show(m_session.PlaceCircle(v[0], v[1], v[3], v[2], v[4]))) return std::nullopt;
    ShowClass(v[0] - 1, v[1] - 1);
    if (!Show(m_session.SetCircle(v[0], v[1]))) return std::nullopt;
    MirrorSession();
    DrawPanel();
  } else if (name == "fit") {
    if (FieldRefused(IDC_EXPOSURE_TIME)) return std::nullopt;
    if (!Show(m_session.CheckLockedClass(v[0], v[1]))) return std::nullopt;
    ShowClass(v[0] - 1, v[1] - 1);
    FitClass(v[0], v[1]);
  } else {
    return CDialog::OnCommand(name, args);
  }
  return std::nullopt;
}
