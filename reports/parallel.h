// Work shared among threads.
#pragma once

#include <algorithm>
#include <thread>
#include <vector>

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
