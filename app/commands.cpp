// The analysis commands of scripts: what a batch user writes (`exposure 0.1`, `load reports/*.dat`,
// `states 3`, `lock`, `fit all`, `log`) instead of the clicks that do the same. Each goes through
// the same session operations and the same view updates as the controls, with the same messages.
#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
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

using Words = std::vector<std::string>;
// What is wrong with a command's words; nothing when it ran (its refusals shown to the user).
using Wrong = std::optional<std::string>;

Wrong Load(CVarnelDlg& dlg, const Words& args) {
  if (!dlg.FieldRefused(IDC_PEAKS_IN_REPORT)) dlg.LoadReports(ExpandScriptPaths(args));
  return std::nullopt;
}

Wrong Lock(CVarnelDlg& dlg, const Words&) {
  dlg.OnLockCutoffs();
  return std::nullopt;
}

Wrong Log(CVarnelDlg& dlg, const Words&) {
  dlg.OnDumpLog();
  return std::nullopt;
}

Wrong Circles(CVarnelDlg& dlg, const Words& args) {
  if (args[0] != "on" && args[0] != "off") return "circles takes on or off, not '" + args[0] + "'";
  dlg.m_useCircles = args[0] == "on";
  dlg.RedrawMap();
  return std::nullopt;
}

Wrong Exposure(CVarnelDlg& dlg, const Words& args) {
  std::string error;
  const auto seconds = NumbersOf<double>(args, error);
  if (!seconds) return error;
  if (!dlg.Show(dlg.m_session.SetExposure(seconds->front()))) return std::nullopt;
  dlg.m_exposureTime = dlg.m_session.Exposure();
  dlg.RedrawMap();
  dlg.ShowRateTip();
  return std::nullopt;
}

Wrong CutoffValues(CVarnelDlg& dlg, const Words& args) {
  std::string error;
  const auto values = NumbersOf<double>(args, error);
  if (!values) return error;
  if (!dlg.Show(dlg.m_session.SetCutoffs(*values))) return std::nullopt;
  dlg.m_cutoffs = dlg.m_session.CutoffValues();
  if (const int slot = dlg.m_cutoffList.GetCurSel(); slot >= 0 && slot < kMaxStates)
    dlg.m_cutoffValue = dlg.m_cutoffs[static_cast<std::size_t>(slot)];
  dlg.RedrawMap();
  return std::nullopt;
}

Wrong Peaks(CVarnelDlg& dlg, const Words& args) {
  std::string error;
  const auto peaks = NumbersOf<int>(args, error);
  if (!peaks) return error;
  if (!dlg.Show(dlg.m_session.SetPeaks(peaks->front()))) return std::nullopt;
  dlg.m_peaksInReport = dlg.m_session.Peaks();
  dlg.UpdateData(FALSE);
  return std::nullopt;
}

Wrong States(CVarnelDlg& dlg, const Words& args) {
  std::string error;
  const auto states = NumbersOf<int>(args, error);
  if (!states) return error;
  if (!dlg.Show(dlg.m_session.SetStates(states->front()))) return std::nullopt;
  dlg.m_stateCount = dlg.m_session.States();
  dlg.m_cutoffs = dlg.m_session.CutoffValues();
  dlg.ShowCutoffList();
  dlg.RedrawMap();
  return std::nullopt;
}

Wrong Pick(CVarnelDlg& dlg, const Words& args) {
  std::string error;
  const auto v = NumbersOf<int>(args, error);
  if (!v) return error;
  const int from = (*v)[0], to = (*v)[1], states = dlg.m_stateCount;
  // The picker's classes: those of the number of states the window shows.
  if (from < 1 || to < 1 || from > states || to > states)
    AfxMessageBox("Class " + ClassName(from, to) + " is not among the classes of " + std::to_string(states) +
                  " states.");
  else
    dlg.ShowClass(from - 1, to - 1);
  return std::nullopt;
}

Wrong Circle(CVarnelDlg& dlg, const Words& args) {
  std::string error;
  const auto v = NumbersOf<int>(args, error);
  if (!v) return error;
  const int from = (*v)[0], to = (*v)[1];
  // X across (the final value, a column), Y down (the initial value, a row), all in map cells.
  if (!dlg.Show(dlg.m_session.PlaceCircle(from, to, (*v)[3], (*v)[2], (*v)[4]))) return std::nullopt;
  dlg.ShowClass(from - 1, to - 1);
  if (!dlg.Show(dlg.m_session.SetCircle(from, to))) return std::nullopt;
  dlg.MirrorSession();
  dlg.DrawPanel();
  return std::nullopt;
}

// `fit I J`: class I->J shown and fitted; `fit all`: every class of the lock in row-major
// order, as the picker steps through them: 1->1, 1->2, ..., N->N.
Wrong Fit(CVarnelDlg& dlg, const Words& args) {
  if (args.size() == 1 && args[0] != "all") return "fit takes a class I J or all, not '" + args[0] + "'";
  std::string error;
  const auto v = args.size() == 2 ? NumbersOf<int>(args, error) : std::optional<std::vector<int>>(std::vector<int>{});
  if (!v) return error;
  if (dlg.FieldRefused(IDC_EXPOSURE_TIME)) return std::nullopt;
  std::vector<std::pair<int, int>> classes;
  if (args.size() == 2) {
    if (!dlg.Show(dlg.m_session.CheckLockedClass((*v)[0], (*v)[1]))) return std::nullopt;
    classes.emplace_back((*v)[0], (*v)[1]);
  } else {
    if (!dlg.Show(dlg.m_session.CheckLockedClass(1, 1))) return std::nullopt;
    const int states = dlg.m_session.LockedStates();
    for (int i = 1; i <= states; ++i)
      for (int j = 1; j <= states; ++j) classes.emplace_back(i, j);
  }
  for (const auto& [from, to] : classes) {
    dlg.ShowClass(from - 1, to - 1);
    dlg.FitClass(from, to);
  }
  return std::nullopt;
}

struct AnalysisCommand {
  const char* name;
  Wrong (*run)(CVarnelDlg&, const Words&);
};

constexpr AnalysisCommand kCommands[] = {
    {"exposure", Exposure}, {"peaks", Peaks}, {"load", Load}, {"states", States}, {"cutoffs", CutoffValues},
    {"lock", Lock},         {"pick", Pick},   {"circle", Circle}, {"circles", Circles}, {"fit", Fit},
    {"log", Log},
};

}  // namespace

std::optional<std::string> CVarnelDlg::OnCommand(const std::string& name, const std::vector<std::string>& args) {
  const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const AnalysisCommand& c) { return name == c.name; });
  if (command == std::end(kCommands)) return CDialog::OnCommand(name, args);
  // What the controls hold now is what the command's operation uses, as a click would.
  SyncSettings();
  return command->run(*this, args);
}
