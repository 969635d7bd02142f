// Sorting transition records into classes: by the states of their values ("Lock cutoffs"), or
// by a circle on the map ("Set Circle"). Each class keeps the rates per frame of its records.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "domain/analysis_types.h"
#include "reports/records.h"

// "I->J", the name of class I -> J (1-based), as every message, table and file gives it.
std::string ClassName(int from, int to);

// Class lists that would hold more entries than this are refused: a report with an absurd
// number of transitions must not exhaust the memory.
inline constexpr double kMaxClassEntries = 50'000'000;

// The message of that refusal.
std::string TooManyEntriesMessage();

// The lists of one lock of N states: the list of class i->j (0-based) at i x N + j, each entry
// the rate per frame of one record, in record order.
using ClassLists = std::vector<std::vector<double>>;

// How often a record of this weight (its number of transitions) enters a list: with weighting
// once for each whole b = 0, 1, 2, ... below the weight, so 3 and 2.5 give 3 and 0.4 gives 1;
// without weighting once. A weight that is not above 0 (or no number) gives 0.
double ClassEntriesOf(double weight, bool weighted);

// The state (0-based) of a value: the first slot, in slot order, whose cutoff is not below it
// (each cutoff is the inclusive upper bound of its state, and the cutoffs need not be sorted).
// A value above every cutoff of the `states` slots, or one that is no number, has none.
std::optional<int> StateOf(double value, int states, const Cutoffs& cutoffs);

// The N x N lists of `states` states (1 ... 10). A record takes part when its weight is above 0
// and both its values have a state. Nothing when the lists would hold too many entries.
std::optional<ClassLists> ClassifyRecords(const TransitionRecords& records, int states, const Cutoffs& cutoffs,
                                          bool weighted);

// Whether a record's point (initial, final) lies inside the circle: within radius / 200 of the
// centre (row / 200, col / 200), whatever its states. A negative radius takes nothing, nor does
// a value that is no number.
bool InsideCircle(const TransitionRecord& record, const SelectionCircle& circle);

// How one class takes its records: by the states of their values under the cutoffs of a lock,
// or, when it was set from one, by a circle on the map, whatever the states.
struct ClassRule {
  int from = 0;  // 0-based states of the class
  int to = 0;
  int states = 0;  // N of the lock
  Cutoffs cutoffs{};
  bool weighted = true;
  std::optional<SelectionCircle> circle;
};

// Whether a record belongs to the class: a weight above 0, and its states (or its point) right.
bool InClass(const TransitionRecord& record, const ClassRule& rule);

// The list of the class, each record's rate per frame once per entry (ClassEntriesOf), in
// record order: what the lock or "Set Circle" built. Nothing when it would hold too many
// entries.
std::optional<std::vector<double>> ClassListOf(const TransitionRecords& records, const ClassRule& rule);

// Puts the circle of every class of `states` states where a lock puts it: in the middle of the
// cell that evenly spaced cutoffs would give, radius 10. Visibility is not the lock's to change.
void PlaceDefaultCircles(CircleTable& circles, int states);
