#include "analysis/intervalqueue.h"

#include <algorithm>
#include <utility>

IntervalQueue::~IntervalQueue() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    waiting_.clear();
    if (control_) control_->stop.request_stop();
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

IntervalQueue::Ticket IntervalQueue::Add(UncertaintyTask task) {
  Ticket ticket = 0;
  {
    std::lock_guard lock(mutex_);
    ticket = ++last_;
    waiting_.push_back({ticket, std::move(task)});
    if (!worker_.joinable()) worker_ = std::thread([this] { Work(); });
  }
  changed_.notify_all();
  return ticket;
}

void IntervalQueue::Cancel(Ticket ticket) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(waiting_, [&](const Request& r) { return r.ticket == ticket; });
    if (running_ == ticket && control_) control_->stop.request_stop();
    std::erase_if(answers_, [&](const Answer& a) { return a.ticket == ticket; });
  }
  changed_.notify_all();
}

void IntervalQueue::CancelAll() {
  {
    std::lock_guard lock(mutex_);
    waiting_.clear();
    if (running_ && control_) control_->stop.request_stop();
    answers_.clear();
  }
  changed_.notify_all();
}

std::vector<IntervalQueue::Answer> IntervalQueue::Take() {
  std::lock_guard lock(mutex_);
  return std::exchange(answers_, {});
}

bool IntervalQueue::WaitUntilIdle(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  return changed_.wait(lock, stop, [this] { return waiting_.empty() && !running_; });
}

std::optional<IntervalQueue::Progress> IntervalQueue::Now() const {
  std::lock_guard lock(mutex_);
  if (!running_ && waiting_.empty()) return std::nullopt;
  Progress progress;
  progress.waiting = static_cast<int>(waiting_.size());
  if (running_) {
    progress.rule = runningRule_;
    progress.replicates = runningReplicates_;
    progress.replicatesDone = static_cast<int>(control_->done.load(std::memory_order_relaxed));
  } else {
    // Between two requests: the next one, not yet begun.
    progress.rule = waiting_.front().task.Rule();
    progress.replicates = waiting_.front().task.Known().replicates;
    --progress.waiting;
  }
  return progress;
}

void IntervalQueue::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return ending_ || !waiting_.empty(); });
    if (ending_) return;
    Request request = std::move(waiting_.front());
    waiting_.pop_front();
    running_ = request.ticket;
    runningRule_ = request.task.Rule();
    runningReplicates_ = request.task.Known().replicates;
    control_ = std::make_shared<WorkProgress>();
    const std::shared_ptr<WorkProgress> control = control_;
    lock.unlock();
    std::optional<ClassUncertainty> answer = request.task.Run(0, control.get());
    lock.lock();
    // A request cancelled while it ran has no answer, even one that came before the stop did.
    if (answer && !control->StopRequested()) answers_.push_back({request.ticket, std::move(*answer)});
    running_.reset();
    control_.reset();
    changed_.notify_all();
  }
}
