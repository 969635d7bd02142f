// What a test may set in a session that no operation sets alone: a class's list and histogram,
// as if a lock or a circle had left them so.
#pragma once

#include <cstddef>
#include <vector>

#include "analysis/session.h"

struct SessionTestPeer {
  // The list of class from->to (1-based) of the lock.
  static std::vector<double>& List(Session& session, int from, int to) {
    return session.classLists_.at(static_cast<std::size_t>((from - 1) * session.lockedStates_ + (to - 1)));
  }
  // The histogram of class [from][to], 0-based.
  static ClassHistogram& Histogram(Session& session, int from, int to) {
    return session.histograms_.at(static_cast<std::size_t>(from)).at(static_cast<std::size_t>(to));
  }
};
