// The density map: the direct sum (one exponential per record and cell) against the separable,
// threaded one, and a whole load of 2,000 simulated reports with its rebuild.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/varneldlg.h"
#include "reports/densitygrid.h"
#include "reports/outputdir.h"
#include "reports/reportfile.h"
#include "res/resource.h"
#include "tests/support/test_host.h"

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

constexpr int kReports = 2000;
constexpr int kPeaks = 10;

// The simulator is built beside the benchmark's folder.
std::filesystem::path Simulator() {
  if (const char* given = std::getenv("VARNEL_SIMULATOR")) return given;
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.parent_path().parent_path() / "varnel-simulate";
}

// 2,000 simulated reports of 10 x 10 records in a scratch folder, made once; empty on failure.
const std::vector<std::string>& SimulatedReports(std::string& error) {
  static std::vector<std::string> paths;
  static std::string why;
  if (paths.empty() && why.empty()) {
    const auto dir = std::filesystem::temp_directory_path() / ("varnel-bench-" + std::to_string(getpid()));
    std::string command = "'";
    command += Simulator().string();
    command += "' --out '" + dir.string() + "' --molecules " + std::to_string(kReports) + " --seed 11 --peaks " +
               std::to_string(kPeaks) + " >/dev/null";
    if (std::system(command.c_str()) != 0) {
      why = "cannot run " + Simulator().string() + " (set VARNEL_SIMULATOR)";
    } else {
      for (const auto& entry : std::filesystem::directory_iterator(dir)) paths.push_back(entry.path().string());
      std::sort(paths.begin(), paths.end());
      std::atexit([] { std::filesystem::remove_all(std::filesystem::path(paths.front()).parent_path()); });
    }
  }
  error = why;
  return paths;
}

void BM_ParseReports(benchmark::State& state) {
  std::string error;
  const auto& paths = SimulatedReports(error);
  if (!error.empty()) return state.SkipWithError(error.c_str());
  const std::size_t perFile = kPeaks * kPeaks;
  TransitionRecords records(perFile * paths.size());
  for (auto _ : state) {
    std::ifstream fin;
    for (std::size_t f = 0; f < paths.size(); ++f) ReadReport(fin, paths[f], perFile, records, f * perFile);
    benchmark::DoNotOptimize(records.TransitionCounts().data());
  }
  state.counters["files"] = static_cast<double>(paths.size());
}

void BM_LoadAndRebuild(benchmark::State& state) {
  std::string error;
  const auto& paths = SimulatedReports(error);
  if (!error.empty()) return state.SkipWithError(error.c_str());
  TestHost host;  // answers each file dialog with the simulated reports
  {
    CVarnelDlg dlg;
    dlg.Realise();
    dlg.SendMessage(WM_PAINT);
    for (auto _ : state) {
      state.PauseTiming();
      host.fileAnswers.push_back(paths);
      state.ResumeTiming();
      dlg.UserClick(IDC_LOAD_FILES);
    }
    state.counters["records"] = static_cast<double>(dlg.m_records.size());
  }
  g_outputDir.clear();
  if (!host.messages.empty()) state.SkipWithError(host.messages.front().c_str());
}

BENCHMARK(BM_ParseReports)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndRebuild)->Unit(benchmark::kMillisecond);

}  // namespace
