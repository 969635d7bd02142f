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

using Words = std::vector<std::string>;
// What is wrong with a command's words; nothing when it ran (its refusals shown to the user).
using Wrong = std::optional<std::string>;

// Runs `command` on the numbers of type T that all of `words` spell; what is wrong otherwise.
template <class T, class Command>
Wrong WithNumbers(const Words& words, Command command) {
  std::vector<T> values;
  for (const std::string& word : words) {
    const auto value = NumberOf<T>(word);
    if (!value) return "'" + word + "' is not " + (std::is_integral_v<T> ? "a whole number" : "a number");
    values.push_back(*value);
  }
  command(values);
  return std::nullopt;
}

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
  return WithNumbers<double>(args, [&](const std::vector<double>& seconds) {
    if (!dlg.Show(dlg.m_session.SetExposure(seconds[0]))) return;
    dlg.m_exposureTime = dlg.m_session.Exposure();
    dlg.RedrawMap();
    dlg.ShowRateTip();
  });
}

Wrong CutoffValues(CVarnelDlg& dlg, const Words& args) {
  return WithNumbers<double>(args, [&](const std::vector<double>& values) {
    if (!dlg.Show(dlg.m_session.SetCutoffs(values))) return;
    dlg.m_cutoffs = dlg.m_session.CutoffValues();
    if (const int slot = dlg.m_cutoffList.GetCurSel(); slot >= 0 && slot < kMaxStates)
      dlg.m_cutoffValue = dlg.m_cutoffs[static_cast<std::size_t>(slot)];
    dlg.RedrawMap();
  });
}

Wrong Peaks(CVarnelDlg& dlg, const Words& args) {
  return WithNumbers<int>(args, [&](const std::vector<int>& peaks) {
    if (!dlg.Show(dlg.m_session.SetPeaks(peaks[0]))) return;
    dlg.m_peaksInReport = dlg.m_session.Peaks();
    dlg.UpdateData(FALSE);
  });
}

Wrong States(CVarnelDlg& dlg, const Words& args) {
  return WithNumbers<int>(args, [&](const std::vector<int>& states) {
    if (!dlg.Show(dlg.m_session.SetStates(states[0]))) return;
    dlg.m_stateCount = dlg.m_session.States();
    dlg.m_cutoffs = dlg.m_session.CutoffValues();
    dlg.ShowCutoffList();
    dlg.RedrawMap();
  });
}

Wrong Pick(CVarnelDlg& dlg, const Words& args) {
  return WithNumbers<int>(args, [&](const std::vector<int>& v) {
    const int from = v[0], to = v[1], states = dlg.m_stateCount;
    // The picker's classes: those of the number of states the window shows.
    if (from < 1 || to < 1 || from > states || to > states)
      AfxMessageBox("Class " + ClassName(from, to) + " is not among the classes of " + std::to_string(states) +
                    " states.");
    else
      dlg.ShowClass(from - 1, to - 1);
  });
}

Wrong Circle(CVarnelDlg& dlg, const Words& args) {
  return WithNumbers<int>(args, [&](const std::vector<int>& v) {
    const int from = v[0], to = v[1];
    // X across (the final value, a column), Y down (the initial value, a row), all in map cells.
    if (!dlg.Show(dlg.m_session.PlaceCircle(from, to, v[3], v[2], v[4]))) return;
    dlg.ShowClass(from - 1, to - 1);
    if (!dlg.Show(dlg.m_session.SetCircle(from, to))) return;
    dlg.MirrorSession();
    dlg.DrawPanel();
  });
}

// Shows each class and fits it, as "Fit Gaussian" does for the shown class.
void FitClasses(CVarnelDlg& dlg, const std::vector<std::pair<int, int>>& classes) {
  if (dlg.FieldRefused(IDC_EXPOSURE_TIME)) return;
  for (const auto& [from, to] : classes) {
    if (!dlg.Show(dlg.m_session.CheckLockedClass(from, to))) return;
    dlg.ShowClass(from - 1, to - 1);
    dlg.FitClass(from, to);
  }
}

// `fit I J`: class I->J; `fit all`: every class of the lock in row-major order, as the picker
// steps through them, 1->1, 1->2, ..., N->N (before a lock: "Lock cutoffs first.").
Wrong Fit(CVarnelDlg& dlg, const Words& args) {
  if (args.size() == 2)
    return WithNumbers<int>(args, [&](const std::vector<int>& v) { FitClasses(dlg, {{v[0], v[1]}}); });
  if (args[0] != "all") return "fit takes a class I J or all, not '" + args[0] + "'";
  const int states = std::max(dlg.m_session.LockedStates(), 1);
  std::vector<std::pair<int, int>> classes;
  for (int i = 1; i <= states; ++i)
    for (int j = 1; j <= states; ++j) classes.emplace_back(i, j);
  FitClasses(dlg, classes);
  return std::nullopt;
}

// `dwell STATE|all [OPTIONS]`: every state's dwell times fitted, STATE's (or all) shown.
Wrong Dwell(CVarnelDlg& dlg, const Words& args) {
  std::optional<int> state;
  if (args[0] != "all") {
    state = NumberOf<int>(args[0]);
    if (!state) return "dwell takes a state or all, not '" + args[0] + "'";
  }
  std::string error;
  const std::optional<DwellOptions> options = ParseDwellOptions(Words(args.begin() + 1, args.end()), error);
  if (!options) return error;
  dlg.AnalyseDwells(*options, state);
  return std::nullopt;
}

struct AnalysisCommand {
  const char* name;
  Wrong (*run)(CVarnelDlg&, const Words&);
};

constexpr AnalysisCommand kCommands[] = {
    {"exposure", Exposure}, {"peaks", Peaks}, {"load", Load}, {"states", States}, {"cutoffs", CutoffValues},
    {"lock", Lock},         {"pick", Pick},   {"circle", Circle}, {"circles", Circles}, {"fit", Fit},
    {"dwell", Dwell},       {"log", Log},
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
