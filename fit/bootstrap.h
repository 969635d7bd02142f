// How sure a fitted rate is. The loaded reports are the molecules: a bootstrap replicate draws
// as many molecules as there are, with replacement, builds the class from their records as it
// was built, and estimates again. The spread of the replicates' rates gives a 95 % interval.
// Beside the Gaussian fit (a typical molecule's rate) stands the pooled rate (the rate of one
// homogeneous population: every transition of the class over every frame spent in its initial
// state), with its interval from the same replicates.
//
// Two kinds of interval come from the same replicates. The percentile interval takes their
// 2.5 % and 97.5 % points. The BCa interval (bias-corrected and accelerated; Efron 1987, JASA
// 82:171; Efron & Tibshirani, "An Introduction to the Bootstrap", 1993, ch. 14) takes other
// points of them, moved by the bias z0 (how far the replicates' median lies from the estimate)
// and the acceleration a (how fast the estimate's spread grows with its value, from a jackknife
// over the molecules): with z the normal quantile and Phi its inverse,
//   z0 = z(share of replicates below the estimate),
//   the ends are the replicates' points at Phi(z0 + (z0 + z_q) / (1 - a (z0 + z_q))),
//   q = 0.025 and 0.975.
// With z0 = a = 0 it is the percentile interval.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "reports/parallel.h"
#include "reports/records.h"
#include "selection/classlists.h"

// The replicates of one bootstrap unless asked otherwise.
inline constexpr int kDefaultReplicates = 1000;
// Fewer molecules than this give no interval: their replicates repeat a handful of data sets (a
// single molecule gives one, and an interval of no width), and say nothing of the spread
// between molecules.
inline constexpr int kLeastMoleculesForInterval = 10;

// The jackknife behind the BCa interval's acceleration leaves out one molecule of the class at
// a time when it has at most this many, and otherwise one of this many groups: the class's
// k-th molecule (in report order) is in group k mod kJackknifeGroups. The pooled rate's
// jackknife does the same over the molecules whose frames in the initial state it counts. Each group left out costs
// a fit, as a replicate does; leaving out each of 10,000 molecules would cost ten times the
// bootstrap itself. The grouped jackknife (delete-a-group; Efron & Tibshirani 1993, ch. 11)
// estimates the same acceleration: a group's influence is the sum of its molecules', and
// sum(U^3) / sum(U^2)^(3/2) over 100 groups of m molecules each is what it is over the
// molecules one by one (both the third and the second moment add up over a group).
inline constexpr int kJackknifeGroups = 100;

enum class IntervalKind { kPercentile, kBca };

// The interval a fit shows: the percentile interval, nearer its 95 % than the BCa interval in
// `make validate`'s study (README, "How sure a rate is": 200 simulated data sets of each size,
// the six off-diagonal classes, the fit and the pooled rate each against its true value). The
// share of intervals that hold the truth lies on average this far from 95 %, percentile / BCa:
// 2.3 / 3.1 points at 30 molecules, 1.5 / 1.5 at 100 (lowest 92.5 % / 91.5 %), 1.5 / 1.3 at
// 300; and BCa's mean share is the lower at every size (93.2 / 92.2 %, 94.5 / 94.0 %,
// 94.8 / 94.4 %). The differences are within one share's sampling error (1.5 points), but none
// speaks for BCa: these rates' replicates are near symmetric on the ln axis and their
// estimates near unbiased, where the percentile interval is already right, and BCa's z0 and
// jackknife acceleration only add noise, most with the fewest molecules.
inline constexpr IntervalKind kDefaultIntervalKind = IntervalKind::kPercentile;

// "percentile" or "BCa".
std::string_view IntervalKindName(IntervalKind kind);

struct Interval {
  double low;
  double high;
};

