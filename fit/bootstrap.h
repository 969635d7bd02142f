// How sure a fitted rate is. The loaded reports are the molecules: a bootstrap replicate draws
// as many molecules as there are, with replacement, builds the class from their records as it
// was built, and estimates again. The spread of the replicates' rates gives a 95 % interval.
// Beside the Gaussian fit (a typical molecule's rate) stands the pooled rate (the rate of one
// homogeneous population), with its interval from the same replicates.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "reports/records.h"
#include "selection/classlists.h"

// The replicates of one bootstrap unless asked otherwise.
inline constexpr int kDefaultReplicates = 1000;
// Fewer molecules than this give no interval: their replicates repeat a handful of data sets (a
// single molecule gives one, and an interval of no width), and say nothing of the spread
// between molecules.
inline constexpr int kLeastMoleculesForInterval = 10;

struct Interval {
  double low;
  double high;
};

struct ClassUncertainty {
  std::optional<double> pooledRate;   // s^-1; none without a record of n > 0 and p > 0
  std::optional<Interval> rate;       // the Gaussian fit's rate, s^-1
  std::optional<Interval> pooled;     // the pooled rate, s^-1
  int molecules = 0;                  // reports with at least one record in the class
  int replicates = 0;                 // drawn; none for fewer than kLeastMoleculesForInterval molecules
  int failed = 0;                     // left out: an empty class, or a fit that did not finish
};

// The pooled rate of the class: with n a record's number of transitions and p its rate per
// frame, (sum of n) / (sum of n / p) / exposure over the class's records with n > 0 and p > 0:
// the maximum-likelihood rate of a population of one rate. Nothing when there is no such record.
std::optional<double> PooledRate(const TransitionRecords& records, const ClassRule& rule, double exposureTime);

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
                           const std::vector<std::size_t>& draws, double exposureTime);

// The pooled rate, the molecules, and the 95 % percentile intervals of both rates from
// `replicates` replicates of the molecules (`perMolecule` records each); no replicates and no
// intervals for fewer than kLeastMoleculesForInterval molecules. The random draws
// depend only on the class and the replicate's number, so the intervals are the same on every
// run, on any number of `threads` (0: as many as the machine runs at once).
ClassUncertainty EstimateUncertainty(const TransitionRecords& records, std::size_t perMolecule, const ClassRule& rule,
                                     double exposureTime, int replicates = kDefaultReplicates, int threads = 0);
