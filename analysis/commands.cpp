#include "analysis/commands.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>
#include <type_traits>
#include <variant>

#include "analysis/molecules.h"
#include "analysis/session.h"
#include "dwell/dwellreport.h"
#include "export/exportoptions.h"
#include "fit/results.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "platform/script.h"
#include "selection/classlists.h"

namespace {

using Words = std::vector<std::string>;

// The whole text of `word` as a number of type T, or nothing.
template <class T>
std::optional<T> NumberOf(const std::string& word) {
  T value{};
  const char* end = word.data() + word.size();
  const auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || word.empty()) return std::nullopt;
  return value;
}

template <class T>
std::string NotANumber(const std::string& word) {
  return "'" + word + "' is not " + (std::is_integral_v<T> ? "a whole number" : "a number");
}

// Every word as a number of type T; the first that is none is named in `result`.
template <class T>
std::optional<std::vector<T>> NumbersOf(std::span<const std::string> words, CommandResult& result) {
  std::vector<T> values;
  for (const std::string& word : words) {
    const auto value = NumberOf<T>(word);
    if (!value) {
      result.wrongWords = NotANumber<T>(word);
      return std::nullopt;
    }
    values.push_back(*value);
  }
  return values;
}

// "I-J" as a class, 1-based.
std::optional<std::pair<int, int>> ClassOf(const std::string& word) {
  const std::size_t dash = word.find('-');
  if (dash == std::string::npos) return std::nullopt;
  const auto from = NumberOf<int>(word.substr(0, dash)), to = NumberOf<int>(word.substr(dash + 1));
  if (!from || !to) return std::nullopt;
  return std::pair{*from, *to};
}

std::string ClassWord(std::pair<int, int> c) { return std::to_string(c.first) + "-" + std::to_string(c.second); }

// What reads the intervals takes in those that have come, or waits for all of them first.
Changes TakeIntervals(Session& session, const CommandContext& context) {
  const auto arrived = context.awaitIntervals ? session.AwaitIntervals() : session.CollectIntervals();
  return arrived.empty() ? 0 : change::kFits;
}

// The words of a command that opens files as a file dialog's answer: its options first, then the
// paths (relative ones taken in `folder` where given, else in the working directory); nothing,
// and what is wrong in `result`, when no path is named.
struct OptionsAndPaths {
  Words options;
  Words paths;
};
std::optional<OptionsAndPaths> SplitAnswer(const Words& args, OptionWordCount optionWords, const std::string& folder,
                                           const CommandWords& command, CommandResult& result) {
  Words answer = ScriptFileAnswer(args, optionWords, folder);
  const auto options = static_cast<std::ptrdiff_t>(LeadingOptionWords(answer, optionWords));
  if (options == static_cast<std::ptrdiff_t>(answer.size())) {
    result.wrongWords = std::string("usage: ") + command.usage;
    return std::nullopt;
  }
  return OptionsAndPaths{Words(answer.begin(), answer.begin() + options), Words(answer.begin() + options, answer.end())};
}

// --- The commands ----------------------------------------------------------------------------

using Run = void (*)(Session&, const Words& args, const CommandContext&, const CommandWords&, CommandResult&);

void Exposure(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  if (const auto v = NumbersOf<double>(args, r)) {
    r.outcome = s.SetExposure((*v)[0]);
    r.changed = change::kSettings;
  }
}

void Peaks(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  if (const auto v = NumbersOf<int>(args, r)) {
    r.outcome = s.SetPeaks((*v)[0]);
    r.changed = change::kSettings;
  }
}

void Weight(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  if (args[0] != "on" && args[0] != "off") {
    r.wrongWords = "weight takes on or off, not '" + args[0] + "'";
    return;
  }
  s.SetWeighted(args[0] == "on");
  r.outcome = s.RebuildMap();
  r.changed = change::kSettings | change::kMap;
}

// What a load of any kind changes: everything that belonged to the records before.
constexpr Changes kLoadChanges =
    change::kRecords | change::kMap | change::kLock | change::kFits | change::kDwells | change::kSettings;

void Load(Session& s, const Words& args, const CommandContext& context, const CommandWords&, CommandResult& r) {
  r.outcome = s.Load(ExpandScriptPaths(args), context.progress);
  if (r.outcome.done) r.changed = kLoadChanges;
}

