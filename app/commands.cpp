// Every action of the window is a command of the session: the buttons, the menus and a script's
// lines run one through Execute, which shows what it said, tells the host what was done, and
// redraws from the session what it changed.
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/varnel.h"
#include "app/varneldlg.h"
#include "export/exportoptions.h"
#include "idealise/idealiseoptions.h"
#include "import/importoptions.h"
#include "platform/script.h"
#include "reports/parallel.h"
#include "res/resource.h"

namespace {

using Words = std::vector<std::string>;

// What long work says while it runs: "Reading 60 reports".
std::string WorkCaption(const Words& words) {
  const std::string& name = words.front();
  const Words args(words.begin() + 1, words.end());
  const auto files = [&](OptionWordCount optionWords) {
    const Words answer = ScriptFileAnswer(args, optionWords);
    const std::size_t n = answer.size() - LeadingOptionWords(answer, optionWords);
    return std::to_string(n) + (n == 1 ? " trace file" : " trace files");
  };
  if (name == "load") {
    const std::size_t n = ExpandScriptPaths(args).size();
    return "Reading " + std::to_string(n) + (n == 1 ? " report" : " reports");
  }
  if (name == "import") return "Importing " + files(ImportOptionWords);
  if (name == "idealise") return "Idealising " + files(IdealiseOptionWords);
  if (name == "dwell") return "Fitting the dwell times";
  return "Exporting figures and tables";
}

// Whether the words give `--peaks` (then "Peaks in report" is not what the command reads).
bool NamesPeaks(const Words& words) {
  return std::any_of(words.begin(), words.end(), [](const std::string& w) { return w.starts_with("--peaks"); });
}

// The whole text of `word` as a whole number, or nothing.
std::optional<int> WholeNumber(const std::string& word) {
  int value = 0;
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || word.empty()) return std::nullopt;
  return value;
}

// The window's own commands: what it shows, which the session does not hold.
const CommandWords kWindowCommands[] = {
    {"pick", 2, 2, "pick I J", "shows class I->J in the panel, as the picker steps to it"},
    {"circles", 1, 1, "circles on, or circles off", "ticks or unticks \"Use circles\": whether the map draws them"},
};

}  // namespace

std::span<const CommandWords> CVarnelApp::ProgramCommands() const {
  static const std::vector<CommandWords> all = [] {
    std::vector<CommandWords> words(SessionCommands().begin(), SessionCommands().end());
    words.insert(words.end(), std::begin(kWindowCommands), std::end(kWindowCommands));
    return words;
  }();
  return all;
}

bool CVarnelDlg::Execute(const Words& words, std::optional<std::string>* wrong) {
  const std::string& name = words.front();
  // An action never runs on a refused value: the edits it reads must hold what their fields take.
  if ((name == "load" || ((name == "import" || name == "idealise") && !NamesPeaks(words))) &&
      FieldRefused(IDC_PEAKS_IN_REPORT))
    return false;
  if (name == "fit" && FieldRefused(IDC_EXPOSURE_TIME)) return false;
  // The figures of an export show every interval: they are waited for, or nothing is written.
  if (name == "export" && !AwaitIntervalsShown()) return false;

  CommandContext context;
  context.shownCircle = ShownCircle();
  context.awaitIntervals = AfxGetHost().AwaitsWorkers();
  CommandResult result;
  {
    CWaitCursor wait;
    if (IsLongCommand(name)) {
      WorkProgress progress;
      context.progress = &progress;
      AfxGetHost().RunLongWork(
          StoppableWork(WorkCaption(words), progress, [&] { result = RunCommand(m_session, words, context); }));
    } else {
      result = RunCommand(m_session, words, context);
    }
  }
  if (result.wrongWords) {
    if (wrong)
      *wrong = *result.wrongWords;
    else
      AfxMessageBox(*result.wrongWords);
    return false;
  }
  if (result.outcome.done) AfxGetHost().CommandDone(result.asDone);
  Refresh(name, result);
  Show(result.outcome);
  ShowTables(words, result);
  return result.outcome.done;
}

