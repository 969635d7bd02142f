// The main window's title: the program, and after a load how much it holds.
#pragma once

#include <cstddef>
#include <string>

#include "domain/numbertext.h"
#include "reports/records.h"

// The transitions that reports of K x K records (K = `peaks`) stand for, each once: the sum of
// the numbers of transitions above 0 of the records (i, j) with i != j, rounded to a whole
// number. The diagonal record (i, i) stands for leaving state i: the same transitions again.
long long TransitionsOf(const TransitionRecords& records, int peaks);

// "Varnel - 60 reports, 1,914 transitions" (one report, one transition in the singular).
std::string LoadedTitle(std::size_t reports, long long transitions);
