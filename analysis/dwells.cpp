// The dwell times of the lock's states, and the rate matrix they give.
#include <string>

#include "analysis/session.h"

Outcome Session::AnalyseDwells(const DwellOptions& options, WorkProgress* progress) {
  if (!Locked()) return Outcome::Refused("Lock cutoffs first.");
  if (dwells_.empty())
    return Outcome::Refused("The loaded reports have no dwells: dwell times need the \"" +
                            std::string(kDwellsFileName) +
                            "\" that an import of traces writes beside its reports. Import the traces again.");
  if (options.exponentials && (*options.exponentials < 1 || *options.exponentials > kMostExponentials))
    return Outcome::Refused("A dwell-time fit takes 1 to " + std::to_string(kMostExponentials) +
                            " exponentials, not " + std::to_string(*options.exponentials) + ".");
  // The lock's own states: its cutoffs stand in every rule it made.
  const Cutoffs& cutoffs = rules_[0][0].cutoffs;
  const StateDwells inStates = DwellsInStates(dwells_, lockedStates_, cutoffs);
  const int mostTerms = options.exponentials.value_or(kMostExponentials);
  DwellTimes times;
  times.states = lockedStates_;
  times.exposure = exposure_;
  times.options = options;
  for (int state = 0; state < lockedStates_; ++state)
    times.perState.push_back(AnalyseState(inStates, state, options.cut, mostTerms, options.exponentials.has_value()));
  std::optional<DwellRatesWithBasis> rates =
      DwellRateMatrixWithBasis(inStates, lockedStates_, options.cut, kDefaultReplicates, progress, 0, mostTerms,
                      options.exponentials.has_value());
  if (!rates) return Outcome::Refused("The dwell times were stopped; the last ones are kept.", Severity::Notice);
  times.rates = std::move(rates->rates);
  times.rows = std::move(rates->rows);
  dwellTimes_ = std::move(times);
  Outcome outcome;
  for (std::string& notice : PooledDwellDisagreements(Results(), DwellResults())) outcome.Notice(std::move(notice));
  return outcome;
}

std::vector<DwellResultRow> Session::DwellResults() const {
  std::vector<DwellResultRow> rows;
  if (!dwellTimes_ || dwellTimes_->states != states_) return rows;
  const DwellTimes& times = *dwellTimes_;
  for (const DwellRate& rate : times.rates) {
    DwellResultRow row;
    row.from = rate.from + 1;
    row.to = rate.to + 1;
    row.rate = rate.rate / times.exposure;
    if (rate.interval) row.interval = Interval{rate.interval->low / times.exposure, rate.interval->high / times.exposure};
    row.transitions = rate.transitions;
    row.molecules = times.perState[static_cast<std::size_t>(rate.from)].molecules;
    row.replicates = rate.replicates;
    row.exposureTime = times.exposure;
    row.flags = DwellRateFlags(times, rate);
    rows.push_back(std::move(row));
  }
  return rows;
}
