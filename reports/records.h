// The transition records of one load: five numbers per record, held as five parallel columns
// of one length that are only ever replaced together.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <vector>

struct TransitionRecord {
  double initial = 0;  // the value before the transition, on [0, 1]
  double final = 0;    // the value after it
  double rate = 0;     // rate per frame
  double spare = 0;    // kept as read; no analysis uses it
  double count = 0;    // number of transitions the record stands for: its weight, 0 to leave it out
};

class TransitionRecords {
 public:
  TransitionRecords() = default;
  // `size` records of all zeros (a zero weight takes part in nothing).
  explicit TransitionRecords(std::size_t size);
  TransitionRecords(std::initializer_list<TransitionRecord> records);
  explicit TransitionRecords(std::span<const TransitionRecord> records);

  std::size_t size() const { return initial_.size(); }
  bool empty() const { return initial_.empty(); }

  TransitionRecord operator[](std::size_t r) const {
    return {initial_[r], final_[r], rate_[r], spare_[r], count_[r]};
  }
  // Record `r` must exist. Distinct records may be set from distinct threads.
  void Set(std::size_t r, const TransitionRecord& record);
  void push_back(const TransitionRecord& record);

  // The columns, record r at index r.
  std::span<const double> InitialValues() const { return initial_; }
  std::span<const double> FinalValues() const { return final_; }
  std::span<const double> FrameRates() const { return rate_; }
  std::span<const double> SpareValues() const { return spare_; }
  std::span<const double> TransitionCounts() const { return count_; }

  friend bool operator==(const TransitionRecords&, const TransitionRecords&) = default;

 private:
  std::vector<double> initial_;
  std::vector<double> final_;
  std::vector<double> rate_;
  std::vector<double> spare_;
  std::vector<double> count_;
};
