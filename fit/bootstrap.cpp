#include "fit/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "fit/gaussfit.h"
#include "fit/random.h"
#include "reports/parallel.h"

namespace {

// The bootstrap's own seed: fixed, so that every run and every replay draws alike.
constexpr std::uint64_t kSeed = 0x5eed'7a11'0000'2026;
// The interval's ends: the 2.5 % and 97.5 % points of the replicates' values.
constexpr double kLowerShare = 0.025;
constexpr double kUpperShare = 0.975;

// The records of the class, molecule by molecule, in record order: all that a replicate needs.
using MoleculeRecords = std::vector<std::vector<TransitionRecord>>;

MoleculeRecords ClassRecordsByMolecule(const TransitionRecords& records, std::size_t perMolecule,
                                       const ClassRule& rule) {
  MoleculeRecords molecules(records.size() / perMolecule);
  for (std::size_t r = 0; r < molecules.size() * perMolecule; ++r)
    if (InClass(records[r], rule)) molecules[r / perMolecule].push_back(records[r]);
  return molecules;
}

// (sum of n, sum of n / p) over the records with p > 0.
struct PooledSums {
  double transitions = 0.0;
  double frames = 0.0;
  void Add(const TransitionRecord& record) {
    if (!(record.rate > 0.0)) return;
    transitions += record.count;
    frames += record.count / record.rate;
  }
  std::optional<double> Rate(double exposureTime) const {
    if (!(transitions > 0.0)) return std::nullopt;
    const double rate = transitions / frames / exposureTime;
    return std::isfinite(rate) ? std::optional<double>(rate) : std::nullopt;
  }
};

// The Gaussian fit's rate of a class list; nothing as FittedRate says.
std::optional<double> RateOfList(const std::vector<double>& list, double exposureTime) {
  const std::vector<double> values = InRangeValues(list);
  if (values.empty()) return std::nullopt;
  const std::optional<GaussFit> fit = FitGaussian(HistogramOf(list), values);
  if (!fit) return std::nullopt;
  const double rate = KineticRateOf(fit->fitted, exposureTime).rate;
  return std::isfinite(rate) ? std::optional<double>(rate) : std::nullopt;
}

struct ReplicateRates {
  std::optional<double> fitted;
  std::optional<double> pooled;
};

// One replicate: as many molecules as there are, drawn with replacement, the class list built
// from their records in the order drawn, as the lock or the circle built it.
ReplicateRates Replicate(const MoleculeRecords& molecules, const ClassRule& rule, double exposureTime,
                         std::mt19937_64& random) {
  std::vector<double> list;
  PooledSums sums;
  double entries = 0.0;
  for (std::size_t m = 0; m < molecules.size(); ++m)
    for (const TransitionRecord& record : molecules[UniformBelow(random, molecules.size())]) {
      const double times = ClassEntriesOf(record.count, rule.weighted);
      entries += times;
      if (entries > kMaxClassEntries) return {};
      list.insert(list.end(), static_cast<std::size_t>(times), record.rate);
      sums.Add(record);
    }
  return {RateOfList(list, exposureTime), sums.Rate(exposureTime)};
}

// The point at `share` of the sorted `values` (not empty), between the two order statistics
// around it.
double Quantile(const std::vector<double>& values, double share) {
  const double at = share * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(at);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (at - static_cast<double>(below)) * (values[above] - values[below]);
}

std::optional<Interval> PercentileInterval(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  return Interval{Quantile(values, kLowerShare), Quantile(values, kUpperShare)};
}

}  // namespace

std::optional<double> PooledRate(const TransitionRecords& records, const ClassRule& rule, double exposureTime) {
  PooledSums sums;
  for (std::size_t r = 0; r < records.size(); ++r)
    if (InClass(records[r], rule)) sums.Add(records[r]);
  return sums.Rate(exposureTime);
}

int ContributingMolecules(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule) {
  if (perMolecule == 0) return 0;
  const MoleculeRecords molecules = ClassRecordsByMolecule(records, perMolecule, rule);
  return static_cast<int>(std::count_if(molecules.begin(), molecules.end(), [](const auto& m) { return !m.empty(); }));
}

std::optional<double> FittedRate(const TransitionRecords& records, const ClassRule& rule, double exposureTime) {
  const std::optional<std::vector<double>> list = ClassListOf(records, rule);
  return list ? RateOfList(*list, exposureTime) : std::nullopt;
}

ClassUncertainty EstimateUncertainty(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                     double exposureTime, int replicates, int threads) {
  ClassUncertainty result;
  result.pooledRate = PooledRate(records, rule, exposureTime);
  result.molecules = ContributingMolecules(records, perMolecule, rule);
  result.replicates = replicates;
  if (perMolecule == 0 || records.size() < perMolecule || replicates <= 0) return result;

  const MoleculeRecords molecules = ClassRecordsByMolecule(records, perMolecule, rule);
  // Replicate b draws with its own generator: its result does not depend on which thread runs it.
  const std::uint64_t classSeed = SplitMix64(kSeed ^ SplitMix64(static_cast<std::uint64_t>(rule.from) * 16 + rule.to));
  std::vector<ReplicateRates> drawn(static_cast<std::size_t>(replicates));
  const int used = std::min(ThreadCount(threads), replicates);
  RunOnThreads(used, [&](int t) {
    for (int b = t; b < replicates; b += used) {
      std::mt19937_64 random(SplitMix64(classSeed + static_cast<std::uint64_t>(b)));
      drawn[static_cast<std::size_t>(b)] = Replicate(molecules, rule, exposureTime, random);
    }
  });
  // A replicate counts for both intervals or for neither.
  std::vector<double> rates, pooledRates;
  for (const ReplicateRates& replicate : drawn) {
    if (!replicate.fitted || !replicate.pooled) {
      ++result.failed;
      continue;
    }
    rates.push_back(*replicate.fitted);
    pooledRates.push_back(*replicate.pooled);
  }
  result.rate = PercentileInterval(std::move(rates));
  result.pooled = PercentileInterval(std::move(pooledRates));
  return result;
}