void Import(Session& s, const Words& args, const CommandContext&, const CommandWords& command, CommandResult& r) {
  const auto answer = SplitAnswer(args, ImportOptionWords, {}, command, r);
  if (!answer) return;
  std::string error;
  const auto arguments = ParseImportArguments(answer->options, error);
  if (!arguments) {
    r.outcome = Outcome::Refused(CannotImportMessage(error));
    return;
  }
  r.outcome = s.Import(answer->paths, arguments->options);
  r.changed = kLoadChanges;
}

void Idealise(Session& s, const Words& args, const CommandContext& context, const CommandWords& command,
              CommandResult& r) {
  const auto answer = SplitAnswer(args, IdealiseOptionWords, {}, command, r);
  if (!answer) return;
  std::string error;
  const auto arguments = ParseIdealiseArguments(answer->options, error);
  if (!arguments) {
    r.outcome = Outcome::Refused("Cannot idealise the traces: " + error + ".");
    return;
  }
  const auto before = s.Idealised();
  r.outcome = s.Idealise(answer->paths, *arguments, context.progress);
  r.changed = kLoadChanges;
  if (s.Idealised() && s.Idealised() != before) {
    r.changed |= change::kIdealised;
    r.table = IdealisationTable(s);
  }
}

void States(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  if (const auto v = NumbersOf<int>(args, r)) {
    r.outcome = s.SetStates((*v)[0]);
    r.changed = change::kStates;
  }
}

void CutoffValues(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  if (const auto v = NumbersOf<double>(args, r)) {
    r.outcome = s.SetCutoffs(*v);
    r.changed = change::kStates;
  }
}

void Cutoff(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  const auto slot = NumberOf<int>(args[0]);
  const auto value = NumberOf<double>(args[1]);
  if (!slot) return void(r.wrongWords = NotANumber<int>(args[0]));
  if (!value || std::isnan(*value)) return void(r.wrongWords = NotANumber<double>(args[1]));
  // The movable cutoffs: 1 ... N - 1; before a number of states, the one slot its list shows.
  const int movable = std::max(s.States() - 1, s.States() == 0 ? 1 : 0);
  if (*slot < 1 || *slot > movable) {
    r.outcome = Outcome::Refused("Cutoff " + args[0] + " is not among the " + std::to_string(movable) +
                                 (movable == 1 ? " cutoff" : " cutoffs") + " of " + std::to_string(s.States()) +
                                 " states.");
    return;
  }
  s.SetCutoff(*slot - 1, *value);
  r.changed = change::kStates;
}

void Lock(Session& s, const Words&, const CommandContext&, const CommandWords&, CommandResult& r) {
  r.outcome = s.Lock();
  if (r.outcome.done) r.changed = change::kLock | change::kCircles | change::kFits | change::kDwells;
}

void Circle(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  const auto v = NumbersOf<int>(args, r);
  if (!v) return;
  const int from = (*v)[0], to = (*v)[1];
  // X across (the final value, a column), Y down (the initial value, a row), all in map cells.
  r.outcome = s.PlaceCircle(from, to, (*v)[3], (*v)[2], (*v)[4]);
  if (!r.outcome.done) return;
  r.changed = change::kCircles;
  r.shownClass = {from, to};
  r.outcome.Then(s.SetCircle(from, to));
  if (r.outcome.done) r.changed |= change::kLock;
}

// The six circle buttons: which member of the circle one step moves, and which way.
struct CircleStep {
  const char* word;
  CircleField field;
  int step;
};
constexpr CircleStep kCircleSteps[] = {
    {"up", &SelectionCircle::row, -1},       {"down", &SelectionCircle::row, +1},
    {"left", &SelectionCircle::col, -1},     {"right", &SelectionCircle::col, +1},
    {"smaller", &SelectionCircle::radius, -1}, {"larger", &SelectionCircle::radius, +1},
};

