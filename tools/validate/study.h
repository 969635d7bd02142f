// What the coverage studies of `make validate` share: how big a study is asked to be, and
// whether an interval holds the truth.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <vector>

#include "fit/bootstrap.h"

// The data sets of each size, and the sizes in molecules.
struct StudySize {
  int dataSets = 0;
  std::vector<int> molecules;
};

// `DATA_SETS [MOLECULES ...]` from the command line, each defaulting to the study's own;
// nothing when a number is not above 0.
template <std::size_t N>
std::optional<StudySize> StudySizeOf(int argc, char** argv, int defaultDataSets, const int (&defaultMolecules)[N]) {
  StudySize size{argc > 1 ? std::atoi(argv[1]) : defaultDataSets, {}};
  for (int a = 2; a < argc; ++a) size.molecules.push_back(std::atoi(argv[a]));
  if (size.molecules.empty()) size.molecules.assign(std::begin(defaultMolecules), std::end(defaultMolecules));
  if (size.dataSets <= 0 || std::any_of(size.molecules.begin(), size.molecules.end(), [](int m) { return m <= 0; }))
    return std::nullopt;
  return size;
}

// Whether `interval` is there and holds `truth`, its ends included.
inline bool Holds(const std::optional<Interval>& interval, double truth) {
  return interval && interval->low <= truth && truth <= interval->high;
}
