// The reports simulation: each molecule visits some of the states, and its report holds a record
// for every pair of them, with scattered rates and Poisson counts.

#include "tools/simulate/simulation.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "tools/simulate/arithmetic.h"

namespace simulate {

namespace {

// The states one molecule visits: indices into the true states, increasing.
std::vector<int> pickVisitedStates(const Model& model, Random& random) {
  // There are at least two states and two slots, so every molecule has
  // transitions to report.
  const int most = std::min(model.stateCount(), model.options.peaks);
  const int count = 2 + static_cast<int>(random.below(static_cast<std::uint64_t>(most - 1)));
  std::vector<int> pool(static_cast<std::size_t>(model.stateCount()));
  for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = static_cast<int>(i);
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    const auto pick = i + random.below(pool.size() - i);
    std::swap(pool[i], pool[pick]);
  }
  pool.resize(static_cast<std::size_t>(count));
  std::sort(pool.begin(), pool.end());
  return pool;
}

}  // namespace

// The whole text of the report of one molecule (numbered from 1).
std::string simulateMolecule(const Model& model, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const std::vector<int> visited = pickVisitedStates(model, random);
  const std::vector<double> observed = observeStates(model, visited, random);
  const auto used = visited.size();
  const auto slots = static_cast<std::size_t>(options.peaks);

  // Off-diagonal records first: the diagonal ones sum them up. Unvisited slots stay all zero.
  std::vector<TransitionRecord> records(slots * slots);
  for (std::size_t a = 0; a < used; ++a) {
    for (std::size_t b = 0; b < used; ++b) {
      if (a == b) continue;
      const double perFrame = model.rate(visited[a], visited[b]) * options.exposure;
      TransitionRecord& record = records[a * slots + b];
      record.initial = observed[a];
      record.final = observed[b];
      // The count follows the true rate, not the scattered one, so weighting by count leaves
      // the centre of a class's ln-rate peak where it is.
      record.count = 1 + random.poisson(std::min(20.0, 40.0 * perFrame));
      record.rate = portableExp(portableLog(perFrame) + options.scatter * random.normal());
      record.spare = 1.0 / record.rate;
    }
  }
  for (std::size_t a = 0; a < used; ++a) {
    double exitPerFrame = 0.0;
    double dwells = 0;
    for (std::size_t b = 0; b < used; ++b) {
      if (a == b) continue;
      exitPerFrame += model.rate(visited[a], visited[b]) * options.exposure;
      dwells += records[a * slots + b].count;
    }
    TransitionRecord& record = records[a * slots + a];
    record.initial = observed[a];
    record.final = observed[a];
    record.count = dwells;
    record.rate = portableExp(portableLog(exitPerFrame) + options.scatter * random.normal());
    record.spare = 1.0 / record.rate;
  }

  const std::array<std::string, 4> header = {
      "varnel-simulate transition report",
      "seed " + std::to_string(options.seed) + ", molecule " + std::to_string(molecule) + ", visited states " +
          std::to_string(used),
      "peaks " + std::to_string(options.peaks) + ", records " + std::to_string(records.size()),
      "initial final rate_per_frame dwell_frames transitions"};
  return ReportText(header, TransitionRecords(records), kReportDigits);
}

}  // namespace simulate