void CircleMove(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  const auto v = NumbersOf<int>(std::span(args).first(2), r);
  if (!v) return;
  const auto step = std::find_if(std::begin(kCircleSteps), std::end(kCircleSteps),
                                 [&](const CircleStep& c) { return args[2] == c.word; });
  if (step == std::end(kCircleSteps)) {
    r.wrongWords = "circle-move takes up, down, left, right, smaller or larger, not '" + args[2] + "'";
    return;
  }
  r.outcome = s.MoveCircle((*v)[0], (*v)[1], step->field, step->step);
  if (r.outcome.done) r.changed = change::kCircles;
}

void CircleSet(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  const auto v = NumbersOf<int>(args, r);
  if (!v) return;
  r.outcome = s.SetCircle((*v)[0], (*v)[1]);
  if (r.outcome.done) {
    r.changed = change::kLock;
    r.shownClass = {(*v)[0], (*v)[1]};
  }
}

// `fit I J`: class I->J; `fit all`: every class of the lock in row-major order, as the picker
// steps through them, 1->1, 1->2, ..., N->N. A class with nothing to fit is told, and the
// others are fitted still.
void Fit(Session& s, const Words& args, const CommandContext&, const CommandWords&, CommandResult& r) {
  std::vector<std::pair<int, int>> classes;
  if (args.size() == 2) {
    const auto v = NumbersOf<int>(args, r);
    if (!v) return;
    classes.emplace_back((*v)[0], (*v)[1]);
  } else if (args[0] != "all") {
    r.wrongWords = "fit takes a class I J or all, not '" + args[0] + "'";
    return;
  } else {
    const int states = std::max(s.LockedStates(), 1);
    for (int i = 1; i <= states; ++i)
      for (int j = 1; j <= states; ++j) classes.emplace_back(i, j);
  }
  for (const auto& [from, to] : classes) {
    if (Outcome check = s.CheckLockedClass(from, to); !check.done) {
      r.outcome.Then(std::move(check));
      return;
    }
    r.shownClass = {from, to};
    Outcome fitted = s.Fit(from, to);
    if (fitted.done) r.changed |= change::kFits;
    // One class of all with nothing to fit refuses nothing of the command.
    if (classes.size() > 1) fitted.done = true;
    r.outcome.Then(std::move(fitted));
  }
}

void Dwell(Session& s, const Words& args, const CommandContext& context, const CommandWords&, CommandResult& r) {
  std::optional<int> state;
  if (args[0] != "all") {
    state = NumberOf<int>(args[0]);
    if (!state) return void(r.wrongWords = "dwell takes a state or all, not '" + args[0] + "'");
  }
  std::string error;
  const std::optional<DwellOptions> options = ParseDwellOptions(Words(args.begin() + 1, args.end()), error);
  if (!options) return void(r.wrongWords = error);
  if (state && (*state < 1 || *state > s.LockedStates())) {
    r.outcome = Outcome::Refused(s.Locked() ? "State " + std::to_string(*state) + " is not among the " +
                                                  std::to_string(s.LockedStates()) + " states of the last lock."
                                            : std::string("Lock cutoffs first."));
    return;
  }
  r.outcome = s.AnalyseDwells(*options, context.progress);
  if (!r.outcome.done) return;
  r.changed = change::kDwells;
  r.table = DwellFitsTable(s, state ? std::optional(*state - 1) : std::nullopt);
}

// `rates [--paths LIST]`: the paths are 1-based as the user writes them, and only the lock
// knows how many states they are among.
void Rates(Session& s, const Words& args, const CommandContext& context, const CommandWords& command,
           CommandResult& r) {
  std::optional<std::string> list;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "--paths" && k + 1 < args.size() && !list) {
      list = args[++k];
    } else if (args[k].rfind("--paths=", 0) == 0 && !list) {
      list = args[k].substr(8);
    } else {
      return void(r.wrongWords = std::string("usage: ") + command.usage);
    }
  }
  std::vector<std::pair<int, int>> paths;
  if (list && s.Locked()) {
    std::string error;
    const auto parsed = kinetics::ParsePaths(*list, s.LockedStates(), error);
    if (!parsed) return void(r.outcome = Outcome::Refused(error));
    paths = *parsed;
  }
  r.outcome = s.AnalyseRates(paths, context.progress);
  if (!r.outcome.done) return;
  r.changed = change::kDwells;
  r.table = RatesTable(s);
}

