// The rate matrix of the lock's dwells, and of an idealisation's model: the rate constants
// behind the frame-to-frame counts.
#include <algorithm>
#include <cmath>
#include <string>

#include "analysis/session.h"
#include "selection/classlists.h"

namespace {

// The rates of `matrix` as rows of the results table, estimator `estimator`; C_ij rounded to a
// whole number where it holds expected counts.
std::vector<DwellResultRow> ResultRowsOf(const kinetics::RateMatrix& matrix, const std::string& estimator) {
  std::vector<DwellResultRow> rows;
  for (const kinetics::PathRate& rate : matrix.rates) {
    DwellResultRow row;
    row.estimator = estimator;
    row.from = rate.from + 1;
    row.to = rate.to + 1;
    row.rate = rate.rate;
    row.interval = rate.interval;
    row.upperLimit = rate.upperLimit;
    row.transitions = std::llround(rate.transitions);
    row.molecules = rate.molecules;
    row.replicates = rate.replicates;
    row.exposureTime = matrix.exposure;
    row.flags = kinetics::RateFlagPhrases(matrix, rate);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

Outcome Session::AnalyseRates(const std::vector<std::pair<int, int>>& paths, WorkProgress* progress) {
  if (!Locked()) return Outcome::Refused("Lock cutoffs first.");
  if (dwells_.empty())
    return Outcome::Refused("The loaded reports have no dwells: the rate matrix needs the \"" +
                            std::string(kDwellsFileName) +
                            "\" that an import of traces writes beside its reports. Import the traces again.");
  // The same states as the dwell times: the lock's cutoffs stand in every rule it made.
  const Cutoffs& cutoffs = rules_[0][0].cutoffs;
  const StateDwells inStates = DwellsInStates(dwells_, lockedStates_, cutoffs);
  std::vector<kinetics::FrameCounts> molecules;
  molecules.reserve(inStates.size());
  for (const std::vector<StateDwell>& molecule : inStates)
    molecules.push_back(kinetics::CountDwells(molecule, lockedStates_));
  kinetics::RateOptions options;
  options.exposure = exposure_;
  options.paths = paths;
  std::optional<kinetics::RateMatrix> matrix = kinetics::FitRateMatrix(molecules, options, progress);
  if (!matrix) return Outcome::Refused("The rate matrix was stopped; the last one is kept.", Severity::Notice);
  if (!matrix->trouble.empty()) return Outcome::Refused("No rate matrix: " + matrix->trouble);
  rateMatrix_ = std::move(*matrix);
  return {};
}

std::vector<DwellResultRow> Session::RateResults() const {
  std::vector<DwellResultRow> rows;
  if (rateMatrix_ && rateMatrix_->states == states_) rows = ResultRowsOf(*rateMatrix_, "rate-matrix");
  for (DwellResultRow& row : HmmRateResults()) rows.push_back(std::move(row));
  return rows;
}

std::vector<DwellResultRow> Session::HmmRateResults() const {
  if (!hmmRateMatrix_ || !hmmRateMatrix_->trouble.empty() || hmmRateFiles_.empty() || hmmRateFiles_ != files_)
    return {};
  return ResultRowsOf(*hmmRateMatrix_, "hmm-rate-matrix");
}

std::optional<SchemeData> Session::RateScheme() const {
  if (!rateMatrix_ || rateMatrix_->states != states_ || !Locked()) return std::nullopt;
  SchemeData scheme{*rateMatrix_, {}};
  const int states = rateMatrix_->states;
  const Cutoffs& cutoffs = rules_[0][0].cutoffs;
  // A state takes the values up to its cutoff that no earlier state took (StateOf).
  std::optional<double> below;
  std::vector<double> sums(static_cast<std::size_t>(states)), frames(static_cast<std::size_t>(states));
  for (int k = 0; k < states; ++k) {
    const double high = cutoffs[static_cast<std::size_t>(k)];
    scheme.states.push_back({below, high, std::nullopt});
    below = below ? std::max(*below, high) : high;
  }
  for (const MoleculeDwells& molecule : dwells_)
    for (const LevelDwell& dwell : molecule.dwells)
      if (const std::optional<int> state = StateOf(dwell.level, states, cutoffs); state && dwell.frames > 0) {
        const auto k = static_cast<std::size_t>(*state);
        sums[k] += dwell.level * static_cast<double>(dwell.frames);
        frames[k] += static_cast<double>(dwell.frames);
      }
  for (std::size_t k = 0; k < scheme.states.size(); ++k)
    if (frames[k] > 0 && std::isfinite(sums[k])) scheme.states[k].level = sums[k] / frames[k];
  return scheme;
}
