#include "fit/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

// The normal quantile starts from Acklam's rational approximation (relative error below
// 1.15e-9): a ratio of polynomials in q = share - 1/2 in the centre, 0.02425 < share < 0.97575,
// and in sqrt(-2 ln share) in the tails; one Halley step on Phi(x) - share, with Phi from
// std::erfc, brings it to the last bits of a double.
constexpr double kCentralA[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
constexpr double kCentralB[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                6.680131188771972e+01, -1.328068155288572e+01};
constexpr double kTailC[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                             -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
constexpr double kTailD[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                             3.754408661907416e+00};
constexpr double kTailShare = 0.02425;
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kSqrt2Pi = 2.5066282746310002;  // sqrt(2 pi)

// (sum of n_ij, sum of F_i) over molecules.
struct PooledSums {
  double transitions = 0.0;
  double frames = 0.0;
  void Add(const PooledSums& other) {
    transitions += other.transitions;
    frames += other.frames;
  }
  std::optional<double> Rate(double exposureTime) const {
    return PooledCount{transitions, frames, 0}.Rate(exposureTime);
  }
};

bool EmptySlot(const TransitionRecord& record) {
  return record.initial == 0.0 && record.final == 0.0 && record.rate == 0.0 && record.spare == 0.0 &&
         record.count == 0.0;
}

// The frames a report divided the counts of a record by, when it says: n / p.
std::optional<double> DividedFrames(const TransitionRecord& record) {
  if (!(record.count > 0.0) || !(record.rate > 0.0)) return std::nullopt;
  const double frames = record.count / record.rate;
  return std::isfinite(frames) ? std::optional<double>(frames) : std::nullopt;
}

// F_i of the molecule whose K x K records are `own`, as StateFramesOfRecords says.
std::optional<double> StateFramesOf(std::span<const TransitionRecord> own, std::size_t levels, const ClassRule& rule) {
  double frames = 0.0;
  for (std::size_t a = 0; a < levels; ++a) {
    const std::span<const TransitionRecord> row = own.subspan(a * levels, levels);
    const auto level = std::find_if(row.begin(), row.end(), [](const TransitionRecord& r) { return !EmptySlot(r); });
    if (level == row.end() || StateOfLevel(level->initial, rule) != rule.from) continue;
    std::optional<double> divided = DividedFrames(row[a]);
    for (std::size_t b = 0; b < levels && !divided; ++b) divided = DividedFrames(row[b]);
    if (!divided) return std::nullopt;
    frames += *divided;
  }
  return frames;
}

// What one molecule adds to the class, whichever replicate draws it: per record of the class,
// its entries (ClassEntriesOf) in the histogram bin of its rate, among the values the fit
// starts from (-10 < ln v < 0) with their ln, and in the pooled sums. A replicate's class is
// the sum of its drawn molecules' parts: the list itself is never built, so a record that
// stands for millions of transitions costs what any other record costs.
struct MoleculeSums {
  bool inClass = false;  // a record of the molecule is in the class
  double entries = 0.0;  // every entry, in a bin or not
  double inRange = 0.0;  // the entries the fit's start takes ...
  double lnSum = 0.0;    // ... and the sum of their ln v
  PooledSums pooled;
};

struct BinEntries {
  int bin;
  double entries;
};

}  // namespace

// Every molecule's part, laid out for a replicate to run through: its sums, and the bins it
// fills (few for a molecule) one after another in one array.
class ClassParts {
 public:
  // `frames` holds F_i of every molecule.
  ClassParts(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
             const StateFrames& frames) {
    const std::size_t molecules = records.size() / perMolecule;
    sums_.resize(molecules);
    firstBin_.reserve(molecules + 1);
    for (std::size_t m = 0; m < molecules; ++m) {
      firstBin_.push_back(bins_.size());
      double transitions = 0.0;
      for (std::size_t r = m * perMolecule; r < (m + 1) * perMolecule; ++r)
        if (const TransitionRecord record = records[r]; InClass(record, rule)) {
          Add(m, record, rule.weighted);
          transitions += record.count;
        }
      // A molecule whose F_i is unknown adds nothing to the pooled rate.
      if (m < frames.size() && frames[m]) sums_[m].pooled = {transitions, *frames[m]};
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
    sums.inClass = true;
    const double times = ClassEntriesOf(record.count, weighted);
    sums.entries += times;
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

namespace {

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

// The share of the replicates at which a BCa end lies, for the normal quantile `z` of its
// percentile share. Where 1 - a (z0 + z) is not positive the map has passed its pole: the end
// is the replicates' end on that side, its limit from within.
double BcaShare(double z0, double acceleration, double z) {
  const double shifted = z0 + z;
  const double denominator = 1.0 - acceleration * shifted;
  if (!(denominator > 0.0)) return shifted > 0.0 ? 1.0 : 0.0;
  return NormalShare(z0 + shifted / denominator);
}

// The estimates of a class with each jackknife group of its molecules left out, in group
// order; a group whose estimate fails gives none.
struct LeftOut {
  std::vector<double> fitted;
  std::vector<double> pooled;
};

// The estimates with each group of `members` left out (the k-th member in group k mod the
// groups) and every other molecule kept, in group order.
std::vector<ReplicateRates> LeaveGroupsOut(const ClassParts& parts, const std::vector<std::size_t>& members,
                                           double exposureTime, int threads) {
  const std::size_t groups = std::min<std::size_t>(members.size(), kJackknifeGroups);
  std::vector<ReplicateRates> rates(groups);
  if (groups == 0) return rates;
  const int used = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(ThreadCount(threads)), groups));
  RunOnThreads(used, [&](int t) {
    std::vector<bool> out(parts.Molecules());
    std::vector<std::size_t> kept;
    for (std::size_t g = static_cast<std::size_t>(t); g < groups; g += static_cast<std::size_t>(used)) {
      std::fill(out.begin(), out.end(), false);
      for (std::size_t k = g; k < members.size(); k += groups) out[members[k]] = true;
      kept.clear();
      for (std::size_t m = 0; m < parts.Molecules(); ++m)
        if (!out[m]) kept.push_back(m);
      rates[g] = RatesOfDraws(parts, kept, exposureTime);
    }
  });
  return rates;
}

// The fit's groups are of the molecules in the class, the only ones it sees; the pooled rate's
// of every molecule whose frames in the initial state it counts, steps or not, as a replicate
// draws them.
LeftOut Jackknife(const ClassParts& parts, double exposureTime, int threads) {
  std::vector<std::size_t> inClass, counted;
  for (std::size_t m = 0; m < parts.Molecules(); ++m) {
    if (parts.Sums(m).inClass) inClass.push_back(m);
    if (parts.Sums(m).pooled.frames > 0.0) counted.push_back(m);
  }
  const std::vector<ReplicateRates> byClass = LeaveGroupsOut(parts, inClass, exposureTime, threads);
  const std::vector<ReplicateRates> byFrames =
      counted == inClass ? byClass : LeaveGroupsOut(parts, counted, exposureTime, threads);
  LeftOut out;
  for (const ReplicateRates& r : byClass)
    if (r.fitted) out.fitted.push_back(*r.fitted);
  for (const ReplicateRates& r : byFrames)
    if (r.pooled) out.pooled.push_back(*r.pooled);
  return out;
}

}  // namespace

std::string_view IntervalKindName(IntervalKind kind) { return kind == IntervalKind::kBca ? "BCa" : "percentile"; }

double NormalShare(double z) { return 0.5 * std::erfc(-z / kSqrt2); }

double NormalQuantile(double share) {
  if (!(share > 0.0)) return -std::numeric_limits<double>::infinity();
  if (!(share < 1.0)) return std::numeric_limits<double>::infinity();
  const double* a = kCentralA;
  const double* b = kCentralB;
  const double* c = kTailC;
  const double* d = kTailD;
  double x = 0.0;
  if (share < kTailShare || share > 1.0 - kTailShare) {
    const double q = std::sqrt(-2.0 * std::log(std::min(share, 1.0 - share)));
    x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    if (share > 0.5) x = -x;
  } else {
    const double q = share - 0.5;
    const double r = q * q;
    x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
  }
  // Halley: e = Phi(x) - share, u = e / phi(x); x - u / (1 + x u / 2).
  const double u = (NormalShare(x) - share) * kSqrt2Pi * std::exp(x * x / 2.0);
  return x - u / (1.0 + x * u / 2.0);
}

std::optional<Interval> PercentileInterval(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  return Interval{Quantile(values, kLowerShare), Quantile(values, kUpperShare)};
}

double JackknifeAcceleration(const std::vector<double>& leftOut) {
  if (leftOut.empty()) return 0.0;
  // The mean in two passes: its rounding would otherwise stand as a spread of its own, and
  // estimates that are all alike would give a = -+1 / (6 sqrt n) instead of 0.
  const double n = static_cast<double>(leftOut.size());
  double mean = 0.0, correction = 0.0;
  for (double t : leftOut) mean += t;
  mean /= n;
  for (double t : leftOut) correction += t - mean;
  mean += correction / n;
  double squares = 0.0, cubes = 0.0;
  for (double t : leftOut) {
    const double d = mean - t;
    squares += d * d;
    cubes += d * d * d;
  }
  if (!(squares > 0.0)) return 0.0;
  return cubes / (6.0 * squares * std::sqrt(squares));
}

std::optional<Interval> BcaInterval(std::vector<double> values, double estimate, double acceleration) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const auto below = std::lower_bound(values.begin(), values.end(), estimate) - values.begin();
  const auto equal = std::upper_bound(values.begin(), values.end(), estimate) - values.begin() - below;
  // A share of 0 or 1 would put z0 at infinity: it stays half a replicate inside.
  const double count = static_cast<double>(values.size());
  const double share = std::clamp((static_cast<double>(below) + 0.5 * static_cast<double>(equal)) / count, 0.5 / count,
                                  1.0 - 0.5 / count);
  const double z0 = NormalQuantile(share);
  return Interval{Quantile(values, BcaShare(z0, acceleration, NormalQuantile(kLowerShare))),
                  Quantile(values, BcaShare(z0, acceleration, NormalQuantile(kUpperShare)))};
}

std::vector<std::size_t> ReplicateDraws(const ClassRule& rule, int replicate, std::size_t molecules) {
  const std::uint64_t classSeed = SplitMix64(kSeed ^ SplitMix64(static_cast<std::uint64_t>(rule.from) * 16 + rule.to));
  std::mt19937_64 random(SplitMix64(classSeed + static_cast<std::uint64_t>(replicate)));
  std::vector<std::size_t> draws(molecules);
  const UniformIndex below(molecules);
  for (std::size_t& drawn : draws) drawn = below(random);
  return draws;
}

namespace {

// The caller's F_i when it gives them, else those of the records, held in `own`.
const StateFrames& GivenOrOfRecords(const StateFrames* frames, StateFrames& own, const TransitionRecords& records,
                                    std::size_t perMolecule, const ClassRule& rule) {
  if (frames) return *frames;
  own = StateFramesOfRecords(records, perMolecule, rule);
  return own;
}

}  // namespace

ReplicateRates ReplicateOf(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                           const std::vector<std::size_t>& draws, double exposureTime, const StateFrames* frames) {
  if (perMolecule == 0) return {};
  StateFrames own;
  return RatesOfDraws(ClassParts(records, perMolecule, rule, GivenOrOfRecords(frames, own, records, perMolecule, rule)),
                      draws, exposureTime);
}

std::optional<int> StateOfLevel(double value, const ClassRule& rule) { return StateOf(value, rule.states, rule.cutoffs); }

StateFrames StateFramesOfRecords(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule) {
  const auto levels = static_cast<std::size_t>(std::llround(std::sqrt(static_cast<double>(perMolecule))));
  if (perMolecule == 0 || levels * levels != perMolecule) return {};
  StateFrames frames(records.size() / perMolecule);
  std::vector<TransitionRecord> own(perMolecule);
  for (std::size_t m = 0; m < frames.size(); ++m) {
    for (std::size_t r = 0; r < perMolecule; ++r) own[r] = records[m * perMolecule + r];
    frames[m] = StateFramesOf(own, levels, rule);
  }
  return frames;
}

std::optional<double> PooledCount::Rate(double exposureTime) const {
  if (!(transitions > 0.0)) return std::nullopt;
  const double rate = transitions / frames / exposureTime;
  return std::isfinite(rate) ? std::optional<double>(rate) : std::nullopt;
}

PooledCount PooledCountOf(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                          const StateFrames* frames) {
  PooledCount count;
  if (perMolecule == 0) return count;
  StateFrames own;
  const StateFrames& known = GivenOrOfRecords(frames, own, records, perMolecule, rule);
  for (std::size_t m = 0; m < records.size() / perMolecule; ++m) {
    if (m >= known.size() || !known[m]) {
      ++count.unknown;
      continue;
    }
    count.frames += *known[m];
    for (std::size_t r = m * perMolecule; r < (m + 1) * perMolecule; ++r)
      if (InClass(records[r], rule)) count.transitions += records[r].count;
  }
  return count;
}

std::optional<double> PooledRate(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                 double exposureTime, const StateFrames* frames) {
  return PooledCountOf(records, perMolecule, rule, frames).Rate(exposureTime);
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

UncertaintyTask::UncertaintyTask(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                 double exposureTime, int replicates, IntervalKind kind, const StateFrames* frames)
    : rule_(rule), exposureTime_(exposureTime) {
  known_.kind = kind;
  StateFrames own;
  const StateFrames& known = GivenOrOfRecords(frames, own, records, perMolecule, rule);
  const PooledCount pooled = PooledCountOf(records, perMolecule, rule, &known);
  known_.pooledRate = pooled.Rate(exposureTime);
  known_.framesUnknown = pooled.unknown;
  known_.molecules = ContributingMolecules(records, perMolecule, rule);
  if (perMolecule == 0 || records.size() < perMolecule || replicates <= 0 ||
      known_.molecules < kLeastMoleculesForInterval)
    return;
  known_.replicates = replicates;
  parts_ = std::make_unique<const ClassParts>(records, perMolecule, rule, known);
}

UncertaintyTask::~UncertaintyTask() = default;
UncertaintyTask::UncertaintyTask(UncertaintyTask&&) noexcept = default;
UncertaintyTask& UncertaintyTask::operator=(UncertaintyTask&&) noexcept = default;

std::optional<ClassUncertainty> UncertaintyTask::Run(int threads, WorkProgress* progress) const {
  ClassUncertainty result = known_;
  if (!HasReplicates()) return result;
  const ClassParts& molecules = *parts_;
  const int replicates = known_.replicates;
  const auto stopped = [progress] { return progress && progress->StopRequested(); };
  // Replicate b draws with its own generator: its result does not depend on which thread runs it.
  std::vector<ReplicateRates> drawn(static_cast<std::size_t>(replicates));
  const int used = std::min(ThreadCount(threads), replicates);
  RunOnThreads(used, [&](int t) {
    for (int b = t; b < replicates && !stopped(); b += used) {
      drawn[static_cast<std::size_t>(b)] =
          RatesOfDraws(molecules, ReplicateDraws(rule_, b, molecules.Molecules()), exposureTime_);
      if (progress) progress->Step();
    }
  });
  if (stopped()) return std::nullopt;
  // A replicate counts for both intervals or for neither; for the fit's alone when no molecule's
  // frames are known, and there is no pooled rate to draw.
  const bool pooledToo = known_.pooledRate.has_value();
  std::vector<double> rates, pooledRates;
  for (const ReplicateRates& replicate : drawn) {
    if (!replicate.fitted || (pooledToo && !replicate.pooled)) {
      ++result.failed;
      continue;
    }
    rates.push_back(*replicate.fitted);
    if (pooledToo) pooledRates.push_back(*replicate.pooled);
  }
  // The estimates on all the molecules, summed as a replicate sums them, so that a replicate of
  // the very same molecules ties with them; and the jackknife's, for the acceleration.
  std::vector<std::size_t> all(molecules.Molecules());
  for (std::size_t m = 0; m < all.size(); ++m) all[m] = m;
  const ReplicateRates estimate = RatesOfDraws(molecules, all, exposureTime_);
  const LeftOut leftOut = Jackknife(molecules, exposureTime_, threads);
  if (stopped()) return std::nullopt;
  result.rateAcceleration = JackknifeAcceleration(leftOut.fitted);
  result.pooledAcceleration = JackknifeAcceleration(leftOut.pooled);
  result.rateKinds.percentile = PercentileInterval(rates);
  result.pooledKinds.percentile = PercentileInterval(pooledRates);
  if (estimate.fitted) result.rateKinds.bca = BcaInterval(std::move(rates), *estimate.fitted, result.rateAcceleration);
  if (estimate.pooled)
    result.pooledKinds.bca = BcaInterval(std::move(pooledRates), *estimate.pooled, result.pooledAcceleration);
  return result;
}

ClassUncertainty EstimateUncertainty(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                     double exposureTime, int replicates, int threads, IntervalKind kind,
                                     const StateFrames* frames) {
  return *UncertaintyTask(records, perMolecule, rule, exposureTime, replicates, kind, frames).Run(threads);
}
