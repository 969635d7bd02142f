// Fitting classes through the session as "Fit Gaussian" does: the fit, its rate file and its
// bootstrap interval. Two loads the interval must scale to: one record that stands for millions
// of transitions, and a lock of many molecules with every class fitted.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/ratefile.h"
#include "analysis/session.h"
#include "reports/records.h"

namespace {

constexpr int kPeaks = 10;  // K: K x K records a molecule
constexpr std::size_t kPerMolecule = kPeaks * kPeaks;
constexpr double kExposure = 0.1;
constexpr double kThird = 1.0 / 3;

// A scratch folder for the rate files, removed with the benchmark.
struct Scratch {
  Scratch() { std::filesystem::create_directories(path); }
  ~Scratch() { std::filesystem::remove_all(path); }
  std::filesystem::path path = std::filesystem::temp_directory_path() / "varnel-bench-fitting";
  std::string Folder() const { return path.string() + "/"; }
};

// A session holding `records`, one molecule each `kPerMolecule` of them, locked on 3 states.
void LockThreeStates(Session& session, TransitionRecords records, const Scratch& scratch) {
  const std::size_t molecules = records.size() / kPerMolecule;
  std::vector<std::string> files;
  for (std::size_t m = 0; m < molecules; ++m) files.push_back(scratch.Folder() + "m" + std::to_string(m) + ".dat");
  session.SetPeaks(kPeaks);
  session.SetExposure(kExposure);
  session.Adopt(std::move(records), std::move(files), scratch.Folder());
  session.SetStates(3);
  const double cutoffs[] = {kThird, 2 * kThird, 1.0};
  session.SetCutoffs(cutoffs);
  session.Lock();
}

// One molecule whose 1->2 record stands for 5,000,000 transitions, the others empty.
TransitionRecords OneRecordOfMillions() {
  TransitionRecords records(kPerMolecule);
  records.Set(0, {0.2, 0.5, 0.05, 0, 5'000'000});
  return records;
}

// `molecules` molecules of 3 states, each with one record per class of the lock and a rate per
// frame that varies from molecule to molecule about the class's own.
TransitionRecords ManyMolecules(std::size_t molecules) {
  std::mt19937_64 random(2026);
  std::normal_distribution<double> spread(0.0, 0.3);
  std::uniform_int_distribution<int> transitions(1, 20);
  TransitionRecords records(molecules * kPerMolecule);
  for (std::size_t m = 0; m < molecules; ++m)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        const double rate = 0.01 * (1 + i + 3 * j) * std::exp(spread(random));
        records.Set(m * kPerMolecule + static_cast<std::size_t>(3 * i + j),
                    {(i + 0.5) * kThird, (j + 0.5) * kThird, rate, 0, static_cast<double>(transitions(random))});
      }
  return records;
}

void BM_RateFileOf5MillionTransitions(benchmark::State& state) {
  const Scratch scratch;
  const std::vector<double> values(5'000'000, 0.05);
  for (auto _ : state) benchmark::DoNotOptimize(WriteRateFile(scratch.Folder() + "1,2rates.dat", values));
}

void BM_FitOfAClassOf5MillionTransitions(benchmark::State& state) {
  const Scratch scratch;
  Session session;
  LockThreeStates(session, OneRecordOfMillions(), scratch);
  for (auto _ : state) benchmark::DoNotOptimize(session.Fit(1, 2));
  state.counters["molecules"] = session.FitOf(1, 2)->uncertainty.molecules;
}

void BM_EveryClassOf10000MoleculesWithIntervals(benchmark::State& state) {
  const Scratch scratch;
  Session session;
  LockThreeStates(session, ManyMolecules(10'000), scratch);
  for (auto _ : state)
    for (int i = 1; i <= 3; ++i)
      for (int j = 1; j <= 3; ++j) benchmark::DoNotOptimize(session.Fit(i, j));
  int failed = 0;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) failed += session.FitOf(i, j)->uncertainty.failed;
  state.counters["failed"] = failed;
}

BENCHMARK(BM_RateFileOf5MillionTransitions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FitOfAClassOf5MillionTransitions)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EveryClassOf10000MoleculesWithIntervals)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
