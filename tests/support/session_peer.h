// What a test may set in a session that no operation sets alone: a class's list, histogram and
// fit, as if a lock, a circle or a fit had left them so; cutoffs, circles and colours as no
// operation would take them (outside the map, say), to show that drawing them stays safe.
#pragma once

#include <cstddef>
#include <optional>
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
  // The fit of class [from][to], 0-based.
  static std::optional<ClassFit>& Fit(Session& session, int from, int to) {
    return session.fits_.at(static_cast<std::size_t>(from)).at(static_cast<std::size_t>(to));
  }
  static void SetStates(Session& session, int states) { session.states_ = states; }
  static Cutoffs& CutoffSlots(Session& session) { return session.cutoffs_; }
  static CircleTable& Circles(Session& session) { return session.circles_; }
  static ColorTable& Colours(Session& session) { return session.colours_; }
  // Locked for `states` states, with no class lists: enough for what the map draws.
  static void SetLocked(Session& session, int states) { session.lockedStates_ = states; }
};