void CVarnelDlg::Refresh(const std::string& name, const CommandResult& result) {
  const Changes changed = result.changed;
  // A new map is drawn with every overlay and the controls: no second redraw below.
  const bool mapShown = (changed & (change::kRecords | change::kMap)) != 0;
  if (changed & change::kRecords) {
    ShowLoad();
  } else if (changed & change::kMap) {
    ShowGrid();
  }
  if (changed & change::kStates) {
    // A new number of states lists its cutoffs anew; a moved cutoff keeps the one selected.
    if (name == "states") {
      ShowCutoffList();
    } else if (const int slot = m_cutoffList.GetCurSel(); slot >= 0 && slot < kMaxStates) {
      m_cutoffValue = m_cutoffs[static_cast<std::size_t>(slot)];
    }
  }
  if (name == "lock" && (changed & change::kLock)) {
    m_shownFrom = 0;
    m_shownTo = 0;
  }
  const ClassFit* fit = result.shownClass ? m_session.FitOf(result.shownClass->first, result.shownClass->second) : nullptr;
  if (name == "fit" && (changed & change::kFits) && fit) {
    m_kineticRate = fit->rate;
    m_rateStdev = fit->stdev;
    m_gaussAmplitude = fit->gaussian.amplitude;
    m_rateClass = result.shownClass;
    m_drawFitCurve = true;
  }
  if (changed & change::kFits) WatchIntervals();
  if (result.shownClass)
    ShowClass(result.shownClass->first - 1, result.shownClass->second - 1);
  else if (name == "lock" && (changed & change::kLock))
    DrawPanel();
  else if (!mapShown)
    RedrawMap();
  if (changed & (change::kFits | change::kDwells | change::kSettings)) ShowArrivedIntervals();
  ShowIntervalProgress();
}

void CVarnelDlg::ShowTables(const Words& words, const CommandResult& result) {
  const std::string& name = words.front();
  if (!result.outcome.done || !result.table) return;
  if (name == "dwell") {
    const std::optional<int> state = words[1] == "all" ? std::nullopt : WholeNumber(words[1]);
    ShowDwellFigures(state ? std::optional(*state - 1) : std::nullopt);
  } else if (name == "idealise") {
    ShowIdealisedFigures();
  } else if (name == "molecules" && words.size() > 1 && words[1] != "rule") {
    // A molecule kept or rejected, by hand: its page in the window of traces says so.
  } else {
    AfxGetHost().ShowTable(*result.table);
  }
}

std::optional<std::string> CVarnelDlg::OnCommand(const std::string& name, const Words& args) {
  const auto usage = [&](const std::string& wrong, const char* usageText) -> std::optional<std::string> {
    return wrong.starts_with("usage: ") ? wrong : wrong + " (usage: " + usageText + ")";
  };
  if (name == "circles") {
    if (args[0] != "on" && args[0] != "off") return usage("circles takes on or off, not '" + args[0] + "'", kWindowCommands[1].usage);
    m_useCircles = args[0] == "on";
    RedrawMap();
    return std::nullopt;
  }
  if (name == "pick") {
    const auto from = WholeNumber(args[0]), to = WholeNumber(args[1]);
    if (!from || !to) return usage("'" + args[from ? 1 : 0] + "' is not a whole number", kWindowCommands[0].usage);
    // The picker's classes: those of the number of states the window shows.
    const int states = m_stateCount;
    if (*from < 1 || *to < 1 || *from > states || *to > states)
      AfxMessageBox("Class " + ClassName(*from, *to) + " is not among the classes of " + std::to_string(states) +
                    " states.");
    else
      ShowClass(*from - 1, *to - 1);
    return std::nullopt;
  }
  const CommandWords* command = FindSessionCommand(name);
  if (!command) return CDialog::OnCommand(name, args);
  Words words{name};
  words.insert(words.end(), args.begin(), args.end());
  std::optional<std::string> wrong;
  Execute(words, &wrong);
  if (wrong) return usage(*wrong, command->usage);
  return std::nullopt;
}