// `molecules`: the table of the idealisation's molecules; `molecules keep|reject NAME...|all`;
// `molecules rule --min-frames N --min-snr X --min-states N` (one or more).
void Molecules(Session& s, const Words& args, const CommandContext& context, const CommandWords& command,
               CommandResult& r) {
  const std::string usage = std::string("usage: ") + command.usage;
  if (!args.empty() && (args[0] == "keep" || args[0] == "reject")) {
    if (args.size() < 2) return void(r.wrongWords = usage);
    Words names(args.begin() + 1, args.end());
    if (names == Words{"all"}) names.clear();
    r.outcome = s.ChooseMolecules(names, args[0] == "keep", context.progress);
  } else if (!args.empty() && args[0] == "rule") {
    MoleculeRule rule;
    for (std::size_t k = 1; k < args.size(); k += 2) {
      if (k + 1 >= args.size()) return void(r.wrongWords = usage);
      const std::string& name = args[k];
      const std::string& value = args[k + 1];
      if (name == "--min-snr") {
        const auto number = NumberOf<double>(value);
        if (!number || !(*number > 0)) return void(r.wrongWords = "--min-snr must be a number above 0, not '" + value + "'");
        rule.leastSignalToNoise = *number;
        continue;
      }
      const auto whole = NumberOf<int>(value);
      if (name != "--min-frames" && name != "--min-states") return void(r.wrongWords = usage);
      if (!whole || *whole < 1) return void(r.wrongWords = name + " must be a whole number from 1, not '" + value + "'");
      if (name == "--min-frames") rule.leastFrames = static_cast<std::size_t>(*whole);
      if (name == "--min-states") rule.leastStates = *whole;
    }
    if (rule.Empty()) return void(r.wrongWords = usage);
    r.outcome = s.ChooseMolecules(rule, context.progress);
  } else if (!args.empty()) {
    return void(r.wrongWords = usage);
  }
  if (!args.empty() && r.outcome.done)
    r.changed = change::kRecords | change::kMap | change::kLock | change::kCircles | change::kFits | change::kDwells;
  r.table = MoleculesTable(s);
}

// `stop-intervals`: every interval still computing; `stop-intervals I-J ...`: those classes',
// computed or not, as a replay of a window's stop must drop them.
void StopIntervals(Session& s, const Words& args, const CommandContext&, const CommandWords& command,
                   CommandResult& r) {
  std::vector<std::pair<int, int>> classes;
  for (const std::string& word : args) {
    const auto c = ClassOf(word);
    if (!c) return void(r.wrongWords = "'" + word + "' is no class I-J (usage: " + command.usage + ")");
    classes.push_back(*c);
  }
  classes = args.empty() ? s.StopIntervals() : s.StopIntervals(classes);
  if (!classes.empty()) r.changed = change::kFits;
  r.asDone = {command.name};
  for (const auto& c : classes) r.asDone.push_back(ClassWord(c));
  const std::size_t stopped = classes.size();
  r.outcome.Notice(stopped == 0 ? std::string("No interval is being computed.")
                                : "Stopped computing " + std::to_string(stopped) +
                                      (stopped == 1 ? " interval" : " intervals") + "; fit the class again for one.");
}

void Log(Session& s, const Words&, const CommandContext& context, const CommandWords&, CommandResult& r) {
  r.changed = TakeIntervals(s, context);
  r.outcome = s.WriteLog();
  if (s.IntervalsProgress())
    r.outcome.Notice("Some intervals are still being computed: \"results.csv\" says \"computing...\" for them. "
                     "Dump the log again once the title no longer counts their replicates.");
}

void Results(Session& s, const Words&, const CommandContext& context, const CommandWords&, CommandResult& r) {
  r.changed = TakeIntervals(s, context);
  r.table = ResultsTable(s);
}

void Export(Session& s, const Words& args, const CommandContext& context, const CommandWords& command,
            CommandResult& r) {
  // A relative folder lies in the folder of the loaded reports, where every output goes.
  const auto answer = SplitAnswer(args, ExportOptionWords, s.OutputFolder(), command, r);
  if (!answer) return;
  if (answer->paths.size() != 1) return void(r.wrongWords = std::string("usage: ") + command.usage);
  const auto options = ExportOptionsOf(answer->options);
  if (const auto* refusal = std::get_if<std::string>(&options)) {
    r.outcome = Outcome::Refused(*refusal);
    return;
  }
  r.changed = TakeIntervals(s, context);
  r.outcome =
      s.Export(answer->paths[0], std::get<ExportOptions>(options), context.shownCircle, context.progress);
}

