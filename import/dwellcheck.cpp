#include "import/dwellcheck.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "import/counting.h"

namespace {

// Values lie on about [0, 1]: near 0 the agreement is absolute.
bool SameValue(double a, double b) {
  return std::fabs(a - b) <= kReportAgreement * std::max({1.0, std::fabs(a), std::fabs(b)});
}

bool SameRate(double a, double b) { return std::fabs(a - b) <= kReportAgreement * std::max(std::fabs(a), std::fabs(b)); }

std::string Text(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Transitions(double count) { return Text(count) + (count == 1 ? " transition" : " transitions"); }

// The level of `levels` (increasing) that is one with `value`: the nearest, if it is.
std::optional<std::size_t> LevelOf(const std::vector<double>& levels, double value) {
  const auto above = std::lower_bound(levels.begin(), levels.end(), value);
  std::optional<std::size_t> nearest;
  if (above != levels.end()) nearest = static_cast<std::size_t>(above - levels.begin());
  if (above != levels.begin()) {
    const auto below = static_cast<std::size_t>(above - levels.begin()) - 1;
    if (!nearest || value - levels[below] < levels[*nearest] - value) nearest = below;
  }
  if (nearest && SameValue(levels[*nearest], value)) return nearest;
  return std::nullopt;
}

// The K of a report of `count` = K x K records: the most levels it can hold.
std::size_t SlotsOf(std::size_t count) {
  std::size_t slots = 0;
  while ((slots + 1) * (slots + 1) <= count) ++slots;
  return slots;
}

}  // namespace

std::string DwellsDisagreement(std::span<const LevelDwell> dwells, const TransitionRecords& records, std::size_t first,
                               std::size_t count) {
  std::vector<Dwell> frames;
  for (const LevelDwell& dwell : dwells) AppendFrames(frames, dwell.level, dwell.frames);
  const std::size_t slots = SlotsOf(count);
  const LevelCounts counts = CountTransitions(frames, slots);
  const std::size_t levels = counts.LevelCount();
  // An import writes no report of a molecule with more levels than its slots.
  if (levels > slots)
    return "the dwells are at " + std::to_string(levels) + " levels, more than the report's " + std::to_string(slots);

  std::vector<bool> compared(levels * levels, false);
  std::vector<bool> held(levels, false);
  const std::size_t end = first < records.size() ? first + std::min(count, records.size() - first) : first;
  for (std::size_t r = first; r < end; ++r) {
    const TransitionRecord record = records[r];
    const std::optional<std::size_t> from = LevelOf(counts.levels, record.initial);
    const std::optional<std::size_t> to = LevelOf(counts.levels, record.final);
    if (from) held[*from] = true;
    if (to) held[*to] = true;
    if (!(record.count > 0)) continue;
    const bool exits = SameValue(record.initial, record.final);
    const std::string between = " from " + Text(record.initial) + " to " + Text(record.final);
    if (!from || !to)
      return "the report counts " + Transitions(record.count) +
             (exits ? " out of " + Text(record.initial) + ", a value" : between + ", values") + " at which the dwells are not";
    // A level's exits.
    if (*from == *to) continue;
    const std::size_t pair = *from * levels + *to;
    if (compared[pair]) return "the report counts the transitions" + between + " twice";
    compared[pair] = true;
    const std::int64_t steps = counts.Steps(*from, *to);
    if (!(std::fabs(record.count - static_cast<double>(steps)) < 0.5))
      return "the report counts " + Transitions(record.count) + between + ", the dwells " + std::to_string(steps);
    const std::int64_t before = counts.framesWithNext[*from];
    const double rate = static_cast<double>(steps) / static_cast<double>(before);
    if (!SameRate(record.rate, rate))
      return "the report's rate" + between + " is " + Text(record.rate) + " per frame, the dwells' " + Text(rate) + " (" +
             std::to_string(steps) + " in " + std::to_string(before) + " frames)";
  }
  for (std::size_t i = 0; i < levels; ++i) {
    if (!held[i]) return "the dwells are at " + Text(counts.levels[i]) + ", a value of no record of the report";
    for (std::size_t j = 0; j < levels; ++j)
      if (counts.Steps(i, j) > 0 && !compared[i * levels + j])
        return "the dwells step " + std::to_string(counts.Steps(i, j)) + " times from " + Text(counts.levels[i]) +
               " to " + Text(counts.levels[j]) + ", which the report does not count";
  }
  return {};
}
