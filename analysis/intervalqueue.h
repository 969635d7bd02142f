// The intervals of fitted classes, computed on worker threads while the analysis goes on: one
// class after another, in the order they were asked for, each on all the machine's cores.
#pragma once

#include <condition_variable>
#include <stop_token>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "fit/bootstrap.h"

class IntervalQueue {
 public:
  // Which request an answer belongs to; every Add gets a new one.
  using Ticket = std::uint64_t;

  IntervalQueue() = default;
  // Stops what runs and waits for the worker to end.
  ~IntervalQueue();
  IntervalQueue(const IntervalQueue&) = delete;
  IntervalQueue& operator=(const IntervalQueue&) = delete;

  // Queues `task` (one with replicates); its answer comes under the ticket returned.
  Ticket Add(UncertaintyTask task);
  // The answer of `ticket` never comes: it is taken off the queue, or stopped if it runs.
  void Cancel(Ticket ticket);
  // Cancels every request.
  void CancelAll();

  struct Answer {
    Ticket ticket;
    ClassUncertainty uncertainty;
  };
  // The answers that have come since the last call, in the order they came; never waits.
  std::vector<Answer> Take();
  // Waits until no request is left or `stop` is requested; whether none is left.
  bool WaitUntilIdle(std::stop_token stop = {});

  // How far the queue is: the class being computed and its replicates, and the classes behind
  // it. Nothing when no request is left.
  struct Progress {
    ClassRule rule;
    int replicatesDone = 0;
    int replicates = 0;
    int waiting = 0;
  };
  std::optional<Progress> Now() const;

 private:
  struct Request {
    Ticket ticket;
    UncertaintyTask task;
  };
  void Work();

  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  std::deque<Request> waiting_;
  // The request the worker runs, with what it reports and how it is stopped.
  std::optional<Ticket> running_;
  ClassRule runningRule_;
  int runningReplicates_ = 0;
  std::shared_ptr<WorkProgress> control_;
  std::vector<Answer> answers_;
  Ticket last_ = 0;
  bool ending_ = false;
  std::thread worker_;  // started with the first request
};