struct SessionCommand {
  CommandWords words;
  Run run;
  bool longWork;
};

constexpr SessionCommand kCommands[] = {
    {{"exposure", 1, 1, "exposure SECONDS",
      "the exposure time per frame that the next fits divide by, as \"Exposure time (s)\" takes it"},
     Exposure, false},
    {{"peaks", 1, 1, "peaks K", "K, the records of a report are K x K, as \"Peaks in report\" takes it"}, Peaks,
     false},
    {{"weight", 1, 1, "weight on, or weight off",
      "ticks or unticks \"Weight by # transitions\": the map is rebuilt, weighted or not, and the next lock and "
      "circles weigh each record by its transitions or count it once"},
     Weight, false},
    {{"load", 1, SIZE_MAX, "load PATH...",
      "loads the reports at the PATHs (globs expanded as `files` expands them) as \"Load Files\" does"},
     Load, true},
    {{"import", 1, SIZE_MAX, "import [OPTIONS] PATH...",
      "\"Import idealised traces...\": the PATHs (as `files` gives them) with the OPTIONS of `varnel-import`; K is "
      "\"Peaks in report\" unless `--peaks` gives it"},
     Import, true},
    {{"idealise", 1, SIZE_MAX, "idealise [OPTIONS] PATH...",
      "\"Idealise raw traces...\" with these raw trace files and the OPTIONS of `varnel-idealise`: the table of "
      "idealised traces (`--out FILE`, or `idealised.csv` beside the first file, `idealised-2.csv` ... when taken) "
      "is written and imported into a new `varnel-reports` folder beside it; K is \"Peaks in report\", raised to the "
      "chosen number of states, unless `--peaks K` gives it; prints the fits, a row per number of states"},
     Idealise, true},
    {{"states", 1, 1, "states N",
      "N states with evenly spaced cutoffs, as typing N into \"Number of states\" gives them"},
     States, false},
    {{"cutoffs", 1, 9, "cutoffs C1 ... C(N-1)",
      "the upper bounds of states 1 ... N-1, each as \"Refresh Cutoffs\" sets it (held within 0 ... 1)"},
     CutoffValues, false},
    {{"cutoff", 2, 2, "cutoff K VALUE",
      "the upper bound of state K alone, as \"Refresh Cutoffs\" or a step of \"<==\" or \"==>\" sets it"},
     Cutoff, false},
    {{"lock", 0, 0, "lock", "\"Lock cutoffs\": every transition into the class of its states"}, Lock, false},
    {{"circle", 5, 5, "circle I J X Y R",
      "the circle of class I->J of the lock at column X (final value) and row Y (initial value) with radius R, "
      "in map cells of 0.005; then \"Set Circle\" builds the class from the transitions inside it"},
     Circle, false},
    {{"circle-move", 3, 3, "circle-move I J up|down|left|right|smaller|larger",
      "one step of the circle of class I->J, as its buttons make it"},
     CircleMove, false},
    {{"circle-set", 2, 2, "circle-set I J",
      "\"Set Circle\": class I->J built from the transitions inside its circle"},
     CircleSet, false},
    {{"fit", 1, 2, "fit I J, or fit all",
      "shows class I->J and fits it, as \"Fit Gaussian\" does; `fit all` fits every class of the lock in "
      "row-major order (a class with nothing to fit is noticed, not an error)"},
     Fit, false},
    {{"dwell", 1, 5, "dwell STATE|all [--exponentials 1|2|3|auto] [--cut censor|drop]",
      "\"Dwell times...\": fits the dwells of every state of the lock with 1 to 3 exponentials (`auto`, the "
      "default: BIC chooses) or exactly as many as `--exponentials` says, the dwells cut by a trace's start or end "
      "censored (`--cut censor`, the default) or left out (`--cut drop`); prints the table of STATE's fits (or "
      "every state's), and the rates they give stand in the results table"},
     Dwell, true},
    {{"rates", 0, 2, "rates [--paths LIST]",
      "the rate matrix: counts how often a frame in each state of the lock is followed by one in each other, from "
      "the dwells, and fits the rate constants whose matrix exponential over one exposure gives those counts, every "
      "path free or only those of LIST (`1-2,2-1`, the others held at 0), with bootstrap intervals over the "
      "molecules; prints the table of rates, which come first in the results table"},
     Rates, true},
    {{"molecules", 0, SIZE_MAX, "molecules [keep|reject NAME...|all] [rule [--min-frames N] [--min-snr X] [--min-states N]]",
      "the molecules of the last idealisation: prints a row each (its frames, bleached and blinking frames, "
      "signal-to-noise ratio, states visited, kept or rejected); `keep` or `reject` the molecules NAMEd, or `all`; "
      "`rule` keeps those with at least N frames fitted, a signal-to-noise ratio of X (the closest two levels of the "
      "model apart, over the root mean square of the molecule's frames about its path) and N states visited, and "
      "rejects the rest. Rejected molecules stay out of every rate: the records become the reports of those kept, a "
      "lock is made again and the model's rate matrix fitted again"},
     Molecules, true},
    {{"stop-intervals", 0, SIZE_MAX, "stop-intervals [I-J...]",
      "\"Stop computing intervals\": the fits still waiting for their intervals keep none; with classes I-J, those "
      "classes' fits keep none, as the window's record says which were stopped"},
     StopIntervals, false},
    {{"log", 0, 0, "log", "\"Dump Log\": writes \"log.dat\", \"results.csv\" and \"rates.csv\""}, Log, false},
    {{"results", 0, 0, "results",
      "\"Results...\": prints the results table as tab-separated lines, a header and a row per fitted class"},
     Results, false},
    {{"export", 1, SIZE_MAX, "export DIR [--format FORMAT] [--as-on-screen] [OPTIONS]",
      "\"Export figures and tables...\" into the folder DIR (made when missing; a relative DIR lies in the folder "
      "of the loaded reports, where every output goes; a DIR that holds other files than an export's gets the set in "
      "its folder `figures`): the map, each fitted class and an overview in FORMAT "
      "`svg`, `pdf`, `png` (300 dpi) or `all` (the default), with `density.csv`, `histograms.csv`, `results.csv` and "
      "`rates.csv`; `--as-on-screen` lays the map as the window shows it; OPTIONS `--colours`, "
      "`--colour-scale`, `--initial-name`, `--final-name`, `--histogram-range` and `--digits` choose colours, "
      "scale, axis names, range and digits as \"Figures and tables for a paper\" says"},
     Export, true},
};

