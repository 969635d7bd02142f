#include "fit/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
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

// (sum of n, sum of n / p) over the records with p > 0.
struct PooledSums {
  double transitions = 0.0;
  double frames = 0.0;
  void Add(const TransitionRecord& record) {
    if (!(record.rate > 0.0)) return;
    transitions += record.count;
    frames += record.count / record.rate;
  }
  void Add(const PooledSums& other) {
    transitions += other.transitions;
    frames += other.frames;
  }
  std::optional<double> Rate(double exposureTime) const {
    if (!(transitions > 0.0)) return std::nullopt;
    const double rate = transitions / frames / exposureTime;
    return std::isfinite(rate) ? std::optional<double>(rate) : std::nullopt;
  }
};

// What one molecule adds to the class, whichever replicate draws it: per record of the class,
// its entries (ClassEntriesOf) in the histogram bin of its rate, among the values the fit
// starts from (-10 < ln v < 0) with their ln, and in the pooled sums. A replicate's class is
// the sum of its drawn molecules' parts: the list itself is never built, so a record that
// stands for millions of transitions costs what any other record costs.
struct MoleculeSums {
  double entries = 0.0;  // every entry, in a bin or not
  double inRange = 0.0;  // the entries the fit's start takes ...
  double lnSum = 0.0;    // ... and the sum of their ln v
  PooledSums pooled;
};

struct BinEntries {
  int bin;
  double entries;
};

// Every molecule's part, laid out for a replicate to run through: its sums, and the bins it
// fills (few for a molecule) one after another in one array.
class ClassParts {
 public:
  ClassParts(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule) {
    const std::size_t molecules = records.size() / perMolecule;
    sums_.resize(molecules);
    firstBin_.reserve(molecules + 1);
    for (std::size_t m = 0; m < molecules; ++m) {
      firstBin_.push_back(bins_.size());
      for (std::size_t r = m * perMolecule; r < (m + 1) * perMolecule; ++r)
        if (const TransitionRecord record = records[r]; InClass(record, rule)) Add(m, record, rule.weighted);
    }
    firstBin_.push_back(bins_.size());
  }

  std::size_t Molecules() const { return sums_.size(); }
  const MoleculeSums& Sums(std::size_t m) const { return sums_[m]; }
  std::span<const BinEntries> Bins(std::size_t m) const {
    return std::span<const BinEntries>(bins_).subspan(firstBin_[m], firstBin_[m + 1] - firstBin_[m]);
  }

 private:
  void Add(std::size_t m, const TransitionRecord& record, bool weighted) {
    MoleculeSums& sums = sums_[m];
    const double times = ClassEntriesOf(record.count, weighted);
    sums.entries += times;
    sums.pooled.Add(record);
    // What the class list holds of the record: as many copies of its rate as it has entries.
    const double copies = std::floor(times);
    if (!(copies >= 1.0)) return;
    if (const auto bin = HistogramBinOf(record.rate)) {
      const auto own = bins_.begin() + static_cast<std::ptrdiff_t>(firstBin_[m]);
      const auto same = std::find_if(own, bins_.end(), [&](const BinEntries& b) { return b.bin == *bin; });
      if (same == bins_.end())
        bins_.push_back({*bin, copies});
      else
        same->entries += copies;
    }
    if (const double lnv = std::log(record.rate); InFitRangeLn(lnv)) {
      sums.inRange += copies;
      sums.lnSum += copies * lnv;
    }
  }

  std::vector<MoleculeSums> sums_;
  std::vector<std::size_t> firstBin_;  // molecule m's bins are [firstBin_[m], firstBin_[m + 1])
  std::vector<BinEntries> bins_;
};

