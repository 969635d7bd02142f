// How often the bootstrap interval holds what it claims to: simulated data sets of 100
// molecules each, every class fitted and bootstrapped, and the share of intervals that contain
// the same estimator's value on 20,000 molecules of the same model (as near the population's
// value as the estimator gets). A 95 % interval should hold it about 95 times in 100, for the
// Gaussian fit and for the pooled rate alike. Run by `make validate`; it takes minutes.
//
// Usage: varnel-validate [DATA_SETS [MOLECULES]]   (defaults 200 and 100)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fit/bootstrap.h"
#include "platform/system.h"
#include "reports/reportfile.h"

namespace {

constexpr int kStates = 3;
constexpr int kPeaks = 10;  // the simulator's reports: 10 x 10 records
constexpr std::size_t kPerMolecule = kPeaks * kPeaks;
constexpr double kExposure = 0.1;  // the simulator's default, in seconds
constexpr int kReferenceMolecules = 20000;
constexpr std::uint64_t kReferenceSeed = 999'999;

// The reports of `molecules` simulated molecules of the default model.
TransitionRecords Simulate(int molecules, std::uint64_t seed, const std::filesystem::path& scratch) {
  std::filesystem::remove_all(scratch);
  const std::string command = std::string("'") + VARNEL_SIMULATOR + "' --out '" + scratch.string() + "' --molecules " +
                              std::to_string(molecules) + " --seed " + std::to_string(seed) + " >/dev/null";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "varnel-validate: cannot run %s\n", VARNEL_SIMULATOR);
    std::exit(1);
  }
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(scratch)) paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  TransitionRecords records(paths.size() * kPerMolecule);
  for (std::size_t f = 0; f < paths.size(); ++f) ReadReport(paths[f].string(), kPerMolecule, records, f * kPerMolecule);
  return records;
}

// Class i->j of three evenly spaced states, as "Lock cutoffs" builds it.
ClassRule Class(int i, int j) {
  Cutoffs cutoffs{};
  for (int k = 0; k < kStates - 1; ++k) cutoffs[static_cast<std::size_t>(k)] = (1.0 / kStates) * (k + 1);
  cutoffs[kStates - 1] = 1.0;
  return {i, j, kStates, cutoffs, true, {}};
}

bool Holds(const std::optional<Interval>& interval, const std::optional<double>& value) {
  return interval && value && interval->low <= *value && *value <= interval->high;
}

}  // namespace

int main(int argc, char** argv) {
  const int dataSets = argc > 1 ? std::atoi(argv[1]) : 200;
  const int molecules = argc > 2 ? std::atoi(argv[2]) : 100;
  const auto scratch = std::filesystem::temp_directory_path() / ("varnel-validate-" + std::to_string(ProcessNumber()));

  std::printf("reference: %d molecules\n", kReferenceMolecules);
  const TransitionRecords reference = Simulate(kReferenceMolecules, kReferenceSeed, scratch);
  std::optional<double> fitted[kStates][kStates], pooled[kStates][kStates];
  for (int i = 0; i < kStates; ++i)
    for (int j = 0; j < kStates; ++j) {
      fitted[i][j] = FittedRate(reference, Class(i, j), kExposure);
      pooled[i][j] = PooledRate(reference, Class(i, j), kExposure);
    }

  int fitHeld[kStates][kStates] = {}, pooledHeld[kStates][kStates] = {}, usable[kStates][kStates] = {};
  for (int set = 0; set < dataSets; ++set) {
    const TransitionRecords records = Simulate(molecules, static_cast<std::uint64_t>(set) + 1, scratch);
    for (int i = 0; i < kStates; ++i)
      for (int j = 0; j < kStates; ++j) {
        const ClassUncertainty u = EstimateUncertainty(records, kPerMolecule, Class(i, j), kExposure);
        if (!u.rate) continue;
        ++usable[i][j];
        fitHeld[i][j] += Holds(u.rate, fitted[i][j]);
        pooledHeld[i][j] += Holds(u.pooled, pooled[i][j]);
      }
    std::fprintf(stderr, "\rdata set %d of %d", set + 1, dataSets);
  }
  std::filesystem::remove_all(scratch);

  std::printf("\n%d data sets of %d molecules; share of 95 %% intervals that hold the value on %d molecules\n",
              dataSets, molecules, kReferenceMolecules);
  std::printf("%-6s %12s %12s %12s %12s %6s\n", "class", "fit value", "fit share", "pooled value", "pooled share",
              "sets");
  for (int i = 0; i < kStates; ++i)
    for (int j = 0; j < kStates; ++j) {
      const double n = std::max(usable[i][j], 1);
      std::printf("%d->%d   %12.6g %11.1f%% %12.6g %11.1f%% %6d\n", i + 1, j + 1, fitted[i][j].value_or(0),
                  100 * fitHeld[i][j] / n, pooled[i][j].value_or(0), 100 * pooledHeld[i][j] / n, usable[i][j]);
    }
  return 0;
}
