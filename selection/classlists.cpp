#include "selection/classlists.h"

#include <cmath>

namespace {

struct RecordClass {
  int from;
  int to;
};

// The class of a record, or none when the record takes no part (weight not above 0, or a
// value without a state).
std::optional<RecordClass> ClassOf(const TransitionRecord& record, int states, const Cutoffs& cutoffs) {
  if (!(record.count > 0.0)) return std::nullopt;
  const auto from = StateOf(record.initial, states, cutoffs);
  const auto to = StateOf(record.final, states, cutoffs);
  if (!from || !to) return std::nullopt;
  return RecordClass{*from, *to};
}

// Appends `rate` `entries` times; `entries` comes from ClassEntriesOf and lies within the limit.
void AppendEntries(std::vector<double>& list, double rate, double entries) {
  if (!(entries >= 1.0 && entries <= kMaxClassEntries)) return;
  list.insert(list.end(), static_cast<std::size_t>(entries), rate);
}

}  // namespace

std::string ClassName(int from, int to) { return std::to_string(from) + "->" + std::to_string(to); }

std::string TooManyEntriesMessage() {
  return "Too many transitions: the class lists would hold more than " +
         std::to_string(static_cast<long long>(kMaxClassEntries)) + " entries.";
}

double ClassEntriesOf(double weight, bool weighted) {
  if (!(weight > 0.0)) return 0.0;
  return weighted ? std::ceil(weight) : 1.0;
}

std::optional<int> StateOf(double value, int states, const Cutoffs& cutoffs) {
  if (std::isnan(value)) return std::nullopt;
  for (int k = 0; k < states; ++k)
    if (!(value > cutoffs[static_cast<std::size_t>(k)])) return k;
  return std::nullopt;
}

std::optional<ClassLists> ClassifyRecords(const TransitionRecords& records, int states, const Cutoffs& cutoffs,
                                          bool weighted) {
  // Counted first, in double so that no weight can overflow the count.
  double entries = 0.0;
  for (std::size_t r = 0; r < records.size(); ++r)
    if (ClassOf(records[r], states, cutoffs)) entries += ClassEntriesOf(records[r].count, weighted);
  if (entries > kMaxClassEntries) return std::nullopt;

  ClassLists lists(static_cast<std::size_t>(states) * static_cast<std::size_t>(states));
  for (std::size_t r = 0; r < records.size(); ++r) {
    const TransitionRecord record = records[r];
    const auto cls = ClassOf(record, states, cutoffs);
    if (!cls) continue;
    AppendEntries(lists[static_cast<std::size_t>(cls->from * states + cls->to)], record.rate,
                  ClassEntriesOf(record.count, weighted));
  }
  return lists;
}

bool InsideCircle(const TransitionRecord& record, const SelectionCircle& circle) {
  const double y0 = circle.row / static_cast<double>(kCellsPerUnit);
  const double x0 = circle.col / static_cast<double>(kCellsPerUnit);
  const double r = circle.radius / static_cast<double>(kCellsPerUnit);
  const double d = std::sqrt((record.initial - y0) * (record.initial - y0) + (record.final - x0) * (record.final - x0));
  return d <= r;
}

bool InClass(const TransitionRecord& record, const ClassRule& rule) {
  if (!(record.count > 0.0)) return false;
  if (rule.circle) return InsideCircle(record, *rule.circle);
  const auto cls = ClassOf(record, rule.states, rule.cutoffs);
  return cls && cls->from == rule.from && cls->to == rule.to;
}

std::optional<std::vector<double>> ClassListOf(const TransitionRecords& records, const ClassRule& rule) {
  const auto entriesOf = [&](const TransitionRecord& record) {
    return InClass(record, rule) ? ClassEntriesOf(record.count, rule.weighted) : 0.0;
  };
  double entries = 0.0;
  for (std::size_t r = 0; r < records.size(); ++r) entries += entriesOf(records[r]);
  if (entries > kMaxClassEntries) return std::nullopt;

  std::vector<double> list;
  for (std::size_t r = 0; r < records.size(); ++r) AppendEntries(list, records[r].rate, entriesOf(records[r]));
  return list;
}

void PlaceDefaultCircles(CircleTable& circles, int states) {
  const int b = kCellsPerUnit / states;
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j) {
      SelectionCircle& circle = circles[i][j];
      circle.row = i * b + b / 2;
      circle.col = j * b + b / 2;
      circle.radius = 10;
    }
}
