// The session's settings, its states and cutoffs, the lock and the circles.
#include "analysis/session.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>

#include "analysis/fields.h"

namespace {

// A number of transitions as the window's edits show numbers.
std::string CountText(double count) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", count);
  return text;
}

}  // namespace

Session::Session() : colours_(DefaultColorTable()), intervals_(std::make_unique<IntervalQueue>()) {}
Session::~Session() = default;
Session::Session(Session&&) noexcept = default;
Session& Session::operator=(Session&&) noexcept = default;

Outcome Session::SetExposure(double seconds) {
  if (!FieldTakes(Field::Exposure, seconds)) return Outcome::Refused(FieldRuleText(Field::Exposure));
  exposure_ = seconds;
  return {};
}

Outcome Session::SetPeaks(int peaks) {
  if (!FieldTakes(Field::Peaks, peaks)) return Outcome::Refused(FieldRuleText(Field::Peaks));
  peaks_ = peaks;
  return {};
}

Outcome Session::SetStates(int states) {
  if (!FieldTakes(Field::States, states)) return Outcome::Refused(FieldRuleText(Field::States));
  states_ = states;
  for (int k = 0; k <= states - 2; ++k) cutoffs_[static_cast<std::size_t>(k)] = (1.0 / states) * (k + 1);
  cutoffs_[static_cast<std::size_t>(states - 1)] = 1.0;
  return {};
}

double Session::SetCutoff(int slot, double value) {
  // Cutoffs live on the value axis [0, 1]; anything else (a non-number too) is pulled back in.
  if (!(value > 0.0)) value = 0.0;
  if (value > 1.0) value = 1.0;
  if (slot >= 0 && slot < kMaxStates) cutoffs_[static_cast<std::size_t>(slot)] = value;
  return value;
}

Outcome Session::SetCutoffs(std::span<const double> values) {
  if (states_ < 1) return Outcome::Refused("Enter the number of states first.");
  const auto wanted = static_cast<std::size_t>(states_ - 1);
  if (values.size() != wanted)
    return Outcome::Refused(std::to_string(states_) + " states have " + std::to_string(wanted) + " cutoffs (" +
                            std::to_string(values.size()) + " given): the upper bounds of states 1 to " +
                            std::to_string(states_ - 1) + ".");
  // A non-number is no place on the value axis: refused, not pulled to 0.
  for (std::size_t k = 0; k < values.size(); ++k)
    if (std::isnan(values[k]))
      return Outcome::Refused("Cutoff " + std::to_string(k + 1) + " is not a number: " + FieldRuleText(Field::Cutoff));
  for (std::size_t k = 0; k < values.size(); ++k) SetCutoff(static_cast<int>(k), values[k]);
  return {};
}

void Session::ClearResults() {
  lockedStates_ = 0;
  dwellTimes_.reset();
  rateMatrix_.reset();
  classLists_.clear();
  for (auto& row : histograms_) row.fill(ClassHistogram{});
  for (std::size_t i = 0; i < kMaxStates; ++i)
    for (std::size_t j = 0; j < kMaxStates; ++j) ForgetFit(i, j);
}

void Session::ForgetFit(std::size_t i, std::size_t j) {
  fits_[i][j].reset();
  CancelInterval(i, j);
}

void Session::CancelInterval(std::size_t i, std::size_t j) {
  if (const std::optional<IntervalQueue::Ticket> ticket = std::exchange(intervalTickets_[i][j], std::nullopt))
    intervals_->Cancel(*ticket);
}

std::size_t Session::RecordsPerMolecule() const { return files_.empty() ? 0 : records_.size() / files_.size(); }

std::string Session::TooManyTransitionsMessage() const {
  std::string text = TooManyEntriesMessage();
  std::size_t largest = 0;
  for (std::size_t r = 1; r < records_.size(); ++r)
    if (records_[r].count > records_[largest].count) largest = r;
  if (!records_.empty() && !files_.empty() && records_.size() % files_.size() == 0)
    text += " The largest number of transitions, " + CountText(records_[largest].count) + ", is in \"" +
            files_[largest / RecordsPerMolecule()] + "\".";
  if (weighted_) text += " Untick \"Weight by # transitions\" to count every record once.";
  return text;
}

