// Work shared among threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

// How far a long operation on other threads is (`done` of `total` steps), and how it is asked to
// stop; read and written from any thread.
struct WorkProgress {
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> total{0};
  std::stop_source stop;

  bool StopRequested() const { return stop.stop_requested(); }
  void Step() { done.fetch_add(1, std::memory_order_relaxed); }
  // done / total, or nothing while the total is not known.
  std::optional<double> Share() const {
    const std::size_t all = total.load(std::memory_order_relaxed);
    if (all == 0) return std::nullopt;
    return static_cast<double>(done.load(std::memory_order_relaxed)) / static_cast<double>(all);
  }
};

// `requested` threads, or as many as the machine runs at once (at most 8) for 0.
inline int ThreadCount(int requested) {
  if (requested > 0) return std::min(requested, 64);
  const unsigned hardware = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(hardware, 1u, 8u));
}

// Runs body(t) for t = 0 ... threads - 1, each on its own thread (t = 0 on the caller's).
template <class Body>
void RunOnThreads(int threads, Body body) {
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<std::size_t>(std::max(threads - 1, 0)));
  for (int t = 1; t < threads; ++t) helpers.emplace_back(body, t);
  body(0);
  for (std::thread& h : helpers) h.join();
}

// Runs body(k) for k = 0 ... count - 1 on as many threads as the machine runs at once (no more
// than there are items), each thread taking the next k not yet taken, so that one long item
// holds up no other.
template <class Body>
void ForEachInParallel(std::size_t count, Body body) {
  std::atomic<std::size_t> next{0};
  const int threads = static_cast<int>(std::min<std::size_t>(ThreadCount(0), std::max<std::size_t>(count, 1)));
  RunOnThreads(threads, [&](int) {
    for (std::size_t k = next++; k < count; k = next++) body(k);
  });
}
