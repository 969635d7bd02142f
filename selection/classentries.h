// How the records enter the class lists: shared by "Lock cutoffs" and "Set Circle".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Class lists that would hold more entries than this are refused: a report with an absurd
// number of transitions must not exhaust the memory.
inline constexpr double kMaxClassEntries = 50'000'000;

// The message of that refusal.
std::string TooManyEntriesMessage();

// How often a record of this weight (its number of transitions) enters a list: with weighting
// once for each whole b = 0, 1, 2, ... below the weight, so 3 and 2.5 give 3 and 0.4 gives 1;
// without weighting once. A weight that is not above 0 (or no number) gives 0.
double ClassEntriesOf(double weight, bool weighted);

// Appends `rate` `entries` times; `entries` comes from ClassEntriesOf and lies within the limit.
void AppendEntries(std::vector<double>& list, double rate, double entries);
