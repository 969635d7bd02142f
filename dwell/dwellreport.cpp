#include "dwell/dwellreport.h"

#include <charconv>

namespace {

constexpr int kDigits = 6;

std::string Number(double value) {
  char text[40];
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, kDigits).ptr);
}

// The value of `--name value` or `--name=value` at `words[k]`, moving k past it; nothing when
// the word is not that option.
std::optional<std::string> OptionValue(const std::vector<std::string>& words, std::size_t& k, const std::string& name,
                                       std::string& error) {
  const std::string& word = words[k];
  if (word == name) {
    if (k + 1 >= words.size()) {
      error = name + " needs a value";
      return std::nullopt;
    }
    k += 2;
    return words[k - 1];
  }
  if (word.starts_with(name + "=")) {
    ++k;
    return word.substr(name.size() + 1);
  }
  return std::nullopt;
}

}  // namespace

std::optional<DwellOptions> ParseDwellOptions(const std::vector<std::string>& words, std::string& error) {
  DwellOptions options;
  for (std::size_t k = 0; k < words.size();) {
    error.clear();
    if (const auto value = OptionValue(words, k, "--exponentials", error)) {
      if (*value == "auto") {
        options.exponentials.reset();
        continue;
      }
      int count = 0;
      const auto [end, fault] = std::from_chars(value->data(), value->data() + value->size(), count);
      if (fault != std::errc() || end != value->data() + value->size() || count < 1 || count > kMostExponentials) {
        error = "--exponentials takes 1, 2, 3 or auto, not '" + *value + "'";
        return std::nullopt;
      }
      options.exponentials = count;
      continue;
    }
    if (!error.empty()) return std::nullopt;
    if (const auto value = OptionValue(words, k, "--cut", error)) {
      if (*value != "censor" && *value != "drop") {
        error = "--cut takes censor or drop, not '" + *value + "'";
        return std::nullopt;
      }
      options.cut = *value == "drop" ? CutDwells::kDrop : CutDwells::kCensor;
      continue;
    }
    if (!error.empty()) return std::nullopt;
    error = "'" + words[k] + "' is no option of dwell (--exponentials, --cut)";
    return std::nullopt;
  }
  return options;
}

std::string CutDwellsName(CutDwells cut) { return cut == CutDwells::kDrop ? "drop" : "censor"; }

std::vector<std::string> DwellFitColumns() {
  return {"state", "exponentials", "chosen", "term", "rate", "rate_low", "rate_high", "amplitude", "log_likelihood",
          "bic", "dwells", "censored", "left_out", "molecules", "cut", "note"};
}

std::vector<std::vector<std::string>> DwellFitRows(const DwellTimes& times, std::optional<int> state) {
  std::vector<std::vector<std::string>> rows;
  const auto perSecond = [&](double perFrame) { return Number(perFrame / times.exposure); };
  for (const StateDwellTimes& s : times.perState) {
    if (state && s.state != *state) continue;
    const std::string common[] = {std::to_string(s.dwells), std::to_string(s.cut), std::to_string(s.leftOut),
                                  std::to_string(s.molecules), CutDwellsName(times.options.cut)};
    if (s.fits.empty())
      rows.push_back({std::to_string(s.state + 1), "", "", "", "", "", "", "", "", "", common[0], common[1],
                      common[2], common[3], common[4], "no dwells in this state"});
    for (std::size_t f = 0; f < s.fits.size(); ++f) {
      const ExponentialFit& fit = s.fits[f];
      const std::string chosen = static_cast<int>(f) == s.chosen ? "yes" : "";
      const std::string terms = std::to_string(f + 1 + (times.options.exponentials ? *times.options.exponentials - 1 : 0));
      if (fit.terms.empty() || !fit.trouble.empty()) {
        rows.push_back({std::to_string(s.state + 1), terms, chosen, "", "", "", "", "", "", "", common[0],
                        common[1], common[2], common[3], common[4], fit.trouble.empty() ? "not fitted" : fit.trouble});
        continue;
      }
      for (std::size_t t = 0; t < fit.terms.size(); ++t) {
        const ExponentialTerm& term = fit.terms[t];
        rows.push_back({std::to_string(s.state + 1), std::to_string(fit.terms.size()), chosen, std::to_string(t + 1),
                        perSecond(term.rate), term.rateInterval ? perSecond(term.rateInterval->low) : "",
                        term.rateInterval ? perSecond(term.rateInterval->high) : "", Number(term.amplitude),
                        Number(fit.logLikelihood), Number(fit.bic), common[0], common[1], common[2], common[3],
                        common[4], fit.converged ? "" : "did not converge"});
      }
    }
  }
  return rows;
}

std::vector<std::string> DwellRateFlags(const DwellTimes& times, const DwellRate& rate) {
  std::vector<std::string> flags;
  const StateDwellTimes& from = times.perState[static_cast<std::size_t>(rate.from)];
  if (from.chosen < 0) flags.push_back("no fit of the state's dwells converged");
  if (from.molecules < kLeastMoleculesForInterval)
    flags.push_back("too few molecules for an interval (" + std::to_string(from.molecules) + " of at least " +
                    std::to_string(kLeastMoleculesForInterval) + ")");
  if (rate.replicates == 0 && from.molecules >= kLeastMoleculesForInterval) flags.push_back("no replicate gave an interval");
  if (static_cast<std::size_t>(rate.from) < times.rows.size())
    for (std::string& flag : DwellRowFlags(times.rows[static_cast<std::size_t>(rate.from)]))
      flags.push_back(std::move(flag));
  return flags;
}
