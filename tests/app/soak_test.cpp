// A seeded random session: thousands of actions of every kind a user has, garbage in every
// edit, odd files in every file dialog, under the sanitizers. Whatever happens, the analysis
// state keeps its invariants and nothing reads or writes out of bounds. `make soak` runs a
// long one (VARNEL_SOAK_ACTIONS).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/ddx.h"
#include "res/resource.h"
#include "tests/reports/reference_map.h"
#include "tests/support/dialog_fixture.h"

namespace {

using SoakTest = DialogTest;

constexpr int kDefaultActions = 3000;

int ActionCount() {
  const char* given = std::getenv("VARNEL_SOAK_ACTIONS");
  return given ? std::atoi(given) : kDefaultActions;
}

// Text a user might type, or a cat walking over the keyboard.
std::string RandomText(std::mt19937_64& random) {
  static const std::vector<std::string> plausible = {"0", "1", "2", "3", "10", "0.05", "0.5", "1e-9", "1e-320",
                                                     "-1", "1000", "1001", "0,05", "abc", "", " 3 ", "nan", "inf"};
  static const std::string keys = "0123456789.-+eE, xq#\"\\\t";
  std::uniform_int_distribution<int> pick(0, 9);
  if (pick(random) < 6) return plausible[std::uniform_int_distribution<std::size_t>(0, plausible.size() - 1)(random)];
  std::string text;
  const std::size_t length = pick(random) == 0 ? 2000 : std::uniform_int_distribution<std::size_t>(1, 12)(random);
  for (std::size_t k = 0; k < length; ++k) text += keys[std::uniform_int_distribution<std::size_t>(0, keys.size() - 1)(random)];
  if (pick(random) == 0) text += "\xC3\xA9\xFF";  // a character of two bytes, and a byte that is none
  return text;
}

TEST_F(SoakTest, ARandomSessionKeepsTheAnalysisWhole) {
  // Reports of 2 and 3 peaks, a file that is none, the program's own output, a pipe and a folder.
  dir.Write("k2.dat", ReportText({{0.2, 0.2, 0.3, 0, 3}, {0.2, 0.8, 0.05, 0, 2}, {0.8, 0.2, 0.1, 0, 1},
                                  {0.8, 0.8, 0.4, 0, 5}}));
  std::vector<TransitionRecord> nine;
  for (int r = 0; r < 9; ++r) nine.push_back({0.1 + 0.1 * (r / 3), 0.1 + 0.3 * (r % 3), 0.02 * (r + 1), 0, r % 4 * 1.5});
  dir.Write("k3.dat", ReportText(nine));
  dir.Write("table.dat", "a;b\n1;2\n");
  dir.Write("log.dat", "Assumed there were 2 real states\n");
  ASSERT_EQ(mkfifo((dir / "pipe.dat").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.dat");
  const std::vector<std::string> files = {dir / "k2.dat",  dir / "k3.dat",   dir / "table.dat", dir / "log.dat",
                                          dir / "pipe.dat", dir / "folder.dat", dir / "missing.dat"};

  std::vector<int> edits, buttons, lists;
  for (const Control& c : dlg->Controls()) {
    if (c.Id() == IDC_STATIC) continue;
    if (c.Kind() == ControlKind::Edit) edits.push_back(c.Id());
    if (c.Kind() == ControlKind::PushButton || c.Kind() == ControlKind::CheckBox) buttons.push_back(c.Id());
    if (c.Kind() == ControlKind::ComboBox) lists.push_back(c.Id());
  }
  const auto any = [](std::mt19937_64& random, const auto& items) {
    return items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(random)];
  };

  std::mt19937_64 random(20261207);
  const int actions = ActionCount();
  for (int n = 0; n < actions; ++n) {
    switch (std::uniform_int_distribution<int>(0, 9)(random)) {
      case 0:
      case 1:
        Type(any(random, edits), RandomText(random));
        break;
      case 2:
        Paste(any(random, edits), RandomText(random));
        break;
      case 3: {
        std::vector<std::string> chosen;
        for (const std::string& f : files)
          if (std::uniform_int_distribution<int>(0, 2)(random) == 0) chosen.push_back(f);
        host.fileAnswers.clear();
        host.fileAnswers.push_back(chosen);
        Click(IDC_LOAD_FILES);
        break;
      }
      case 4: {
        const int list = any(random, lists);
        const int entries = static_cast<int>(dlg->FindControl(list)->items.size());
        if (entries > 0) Select(list, std::uniform_int_distribution<int>(0, entries - 1)(random));
        break;
      }
      case 5:
        dlg->SendMessage(WM_PAINT);
        break;
      default:
        Click(any(random, buttons));
        break;
    }
    // What every handler relies on.
    ASSERT_TRUE(dlg->m_stateCount >= 0 && dlg->m_stateCount <= kMaxStates) << "action " << n;
    ASSERT_TRUE(dlg->m_peaksInReport >= 0 && dlg->m_peaksInReport <= kMaxPeaks) << "action " << n;
    ASSERT_GE(dlg->m_exposureTime, kLeastExposure) << "action " << n;
    for (double cutoff : dlg->m_cutoffs) ASSERT_TRUE(cutoff >= 0 && cutoff <= 1) << "action " << n;
    const auto locked = static_cast<std::size_t>(dlg->m_session.LockedStates());
    ASSERT_EQ(dlg->m_session.Lists().size(), locked * locked) << "action " << n;
    ASSERT_EQ(dlg->m_cutoffsLocked, locked > 0) << "action " << n;
    // What the controls show is what the session will use: an edit shows the session's value,
    // or text its field refuses (which leaves the value before it), never another number.
    const auto showsSessions = [&](int id, double used) {
      const Control& edit = *dlg->FindControl(id);
      const std::optional<double> shown = ParseDouble(edit.text);
      return !edit.invalidMessage.empty() || !shown || *shown == used ||
             (edit.text == edit.lastWritten && edit.lastValue == used);
    };
    ASSERT_TRUE(showsSessions(IDC_EXPOSURE_TIME, dlg->m_session.Exposure()))
        << "action " << n << ": " << Text(IDC_EXPOSURE_TIME) << " for " << dlg->m_session.Exposure();
    ASSERT_TRUE(showsSessions(IDC_PEAKS_IN_REPORT, dlg->m_session.Peaks())) << "action " << n;
    ASSERT_TRUE(showsSessions(IDC_STATE_COUNT, dlg->m_session.States())) << "action " << n;
    ASSERT_EQ(dlg->FindControl(IDC_WEIGHT_BY_COUNT)->check, dlg->m_session.Weighted() ? 1 : 0) << "action " << n;
    // The cutoff list has an entry per movable cutoff of the session's N ("Null" before one).
    const int states = dlg->m_session.States();
    ASSERT_EQ(dlg->FindControl(IDC_CUTOFF_LIST)->items.size(), static_cast<std::size_t>(states == 0 ? 1 : states - 1))
        << "action " << n;
    // The cutoff edit is the one input that waits for its button: "Refresh Cutoffs" takes what
    // it holds, and a step or a redraw puts the stored cutoff back.
  }
}

}  // namespace
