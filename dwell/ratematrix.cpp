#include "dwell/ratematrix.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>

#include "dwell/dwelltimes.h"
#include "dwell/exponentials.h"
#include "fit/random.h"

namespace {

// The seed of every replicate of the rate matrix: state i's replicate b draws from
// mt19937_64(SplitMix64(SplitMix64(kSeed ^ SplitMix64(i)) + b)), as a class's replicates do in
// the class bootstrap, so a replicate's molecules depend on its state and number alone.
constexpr std::uint64_t kSeed = 0x6477656c6c2d6b69;  // "dwell-ki"

// What one molecule adds to one state's row: its dwells of the state (each an index into the
// state's distinct lengths, whole or cut) and its exits, n_ij over j.
struct MoleculeRow {
  std::vector<std::pair<std::size_t, bool>> dwells;
  std::vector<std::int64_t> exits;
};

// One state's row of the matrix, gathered in one pass.
struct Row {
  int state = 0;
  int terms = 0;                      // of the chosen fit; 0 for none
  dwell::MixtureFit chosen;           // the warm start of every replicate's fit
  std::vector<std::int64_t> lengths;  // distinct, increasing
  std::vector<MoleculeRow> molecules; // those with a dwell of the state
  std::vector<std::int64_t> exits;    // n_ij of all molecules
  std::int64_t left = 0;              // n_i
  double rate = 0;                    // k_i
  DwellRowBasis basis;
};

Row RowOf(const StateDwells& dwells, int state, int states, CutDwells cut, int mostTerms, bool exactly,
          double slowest) {
  Row row;
  row.state = state;
  row.exits.assign(static_cast<std::size_t>(states), 0);
  const StateDwellTimes times = dwell::AnalyseStateFits(dwells, state, cut, mostTerms, exactly, false);
  std::vector<std::int64_t> lengths;
  for (const std::vector<StateDwell>& molecule : dwells)
    for (const StateDwell& dwell : molecule)
      if (dwell.state == state) lengths.push_back(std::max<std::int64_t>(dwell.frames, 1));
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  row.lengths = lengths;
  for (const std::vector<StateDwell>& molecule : dwells) {
    MoleculeRow part;
    part.exits.assign(static_cast<std::size_t>(states), 0);
    bool any = false;
    for (const StateDwell& dwell : molecule) {
      if (dwell.state != state) continue;
      any = true;
      if (dwell.next >= 0 && dwell.next < states && dwell.next != state) {
        ++part.exits[static_cast<std::size_t>(dwell.next)];
        ++row.exits[static_cast<std::size_t>(dwell.next)];
        ++row.left;
      }
      const dwell::Entry entry = dwell::EntryOf(dwell, cut);
      if (entry == dwell::Entry::kLeftOut) continue;
      const bool isCut = entry == dwell::Entry::kCensored;
      const auto k = static_cast<std::size_t>(
          std::lower_bound(lengths.begin(), lengths.end(), std::max<std::int64_t>(dwell.frames, 1)) - lengths.begin());
      part.dwells.emplace_back(k, isCut);
    }
    if (any) row.molecules.push_back(std::move(part));
  }
  // BIC's choice among the fits whose terms the data can show: never a term at the fit's bound,
  // nor, among several, one slower than one exit over the longest trace.
  const dwell::BicChoice choice = dwell::ChooseFit(times.fits, slowest);
  row.basis = {state, choice.chosen, slowest, choice.passedOver, false};
  if (choice.best >= 0)
    for (const ExponentialTerm& term : times.fits[static_cast<std::size_t>(choice.best)].terms)
      row.basis.atBound = row.basis.atBound || dwell::AtFitBound(term);
  if (choice.chosen >= 0) {
    const ExponentialFit& fit = times.fits[static_cast<std::size_t>(choice.chosen)];
    row.terms = static_cast<int>(fit.terms.size());
    row.rate = fit.MeanRate();
    for (const ExponentialTerm& term : fit.terms) {
      row.chosen.mixture.amplitude.push_back(term.amplitude);
      row.chosen.mixture.chance.push_back(dwell::ChanceOfRate(term.rate));
    }
  }
  return row;
}

// Replicate b of the row: k_i n_ij / n_i of the drawn molecules for every j (NaN where the
// replicate gives none: no exit, or a fit it cannot make).
std::vector<double> ReplicateOfRow(const Row& row, int replicate) {
  const std::size_t states = row.exits.size();
  std::vector<double> rates(states, std::numeric_limits<double>::quiet_NaN());
  const std::uint64_t rowSeed = SplitMix64(kSeed ^ SplitMix64(static_cast<std::uint64_t>(row.state)));
  std::mt19937_64 random(SplitMix64(rowSeed + static_cast<std::uint64_t>(replicate)));
  const UniformIndex below(row.molecules.size());
  dwell::LengthCounts counts;
  counts.length = row.lengths;
  counts.whole.assign(row.lengths.size(), 0.0);
  counts.cut.assign(row.lengths.size(), 0.0);
  std::vector<std::int64_t> exits(states, 0);
  std::int64_t left = 0;
  for (std::size_t m = 0; m < row.molecules.size(); ++m) {
    const MoleculeRow& drawn = row.molecules[below(random)];
    for (const auto& [k, isCut] : drawn.dwells) (isCut ? counts.cut : counts.whole)[k] += 1.0;
    for (std::size_t j = 0; j < states; ++j) {
      exits[j] += drawn.exits[j];
      left += drawn.exits[j];
    }
  }
  if (left == 0 || !dwell::FitTrouble(counts, row.terms).empty()) return rates;
  // The replicate's fit of the chosen number of terms, from the fit of all molecules: the
  // replicate's maximum lies near it, and EM from there needs the fewest iterations.
  const dwell::MixtureFit fit =
      row.terms == 1 ? dwell::FitMixture(counts, 1) : dwell::RunEm(counts, row.chosen.mixture);
  if (!fit.converged) return rates;
  const double rate = dwell::ToExponentialFit(fit, counts.Whole() + counts.Cut()).MeanRate();
  for (std::size_t j = 0; j < states; ++j)
    rates[j] = rate * static_cast<double>(exits[j]) / static_cast<double>(left);
  return rates;
}

}  // namespace