// The Gaussian fit's rate of a class's histogram and mean ln v; nothing as FittedRate says.
std::optional<double> RateOfHistogram(const ClassHistogram& histogram, double meanLn, double exposureTime) {
  const std::optional<GaussFit> fit = FitGaussianFromMean(histogram, meanLn);
  if (!fit) return std::nullopt;
  const double rate = KineticRateOf(fit->fitted, exposureTime).rate;
  return std::isfinite(rate) ? std::optional<double>(rate) : std::nullopt;
}

// The Gaussian fit's rate of a class list; nothing as FittedRate says.
std::optional<double> RateOfList(const std::vector<double>& list, double exposureTime) {
  const std::optional<double> meanLn = InRangeMeanLn(list);
  return meanLn ? RateOfHistogram(HistogramOf(list), *meanLn, exposureTime) : std::nullopt;
}

// The class that the drawn molecules make together, as the lock or the circle would build it
// from their records, and its two rates.
ReplicateRates RatesOfDraws(const ClassParts& parts, const std::vector<std::size_t>& draws, double exposureTime) {
  ClassHistogram histogram = HistogramOf({});
  PooledSums pooled;
  double entries = 0.0, inRange = 0.0, lnSum = 0.0;
  for (std::size_t drawn : draws) {
    const MoleculeSums& sums = parts.Sums(drawn);
    entries += sums.entries;
    if (entries > kMaxClassEntries) return {};
    for (const BinEntries& bin : parts.Bins(drawn)) histogram.counts[static_cast<std::size_t>(bin.bin)] += bin.entries;
    inRange += sums.inRange;
    lnSum += sums.lnSum;
    pooled.Add(sums.pooled);
  }
  const std::optional<double> fitted =
      inRange > 0.0 ? RateOfHistogram(histogram, lnSum / inRange, exposureTime) : std::nullopt;
  return {fitted, pooled.Rate(exposureTime)};
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

std::vector<std::size_t> ReplicateDraws(const ClassRule& rule, int replicate, std::size_t molecules) {
  const std::uint64_t classSeed = SplitMix64(kSeed ^ SplitMix64(static_cast<std::uint64_t>(rule.from) * 16 + rule.to));
  std::mt19937_64 random(SplitMix64(classSeed + static_cast<std::uint64_t>(replicate)));
  std::vector<std::size_t> draws(molecules);
  const UniformIndex below(molecules);
  for (std::size_t& drawn : draws) drawn = below(random);
  return draws;
}

ReplicateRates ReplicateOf(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                           const std::vector<std::size_t>& draws, double exposureTime) {
  if (perMolecule == 0) return {};
  return RatesOfDraws(ClassParts(records, perMolecule, rule), draws, exposureTime);
}

std::optional<double> PooledRate(const TransitionRecords& records, const ClassRule& rule, double exposureTime) {
  PooledSums sums;
  for (std::size_t r = 0; r < records.size(); ++r)
    if (InClass(records[r], rule)) sums.Add(records[r]);
  return sums.Rate(exposureTime);
}

int ContributingMolecules(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule) {
  if (perMolecule == 0) return 0;
  int molecules = 0;
  for (std::size_t m = 0; m < records.size() / perMolecule; ++m)
    for (std::size_t r = m * perMolecule; r < (m + 1) * perMolecule; ++r)
      if (InClass(records[r], rule)) {
        ++molecules;
        break;
      }
  return molecules;
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
  if (perMolecule == 0 || records.size() < perMolecule || replicates <= 0 ||
      result.molecules < kLeastMoleculesForInterval)
    return result;
  result.replicates = replicates;

  const ClassParts molecules(records, perMolecule, rule);
  // Replicate b draws with its own generator: its result does not depend on which thread runs it.
  std::vector<ReplicateRates> drawn(static_cast<std::size_t>(replicates));
  const int used = std::min(ThreadCount(threads), replicates);
  RunOnThreads(used, [&](int t) {
    for (int b = t; b < replicates; b += used)
      drawn[static_cast<std::size_t>(b)] =
          RatesOfDraws(molecules, ReplicateDraws(rule, b, molecules.Molecules()), exposureTime);
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