const SessionCommand* Find(std::string_view name) {
  const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [&](const SessionCommand& c) { return name == c.words.name; });
  return found == std::end(kCommands) ? nullptr : found;
}

constexpr auto kWords = [] {
  std::array<CommandWords, std::size(kCommands)> words{};
  for (std::size_t k = 0; k < words.size(); ++k) words[k] = kCommands[k].words;
  return words;
}();

}  // namespace

std::span<const CommandWords> SessionCommands() { return kWords; }

const CommandWords* FindSessionCommand(std::string_view name) {
  const SessionCommand* command = Find(name);
  return command ? &command->words : nullptr;
}

bool IsLongCommand(std::string_view name) {
  const SessionCommand* command = Find(name);
  return command && command->longWork;
}

CommandResult RunCommand(Session& session, const std::vector<std::string>& words, const CommandContext& context) {
  CommandResult result;
  const SessionCommand* command = words.empty() ? nullptr : Find(words.front());
  if (!command) {
    result.wrongWords = words.empty() ? std::string("no command") : "unknown command '" + words.front() + "'";
    return result;
  }
  const Words args(words.begin() + 1, words.end());
  if (args.size() < command->words.minArgs || args.size() > command->words.maxArgs) {
    result.wrongWords = std::string("usage: ") + command->words.usage;
    return result;
  }
  result.asDone = words;
  command->run(session, args, context, command->words, result);
  if (result.wrongWords) result.changed = 0;
  return result;
}

