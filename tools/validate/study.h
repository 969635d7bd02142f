// What the coverage studies of `make validate` share: how big a study is asked to be, and
// whether an interval holds the truth.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
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

// Mean and its standard error of what was added.
struct Mean {
  double sum = 0, squares = 0;
  int count = 0;
  void Add(double x) {
    sum += x;
    squares += x * x;
    ++count;
  }
  double Value() const { return count ? sum / count : NAN; }
  double Error() const {
    if (count < 2) return NAN;
    const double m = Value();
    return std::sqrt(std::max(squares / count - m * m, 0.0) / (count - 1));
  }
};

// How often what was asked held, and that share in per cent with one decimal.
struct Share {
  int hits = 0, of = 0;
  void Add(bool hit) {
    hits += hit ? 1 : 0;
    ++of;
  }
  std::string Text() const {
    if (of == 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 100.0 * hits / of);
    return text;
  }
};

// A mean of fractions in per cent with its standard error: "+1.2 ± 0.3".
inline std::string Percent(const Mean& mean) {
  if (mean.count == 0) return "n/a";
  char text[48];
  std::snprintf(text, sizeof text, "%+.1f ± %.1f", 100.0 * mean.Value(), 100.0 * mean.Error());
  return text;
}
