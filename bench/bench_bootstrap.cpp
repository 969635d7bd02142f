// The bootstrap of one class: 1,000 replicates of the 60 example molecules, each class list
// rebuilt and fitted again.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fit/bootstrap.h"
#include "reports/reportfile.h"

namespace {

constexpr std::size_t kPerMolecule = 100;  // the example reports hold 10 x 10 records

TransitionRecords ExampleReports() {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(VARNEL_SOURCE_DIR "/examples/reports"))
    paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  TransitionRecords records(paths.size() * kPerMolecule);
  for (std::size_t f = 0; f < paths.size(); ++f) ReadReport(paths[f].string(), kPerMolecule, records, f * kPerMolecule);
  return records;
}

void BM_BootstrapOfOneClass(benchmark::State& state) {
  const TransitionRecords records = ExampleReports();
  const ClassRule oneToTwo{0, 1, 3, {1.0 / 3, (1.0 / 3) * 2, 1.0}, true, {}};
  for (auto _ : state) {
    const ClassUncertainty u = EstimateUncertainty(records, kPerMolecule, oneToTwo, 0.1, kDefaultReplicates);
    benchmark::DoNotOptimize(u.Rate());
    state.counters["failed"] = u.failed;
  }
  state.counters["replicates"] = kDefaultReplicates;
}

BENCHMARK(BM_BootstrapOfOneClass)->Unit(benchmark::kMillisecond);

}  // namespace
