// The analysis commands: what a script line, a line of a session record, the window's buttons
// and menus and Python's run() say to a Session. One table holds each command's name, the words
// it takes and the operation it runs; whoever runs one gets back what the operation said and
// what it changed, and redraws from the Session whatever shows that.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/outcome.h"
#include "domain/analysis_types.h"
#include "platform/host.h"
#include "platform/script.h"

class Session;
struct WorkProgress;

// What a command may have changed, as bits: a front door redraws what shows each.
using Changes = unsigned;
namespace change {
inline constexpr Changes kSettings = 1u << 0;   // exposure, peaks, weighting
inline constexpr Changes kRecords = 1u << 1;    // the reports, their dwells, the output folder, the map
inline constexpr Changes kMap = 1u << 2;        // the density map alone
inline constexpr Changes kStates = 1u << 3;     // N and the cutoffs
inline constexpr Changes kLock = 1u << 4;       // the lock's class lists and histograms
inline constexpr Changes kCircles = 1u << 5;
inline constexpr Changes kFits = 1u << 6;       // a class's fit, or every class's intervals
inline constexpr Changes kDwells = 1u << 7;     // the analysis of the dwell times, or their rate matrix
inline constexpr Changes kIdealised = 1u << 8;  // a new idealisation of raw traces
}  // namespace change

// Every command of the Session, in the order the README lists them.
std::span<const CommandWords> SessionCommands();
// The command of this name, or null.
const CommandWords* FindSessionCommand(std::string_view name);
// Whether the command runs long enough that a window runs it as long work, with its progress
// and a Stop (load, import, idealise, dwell, rates, export).
bool IsLongCommand(std::string_view name);

// What a command is run with besides its words.
struct CommandContext {
  // How far long work is, and the stop a person or a signal asks for; null for none.
  WorkProgress* progress = nullptr;
  // The circle the map of an export draws: the one the window shows, if any.
  std::optional<SelectionCircle> shownCircle;
  // Whether what reads the intervals (log, results, export) waits for every one (a script, so
  // that a batch writes the same files on every run), or takes those that have come.
  bool awaitIntervals = true;
};

struct CommandResult {
  // Words the command cannot take: nothing ran. A usage error, not a refusal.
  std::optional<std::string> wrongWords;
  // What the operation did and said; refused when it changed nothing.
  Outcome outcome;
  Changes changed = 0;
  // The class the command worked on last (1-based), for a window to show it.
  std::optional<std::pair<int, int>> shownClass;
  // What the command prints: the results, the fits of dwell times or of an idealisation.
  std::optional<TableView> table;
  // The words that do again exactly what this did: its own, except where what it did hung on
  // timing (the intervals a stop found still computing), which they name.
  std::vector<std::string> asDone;
};

// Runs `words` (the command's name, then its words) on `session`.
CommandResult RunCommand(Session& session, const std::vector<std::string>& words, const CommandContext& context = {});

// A number as a command's word that reads back as exactly the same double.
std::string ExactWord(double value);

// The table of every fitted class: the rate matrix's rows first, the Gaussian fits' and then the dwell rates', as
// "Results..." and `results` show it.
TableView ResultsTable(const Session& session);
// The rates of the last rate matrix, as `rates` prints them, in the columns of the results.
TableView RatesTable(const Session& session);
// The table of the fits of the last dwell-time analysis: of state `state` (0-based), or of all.
TableView DwellFitsTable(const Session& session, std::optional<int> state);
// The table of the fits of the last idealisation: a row per number of states.
TableView IdealisationTable(const Session& session);
// The molecules of the last idealisation, as `molecules` prints them: a row each, with what the
// rules of `molecules rule` measure and whether it stands in the rates.
TableView MoleculesTable(const Session& session);