Outcome Session::Lock() {
  const int states = states_;
  if (states < 1 || states > kMaxStates) return Outcome::Refused("Enter the number of states first.");
  std::optional<ClassLists> lists = ClassifyRecords(records_, states, cutoffs_, weighted_);
  if (!lists) return Outcome::Refused(TooManyTransitionsMessage());

  classLists_ = std::move(*lists);
  lockedStates_ = states;
  dwellTimes_.reset();  // the dwells' states were the last lock's
  rateMatrix_.reset();
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j)
      rules_[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = {i, j, states, cutoffs_, weighted_, {}};
  PlaceDefaultCircles(circles_, states);
  // Classes beyond this lock's table keep nothing of an earlier one: no histogram, no fit.
  for (int i = 0; i < kMaxStates; ++i)
    for (int j = 0; j < kMaxStates; ++j) {
      const bool inTable = i < states && j < states;
      const auto [a, b] = std::pair{static_cast<std::size_t>(i), static_cast<std::size_t>(j)};
      histograms_[a][b] = HistogramOf(inTable ? classLists_[static_cast<std::size_t>(i * states + j)]
                                              : std::vector<double>{});
      if (!inTable) ForgetFit(a, b);
    }
  return {};
}

Outcome Session::CheckLockedClass(int from, int to) const {
  const int states = lockedStates_;
  if (states == 0) return Outcome::Refused("Lock cutoffs first.");
  if (from < 1 || to < 1 || from > states || to > states)
    return Outcome::Refused("Class " + ClassName(from, to) + " is not among the classes of the last lock (" +
                            std::to_string(states) + " states). Lock cutoffs again.");
  return {};
}

const std::vector<double>* Session::ClassList(int from, int to) const {
  if (!CheckLockedClass(from, to).done) return nullptr;
  return &classLists_[static_cast<std::size_t>((from - 1) * lockedStates_ + (to - 1))];
}

const ClassHistogram& Session::Histogram(int from, int to) const {
  return histograms_[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)];
}

namespace {

// One map cell up or down; the circle is not held inside the map (the drawing skips whatever
// lies outside it), only kept clear of integer overflow.
void StepBy(std::int32_t& value, int step) {
  if (step > 0 && value == std::numeric_limits<std::int32_t>::max()) return;
  if (step < 0 && value == std::numeric_limits<std::int32_t>::min()) return;
  value += step;
}

}  // namespace

Outcome Session::MoveCircle(int from, int to, CircleField field, int step) {
  // A circle belongs to a class of the last lock, like the class "Set Circle" rebuilds from it.
  if (Outcome check = CheckLockedClass(from, to); !check.done) return check;
  SelectionCircle& circle = circles_[from - 1][to - 1];
  circle.visible = true;
  StepBy(circle.*field, step);
  return {};
}

Outcome Session::PlaceCircle(int from, int to, int row, int col, int radius) {
  if (Outcome check = CheckLockedClass(from, to); !check.done) return check;
  circles_[from - 1][to - 1] = {true, row, col, radius};
  return {};
}

Outcome Session::SetCircle(int from, int to) {
  if (Outcome check = CheckLockedClass(from, to); !check.done) return check;
  const auto i = static_cast<std::size_t>(from - 1), j = static_cast<std::size_t>(to - 1);
  ClassRule rule = rules_[i][j];
  rule.weighted = weighted_;
  rule.circle = circles_[i][j];
  std::optional<std::vector<double>> inside = ClassListOf(records_, rule);
  if (!inside) return Outcome::Refused(TooManyTransitionsMessage());
  std::vector<double>& list = classLists_[static_cast<std::size_t>((from - 1) * lockedStates_ + (to - 1))];
  list = std::move(*inside);
  rules_[i][j] = rule;
  histograms_[i][j] = HistogramOf(list);
  return {};
}
