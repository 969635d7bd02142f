// The transitions of one molecule between its levels, counted over consecutive frame pairs, and
// the records of its report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "reports/records.h"

// Idealised values closer than this are one level: they differ only by how the program that
// wrote them rounded.
inline constexpr double kLevelTolerance = 1e-9;

// `frames` consecutive frames at one idealised value.
struct Dwell {
  double value = 0;
  std::int64_t frames = 0;
};

// Adds `frames` frames at `value` after the others: they lengthen the last dwell when it has the
// very same value.
void AppendFrames(std::vector<Dwell>& dwells, double value, std::int64_t frames = 1);

// The increasing levels of the molecule whose frames make `dwells`: every value at least
// kLevelTolerance above the value before it starts a level; each level is its smallest value.
std::vector<double> LevelsOf(std::span<const Dwell> dwells);

// What the frames of one molecule give, level by level, levels increasing.
struct LevelCounts {
  std::vector<double> levels;  // each level's smallest value
  std::int64_t frames = 0;
  // Left empty when there are more levels than were asked for.
  std::vector<std::int64_t> framesWithNext;  // F_i: frames in level i that have a next frame
  std::vector<std::int64_t> steps;           // n_ij, row-major over the levels; 0 on the diagonal
  std::vector<std::int64_t> dwells;          // dwells in level i
  std::vector<std::int64_t> dwellFrames;     // the frames of those dwells

  std::size_t LevelCount() const { return levels.size(); }
  std::int64_t Steps(std::size_t from, std::size_t to) const { return steps[from * levels.size() + to]; }
};

// The levels of the molecule whose frames make `dwells` (in frame order), and, when there are
// no more than `mostLevels` of them, its counts. Values form one level when each lies closer
// than kLevelTolerance to the next smaller one.
LevelCounts CountTransitions(std::span<const Dwell> dwells, std::size_t mostLevels);

// The K x K records of the molecule's report, level i in slot i; `counts` has at most `peaks`
// levels. Record (i, j), i != j: level i, level j, n_ij / F_i, the mean dwell in level i in
// frames, n_ij. Record (i, i) stands for leaving level i: the sum of n_ij over j != i takes the
// place of n_ij. A level without frames that have a next frame has rate 0. Slots past the
// levels hold all-zero records.
TransitionRecords ReportRecords(const LevelCounts& counts, int peaks);
