// The main window's title: the program, and after a load how much it holds.
#pragma once

#include <cstddef>
#include <string>

#include "reports/records.h"

// A whole number with a comma between every three digits: "1,914".
std::string WithThousands(long long number);

// The transitions the records stand for: the sum of their numbers of transitions that are
// above 0, rounded to a whole number.
long long TransitionsOf(const TransitionRecords& records);

// "Varnel - 60 reports, 1,914 transitions" (one report, one transition in the singular).
std::string LoadedTitle(std::size_t reports, long long transitions);