std::optional<std::vector<DwellRate>> DwellRateMatrix(const StateDwells& dwells, int states, CutDwells cut,
                                                      int replicates, WorkProgress* progress, int threads,
                                                      int mostTerms, bool exactly) {
  std::optional<DwellRatesWithBasis> matrix =
      DwellRateMatrixWithBasis(dwells, states, cut, replicates, progress, threads, mostTerms, exactly);
  if (!matrix) return std::nullopt;
  return std::move(matrix->rates);
}

std::vector<std::string> DwellRowFlags(const DwellRowBasis& row) {
  std::vector<std::string> flags;
  if (row.atBound && row.chosen < 0)
    flags.push_back("the state's dwells give a rate on the fit's bound alone: no rates");
  else if (row.atBound)
    flags.push_back("the best fit had a rate on the fit's bound: these rates are a simpler fit's");
  else if (row.passedOver)
    flags.push_back("the best fit had a term slower than one exit over the longest trace: these rates are a "
                    "simpler fit's, slowed by long cut dwells");
  return flags;
}

std::optional<DwellRatesWithBasis> DwellRateMatrixWithBasis(const StateDwells& dwells, int states, CutDwells cut,
                                                            int replicates, WorkProgress* progress, int threads,
                                                            int mostTerms, bool exactly) {
  states = std::clamp(states, 0, kMaxStates);
  replicates = std::max(replicates, 0);
  const double slowest = dwell::SlowestShowableRate(dwells);
  std::vector<Row> rows;
  for (int i = 0; i < states; ++i) rows.push_back(RowOf(dwells, i, states, cut, mostTerms, exactly, slowest));
  if (progress && progress->StopRequested()) return std::nullopt;

  // The rows that get intervals, and their replicates as jobs row x replicate.
  std::vector<std::size_t> sampled;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].terms > 0 && rows[i].left > 0 &&
        rows[i].molecules.size() >= static_cast<std::size_t>(kLeastMoleculesForInterval))
      sampled.push_back(i);
  const std::size_t jobs = sampled.size() * static_cast<std::size_t>(replicates);
  if (progress) progress->total.fetch_add(jobs, std::memory_order_relaxed);
  std::vector<std::vector<double>> drawn(jobs);
  const int used = static_cast<int>(std::min<std::size_t>(ThreadCount(threads), std::max<std::size_t>(jobs, 1)));
  auto stopped = [&] { return progress && progress->StopRequested(); };
  RunOnThreads(used, [&](int t) {
    for (std::size_t job = static_cast<std::size_t>(t); job < jobs && !stopped(); job += static_cast<std::size_t>(used)) {
      const std::size_t r = job / static_cast<std::size_t>(replicates);
      drawn[job] = ReplicateOfRow(rows[sampled[r]], static_cast<int>(job % static_cast<std::size_t>(replicates)));
      if (progress) progress->Step();
    }
  });
  if (stopped()) return std::nullopt;

  DwellRatesWithBasis result;
  for (const Row& row : rows) result.rows.push_back(row.basis);
  std::vector<DwellRate>& matrix = result.rates;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    if (row.terms == 0 || row.left == 0) continue;
    const auto where = std::find(sampled.begin(), sampled.end(), i);
    for (int j = 0; j < states; ++j) {
      const std::int64_t transitions = row.exits[static_cast<std::size_t>(j)];
      if (j == row.state || transitions == 0) continue;
      DwellRate rate;
      rate.from = row.state;
      rate.to = j;
      rate.transitions = transitions;
      rate.exits = row.left;
      rate.rate = row.rate * static_cast<double>(transitions) / static_cast<double>(row.left);
      if (where != sampled.end()) {
        const std::size_t first = static_cast<std::size_t>(where - sampled.begin()) * static_cast<std::size_t>(replicates);
        std::vector<double> values;
        for (int b = 0; b < replicates; ++b) {
          const double value = drawn[first + static_cast<std::size_t>(b)][static_cast<std::size_t>(j)];
          if (!std::isnan(value)) values.push_back(value);
        }
        rate.replicates = static_cast<int>(values.size());
        rate.interval = PercentileInterval(std::move(values));
      }
      matrix.push_back(rate);
    }
  }
  return result;
}
