#include "import/counting.h"

#include <algorithm>

namespace {

std::size_t LevelOf(const std::vector<double>& levels, double value) {
  return static_cast<std::size_t>(std::upper_bound(levels.begin(), levels.end(), value) - levels.begin()) - 1;
}

}  // namespace

std::vector<double> LevelsOf(std::span<const Dwell> dwells) {
  std::vector<double> values;
  values.reserve(dwells.size());
  for (const Dwell& dwell : dwells) values.push_back(dwell.value);
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  std::vector<double> levels;
  for (std::size_t k = 0; k < values.size(); ++k)
    if (k == 0 || !(values[k] - values[k - 1] < kLevelTolerance)) levels.push_back(values[k]);
  return levels;
}

void AppendFrames(std::vector<Dwell>& dwells, double value, std::int64_t frames) {
  if (!dwells.empty() && dwells.back().value == value)
    dwells.back().frames += frames;
  else
    dwells.push_back({value, frames});
}

LevelCounts CountTransitions(std::span<const Dwell> dwells, std::size_t mostLevels) {
  LevelCounts counts;
  counts.levels = LevelsOf(dwells);
  for (const Dwell& dwell : dwells) counts.frames += dwell.frames;
  const std::size_t levels = counts.LevelCount();
  if (levels == 0 || levels > mostLevels) return counts;
  counts.framesWithNext.assign(levels, 0);
  counts.steps.assign(levels * levels, 0);
  counts.dwells.assign(levels, 0);
  counts.dwellFrames.assign(levels, 0);

  // Dwells whose values make one level are one dwell.
  std::size_t level = LevelOf(counts.levels, dwells.front().value);
  std::int64_t length = 0;
  for (const Dwell& dwell : dwells) {
    const std::size_t next = LevelOf(counts.levels, dwell.value);
    if (next != level) {
      // Every frame of the dwell that ends here has a next frame, its last one in level `next`.
      ++counts.dwells[level];
      counts.dwellFrames[level] += length;
      counts.framesWithNext[level] += length;
      ++counts.steps[level * levels + next];
      level = next;
      length = 0;
    }
    length += dwell.frames;
  }
  // The molecule's last frame has no next frame.
  ++counts.dwells[level];
  counts.dwellFrames[level] += length;
  counts.framesWithNext[level] += length - 1;
  return counts;
}

TransitionRecords ReportRecords(const LevelCounts& counts, int peaks) {
  const auto slots = static_cast<std::size_t>(peaks);
  const std::size_t levels = counts.LevelCount();
  TransitionRecords records(slots * slots);
  for (std::size_t i = 0; i < levels; ++i) {
    const double leaving = static_cast<double>(counts.framesWithNext[i]);
    const double meanDwell = static_cast<double>(counts.dwellFrames[i]) / static_cast<double>(counts.dwells[i]);
    const auto perFrame = [&](std::int64_t steps) { return leaving > 0 ? static_cast<double>(steps) / leaving : 0.0; };
    std::int64_t exits = 0;
    for (std::size_t j = 0; j < levels; ++j) {
      if (j == i) continue;
      const std::int64_t steps = counts.Steps(i, j);
      exits += steps;
      records.Set(i * slots + j,
                  {counts.levels[i], counts.levels[j], perFrame(steps), meanDwell, static_cast<double>(steps)});
    }
    records.Set(i * slots + i,
                {counts.levels[i], counts.levels[i], perFrame(exits), meanDwell, static_cast<double>(exits)});
  }
  return records;
}
