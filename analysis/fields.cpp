#include "analysis/fields.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "domain/analysis_types.h"

namespace {

constexpr FieldRule kRules[] = {
    {Field::Exposure, "Exposure time (s)", kLeastExposure, kMostExposure, false, "0.05", nullptr},
    {Field::States, "Number of states", 1, kMaxStates, true, nullptr, nullptr},
    {Field::Cutoff, "Cutoff", 0, 1, false, "0.5", nullptr},
    {Field::Peaks, "Peaks in report", 0, kMaxPeaks, true, nullptr, nullptr},
    {Field::ImportPeaks, "Peaks in report", 1, kMaxPeaks, true, nullptr, "to import traces"},
};

// Row k describes field k: the table can be indexed by the enum.
constexpr bool InEnumOrder() {
  for (std::size_t k = 0; k < std::size(kRules); ++k)
    if (static_cast<std::size_t>(kRules[k].field) != k) return false;
  return true;
}
static_assert(InEnumOrder());

// The shortest text of a limit, its exponent without a leading zero: "1e-9", "0", "1000".
std::string LimitText(double value) {
  char text[32];
  std::string s(text, std::to_chars(text, text + sizeof text, value).ptr);
  if (const auto e = s.find("e-0"); e != std::string::npos) s.erase(e + 2, 1);
  return s;
}

}  // namespace

const FieldRule& RuleOf(Field field) { return kRules[static_cast<std::size_t>(field)]; }

bool FieldTakes(Field field, double value) {
  const FieldRule& rule = RuleOf(field);
  // A comparison with a non-number is false: no field takes one.
  return value >= rule.least && value <= rule.most && (!rule.whole || std::floor(value) == value);
}

std::string FieldRuleText(Field field) {
  const FieldRule& rule = RuleOf(field);
  std::string text = std::string(rule.label) + ": enter " + (rule.whole ? "a whole number" : "a number");
  text += std::isinf(rule.most) ? " of at least " + LimitText(rule.least)
                                : " from " + LimitText(rule.least) + " to " + LimitText(rule.most);
  if (rule.purpose) text += std::string(" ") + rule.purpose;
  if (rule.example) text += std::string(", for example ") + rule.example;
  return text + ".";
}
