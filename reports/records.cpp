#include "reports/records.h"

TransitionRecords::TransitionRecords(std::size_t size)
    : initial_(size, 0.0), final_(size, 0.0), rate_(size, 0.0), spare_(size, 0.0), count_(size, 0.0) {}

TransitionRecords::TransitionRecords(std::initializer_list<TransitionRecord> records)
    : TransitionRecords(std::span<const TransitionRecord>(records.begin(), records.size())) {}

TransitionRecords::TransitionRecords(std::span<const TransitionRecord> records) : TransitionRecords(records.size()) {
  for (std::size_t r = 0; r < records.size(); ++r) Set(r, records[r]);
}

void TransitionRecords::Set(std::size_t r, const TransitionRecord& record) {
  initial_[r] = record.initial;
  final_[r] = record.final;
  rate_[r] = record.rate;
  spare_[r] = record.spare;
  count_[r] = record.count;
}

void TransitionRecords::push_back(const TransitionRecord& record) {
  initial_.push_back(record.initial);
  final_.push_back(record.final);
  rate_.push_back(record.rate);
  spare_.push_back(record.spare);
  count_.push_back(record.count);
}