// Both kinds of 95 % interval of one rate, from the same replicates.
struct IntervalKinds {
  std::optional<Interval> percentile;
  std::optional<Interval> bca;
  const std::optional<Interval>& Of(IntervalKind kind) const { return kind == IntervalKind::kBca ? bca : percentile; }
};

// Where the replicates of a fit stand: they may run on other threads after the fit is shown.
enum class IntervalState {
  kComputed,   // the replicates have run: everything below holds
  kComputing,  // they run still: no interval yet, nor the count of failed replicates
  kStopped,    // they were stopped before the end: no interval
};

struct ClassUncertainty {
  IntervalState state = IntervalState::kComputed;
  std::optional<double> pooledRate;   // s^-1; none without a transition over frames that are known
  int framesUnknown = 0;              // molecules in state i whose F_i is unknown: left out of the pooled rate
  IntervalKind kind = kDefaultIntervalKind;  // the kind Rate() and Pooled() give
  IntervalKinds rateKinds;            // both kinds for the Gaussian fit's rate, s^-1 ...
  IntervalKinds pooledKinds;          // ... and for the pooled rate
  double rateAcceleration = 0.0;      // the BCa interval's a for the fit's rate ...
  double pooledAcceleration = 0.0;    // ... and for the pooled rate
  int molecules = 0;                  // reports with at least one record in the class
  int replicates = 0;                 // drawn; none for fewer than kLeastMoleculesForInterval molecules
  int failed = 0;                     // left out: an empty class, or a fit that did not finish

  // The intervals of `kind`: the Gaussian fit's rate and the pooled rate, s^-1.
  const std::optional<Interval>& Rate() const { return rateKinds.Of(kind); }
  const std::optional<Interval>& Pooled() const { return pooledKinds.Of(kind); }
};

// F_i of every molecule, in report order: the frames it spent in the class's initial state i
// that have a next frame (the last frame of a trace has none). Nothing for a molecule whose F_i
// cannot be known; 0 for one that never was in state i.
using StateFrames = std::vector<std::optional<double>>;

// The state whose frames a class counts: its initial state under the cutoffs of its lock, for a
// class set from a circle too (the class keeps the name of its lock's cell).
std::optional<int> StateOfLevel(double value, const ClassRule& rule);

// F_i of every molecule from its records, `perMolecule` = K x K of them, record (a, b) of levels
// a and b at a x K + b. A record that is all zero is a slot without a level. A level of state i
// (its records' initial value) adds the frames its report divided its counts by: n / p of its
// record (a, a), which stands for leaving it, or else of another record of its row with n > 0
// and p > 0. A level of state i without such a record was never left, and its frames are not in
// the report: the molecule's F_i is unknown.
StateFrames StateFramesOfRecords(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule);

// The pooled rate of the class: (sum over molecules of n_ij) / (sum over molecules of F_i) /
// exposure, n_ij a molecule's transitions in the class's records (n, whatever the weighting),
// every molecule with a known F_i counted, also those without a transition of the class: the
// maximum-likelihood rate of a population of one chance per frame. A molecule whose F_i is
// unknown is left out whole and counted in `unknown`. `frames` gives F_i per molecule; without
// it, StateFramesOfRecords.
struct PooledCount {
  double transitions = 0.0;
  double frames = 0.0;
  int unknown = 0;
  // Nothing without a transition, or when the rate is not finite.
  std::optional<double> Rate(double exposureTime) const;
};
PooledCount PooledCountOf(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                          const StateFrames* frames = nullptr);
std::optional<double> PooledRate(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                 double exposureTime, const StateFrames* frames = nullptr);

// The number of molecules, `perMolecule` consecutive records each, with a record in the class.
int ContributingMolecules(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule);

// The Gaussian fit's rate in s^-1 of the class built from `records`; nothing when the class has
// no rate to fit, the fit does not finish or its rate is not finite.
std::optional<double> FittedRate(const TransitionRecords& records, const ClassRule& rule, double exposureTime);