std::string ExactWord(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

TableView ResultsTable(const Session& session) {
  TableView table{"Results", ResultColumns(), {}, {}};
  for (const DwellResultRow& row : session.RateResults()) table.rows.push_back(ResultCells(row));
  for (const ResultRow& row : session.Results()) table.rows.push_back(ResultCells(row));
  for (const DwellResultRow& row : session.DwellResults()) table.rows.push_back(ResultCells(row));
  table.copyText = TabSeparated(table.columns, table.rows);
  return table;
}

TableView RatesTable(const Session& session) {
  TableView table{"Rate matrix", ResultColumns(), {}, {}};
  for (const DwellResultRow& row : session.RateResults()) table.rows.push_back(ResultCells(row));
  table.copyText = TabSeparated(table.columns, table.rows);
  return table;
}

TableView DwellFitsTable(const Session& session, std::optional<int> state) {
  TableView table{"Dwell times", DwellFitColumns(), {}, {}};
  if (const DwellTimes* times = session.DwellAnalysis()) table.rows = DwellFitRows(*times, state);
  table.copyText = TabSeparated(table.columns, table.rows);
  return table;
}

namespace {

// `value` with three decimals, as the table shows it.
std::string Decimals3(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// The rates of the model's rate matrix, "1->2 0.9812 (0.9 ... 1.1); ...", or why it has none.
std::string ModelRatesCell(const kinetics::RateMatrix* matrix) {
  if (!matrix) return "";
  if (!matrix->trouble.empty()) return "none: " + matrix->trouble;
  std::string text;
  for (const kinetics::PathRate& rate : matrix->rates) {
    char cell[160];
    if (rate.interval)
      std::snprintf(cell, sizeof cell, "%d->%d %.4g (%.4g ... %.4g)", rate.from + 1, rate.to + 1, rate.rate,
                    rate.interval->low, rate.interval->high);
    else
      std::snprintf(cell, sizeof cell, "%d->%d %.4g", rate.from + 1, rate.to + 1, rate.rate);
    text += (text.empty() ? "" : "; ") + std::string(cell);
  }
  return text;
}

}  // namespace

TableView IdealisationTable(const Session& session) {
  TableView table{"Idealised traces",
                  {"States", "Log-likelihood", "Parameters", "Iterations", "BIC", "Rate matrix of the model (s^-1)",
                   "Chosen"},
                  {},
                  {}};
  if (const auto idealised = session.Idealised()) {
    const Idealisation& idealisation = idealised->idealisation;
    for (std::size_t f = 0; f < idealisation.fits.size(); ++f) {
      const StateCountFit& fit = idealisation.fits[f];
      if (!fit.fitted) {
        table.rows.push_back({std::to_string(fit.states), "", "", "", "not fitted: " + fit.why, "", ""});
        continue;
      }
      const bool chosen = f == idealisation.chosen;
      table.rows.push_back({std::to_string(fit.states), Decimals3(fit.logLikelihood), std::to_string(fit.parameters),
                            std::to_string(fit.iterations), Decimals3(fit.bic),
                            chosen ? ModelRatesCell(session.HmmRateAnalysis()) : "",
                            fit.unseparated.empty() ? (chosen ? "chosen" : "")
                            : chosen                ? "chosen, though " + fit.unseparated
                                                    : "not taken: " + fit.unseparated});
    }
  }
  table.copyText = TabSeparated(table.columns, table.rows);
  return table;
}

TableView MoleculesTable(const Session& session) {
  TableView table{"Molecules",
                  {"Molecule", "Frames", "Bleached", "Blink frames", "Signal-to-noise", "States visited", "Kept"},
                  {},
                  {}};
  if (const auto idealised = session.Idealised()) {
    const std::vector<MoleculeMeasures> measures = MeasureMolecules(*idealised);
    const std::vector<bool>& kept = session.KeptMolecules();
    for (std::size_t m = 0; m < measures.size(); ++m) {
      const FretTrace& trace = idealised->traces[m];
      table.rows.push_back({trace.name, std::to_string(measures[m].frames), std::to_string(trace.bleached),
                            std::to_string(trace.blinks.size()), SignalToNoiseText(measures[m]),
                            std::to_string(measures[m].states),
                            m < kept.size() && kept[m] ? "kept" : "rejected"});
    }
  }
  table.copyText = TabSeparated(table.columns, table.rows);
  return table;
}
