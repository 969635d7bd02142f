// The density map: the direct sum (one exponential per record and cell) against the separable,
// threaded one, and whole loads of 2,000 and 20,000 simulated reports with the map's rebuild.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "bench/simulated_files.h"
#include "reports/densitygrid.h"
#include "reports/reportfile.h"

namespace {

// Records as a load of simulated molecules gives them: values around three states, counts of
// 0 to 6 transitions, a fifth of the records on the diagonal and a few empty ones.
TransitionRecords MakeRecords(std::size_t n) {
  std::mt19937_64 random(20240601);
  std::uniform_int_distribution<int> state(0, 2);
  std::normal_distribution<double> noise(0.0, 0.02);
  std::lognormal_distribution<double> rate(-3.0, 0.8);
  std::uniform_int_distribution<int> transitions(0, 6);
  const double states[] = {0.2, 0.5, 0.8};
  TransitionRecords records;
  for (std::size_t k = 0; k < n; ++k) {
    TransitionRecord r;
    r.initial = states[state(random)] + noise(random);
    r.final = k % 5 == 0 ? r.initial : states[state(random)] + noise(random);
    r.rate = rate(random);
    r.count = transitions(random);
    records.push_back(r);
  }
  return records;
}

const TransitionRecords& RecordsOf(std::size_t n) {
  static std::map<std::size_t, TransitionRecords> made;
  auto it = made.find(n);
  if (it == made.end()) it = made.emplace(n, MakeRecords(n)).first;
  return it->second;
}

// Seconds per direct grid, by record count, for the speed-up the fast runs report.
std::map<std::size_t, double>& DirectSeconds() {
  static std::map<std::size_t, double> seconds;
  return seconds;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_DirectGrid(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const TransitionRecords& records = RecordsOf(n);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    DensityGrid grid = DirectDensityGrid(records, true);
    total += Seconds(std::chrono::steady_clock::now() - start);
    benchmark::DoNotOptimize(grid.cells.data());
  }
  DirectSeconds()[n] = total / static_cast<double>(state.iterations());
  state.counters["records"] = static_cast<double>(n);
}

void BM_FastGrid(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const TransitionRecords& records = RecordsOf(n);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    DensityGrid grid = FastDensityGrid(records, true);
    total += Seconds(std::chrono::steady_clock::now() - start);
    benchmark::DoNotOptimize(grid.cells.data());
  }
  state.counters["records"] = static_cast<double>(n);
  const auto direct = DirectSeconds().find(n);
  if (direct != DirectSeconds().end())
    state.counters["speedup"] = direct->second / (total / static_cast<double>(state.iterations()));
}

// The direct grid costs 40,401 exponentials per record: above 20,000 records it is left out.
BENCHMARK(BM_DirectGrid)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FastGrid)->Arg(1000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// --- A whole load --------------------------------------------------------------------------

// 2,000 reports of 10 x 10 records, and the 20,000 (2,000,000 records) a large load brings.
constexpr int kReports = 2000;
constexpr int kLargeLoadReports = 20000;
constexpr int kPeaks = 10;

// `reports` simulated reports of 10 x 10 records.
const SimulatedFiles& SimulatedReports(int reports) {
  return Simulated("--molecules " + std::to_string(reports) + " --seed 11 --peaks " + std::to_string(kPeaks));
}

// Reading the reports one after another, on one thread.
void BM_ParseReports(benchmark::State& state) {
  const SimulatedFiles& load = SimulatedReports(static_cast<int>(state.range(0)));
  if (!load.error.empty()) return state.SkipWithError(load.error.c_str());
  const std::size_t perFile = kPeaks * kPeaks;
  TransitionRecords records(perFile * load.paths.size());
  for (auto _ : state) {
    for (std::size_t f = 0; f < load.paths.size(); ++f) ReadReport(load.paths[f], perFile, records, f * perFile);
    benchmark::DoNotOptimize(records.TransitionCounts().data());
  }
  state.counters["files"] = static_cast<double>(load.paths.size());
}

// A load as the session does it: reading every report, then the map's rebuild.
void BM_LoadAndRebuild(benchmark::State& state) {
  const SimulatedFiles& load = SimulatedReports(static_cast<int>(state.range(0)));
  if (!load.error.empty()) return state.SkipWithError(load.error.c_str());
  Session session;
  Outcome outcome;
  for (auto _ : state) outcome = session.Load(load.paths);
  state.counters["records"] = static_cast<double>(session.Records().size());
  if (!outcome.messages.empty()) state.SkipWithError(outcome.messages.front().text.c_str());
}

// The rebuild alone, over the records of one load: the part of a load that is not reading.
void BM_RebuildMap(benchmark::State& state) {
  const SimulatedFiles& load = SimulatedReports(static_cast<int>(state.range(0)));
  if (!load.error.empty()) return state.SkipWithError(load.error.c_str());
  Session session;
  Outcome outcome = session.Load(load.paths);
  for (auto _ : state) outcome = session.RebuildMap();
  state.counters["records"] = static_cast<double>(session.Records().size());
  if (!outcome.messages.empty()) state.SkipWithError(outcome.messages.front().text.c_str());
}

BENCHMARK(BM_ParseReports)->Arg(kReports)->Arg(kLargeLoadReports)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndRebuild)->Arg(kReports)->Arg(kLargeLoadReports)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildMap)->Arg(kLargeLoadReports)->Unit(benchmark::kMillisecond);

}  // namespace