// The molecules that replicate `replicate` of the class draws, in draw order: `molecules` of
// them, with replacement, from a generator seeded by the class and the replicate alone.
std::vector<std::size_t> ReplicateDraws(const ClassRule& rule, int replicate, std::size_t molecules);

// The rates of one replicate: the class that the drawn molecules (`perMolecule` records each)
// make together, fitted as FittedRate fits, and its pooled rate. Each is nothing as those say;
// both are nothing when the class would hold more entries than a class list may.
struct ReplicateRates {
  std::optional<double> fitted;
  std::optional<double> pooled;
};
ReplicateRates ReplicateOf(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                           const std::vector<std::size_t>& draws, double exposureTime,
                           const StateFrames* frames = nullptr);

class ClassParts;

// The bootstrap of one class, gathered from the records in one pass: what each molecule adds to
// the class, which is all the replicates need. It holds no reference to the records, so that it
// can run on other threads while they are replaced.
class UncertaintyTask {
 public:
  // The class `rule` of `records` (`perMolecule` records per molecule), its rates divided by
  // `exposureTime`, to be given `replicates` replicates and intervals of `kind`; the pooled rate
  // counts the molecules' `frames` (StateFramesOfRecords when not given).
  UncertaintyTask(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                  double exposureTime, int replicates = kDefaultReplicates, IntervalKind kind = kDefaultIntervalKind,
                  const StateFrames* frames = nullptr);
  ~UncertaintyTask();
  UncertaintyTask(UncertaintyTask&&) noexcept;
  UncertaintyTask& operator=(UncertaintyTask&&) noexcept;

  // What is known before any replicate: the pooled rate, the molecules, the kind, and the
  // replicates that Run will draw (none for fewer than kLeastMoleculesForInterval molecules).
  const ClassUncertainty& Known() const { return known_; }
  // Whether Run has replicates to draw: otherwise Known() is the whole answer.
  bool HasReplicates() const { return known_.replicates > 0; }
  const ClassRule& Rule() const { return rule_; }
  // Known() with both kinds of 95 % interval of both rates, from the replicates drawn on
  // `threads` threads (0: as many as the machine runs at once). The random draws depend only on
  // the class and the replicate's number, and the jackknife's groups on the molecules' order,
  // so the intervals are the same on every run and any number of threads. `progress`, when
  // given, counts the replicates drawn; nothing when it was asked to stop.
  std::optional<ClassUncertainty> Run(int threads = 0, WorkProgress* progress = nullptr) const;

 private:
  ClassRule rule_;
  double exposureTime_;
  ClassUncertainty known_;
  std::unique_ptr<const ClassParts> parts_;
};

// The pooled rate, the molecules, and both kinds of 95 % interval of both rates from
// `replicates` replicates of the molecules, Rate() and Pooled() those of `kind`: an
// UncertaintyTask run at once.
ClassUncertainty EstimateUncertainty(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                     double exposureTime, int replicates = kDefaultReplicates, int threads = 0,
                                     IntervalKind kind = kDefaultIntervalKind, const StateFrames* frames = nullptr);

// ---- the intervals' arithmetic ----------------------------------------------------------

// The standard normal distribution's share below z, and its inverse (-inf at 0, inf at 1).
double NormalShare(double z);
double NormalQuantile(double share);

// The 95 % percentile interval of the replicates' values; nothing without values.
std::optional<Interval> PercentileInterval(std::vector<double> values);

// The acceleration from the estimates with each jackknife group left out:
// a = sum (m - t_g)^3 / (6 (sum (m - t_g)^2)^(3/2)), m their mean; 0 when they are all alike.
double JackknifeAcceleration(const std::vector<double>& leftOut);

// The 95 % BCa interval of the replicates' values around `estimate`, the value on all the
// molecules; a replicate equal to it counts half below. Nothing without values.
std::optional<Interval> BcaInterval(std::vector<double> values, double estimate, double acceleration);
