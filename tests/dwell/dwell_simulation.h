// Dwells of known laws for the dwell-time tests, drawn with the program's own random source so
// that every build draws alike.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dwell/dwelltimes.h"

namespace dwelltest {

// A number in (0, 1]: the top 53 bits of the engine, plus one, over 2^53.
inline double Uniform(std::mt19937_64& random) {
  return (static_cast<double>(random() >> 11) + 1.0) * 0x1.0p-53;
}

// A geometric length: l frames with the chance (1 - p)^(l - 1) p.
inline std::int64_t GeometricLength(std::mt19937_64& random, double p) {
  return 1 + static_cast<std::int64_t>(std::floor(std::log(Uniform(random)) / std::log1p(-p)));
}

// One term of a state's law: share `amplitude` of its dwells last GeometricLength(p).
struct Term {
  double amplitude;
  double p;
};

inline std::int64_t MixtureLength(std::mt19937_64& random, const std::vector<Term>& law) {
  double u = Uniform(random);
  for (const Term& term : law) {
    if (u <= term.amplitude) return GeometricLength(random, term.p);
    u -= term.amplitude;
  }
  return GeometricLength(random, law.back().p);
}

// `molecules` traces of `window` frames that alternate between state 0 (law `first`) and
// state 1 (law `second`), starting fresh in state 0 at frame 1: the trace's end cuts its last
// dwell, which is cut to the frames left in the window.
inline StateDwells AlternatingTraces(std::uint64_t seed, int molecules, std::int64_t window,
                                     const std::vector<Term>& first, const std::vector<Term>& second) {
  std::mt19937_64 random(seed);
  StateDwells all;
  for (int m = 0; m < molecules; ++m) {
    std::vector<StateDwell> trace;
    std::int64_t used = 0;
    int state = 0;
    while (used < window) {
      const std::int64_t length = MixtureLength(random, state == 0 ? first : second);
      StateDwell dwell{state, length, false, false, 1 - state};
      if (used + length >= window) {
        dwell.frames = window - used;
        dwell.cutAtEnd = true;
        dwell.next = -1;
      }
      used += dwell.frames;
      trace.push_back(dwell);
      state = 1 - state;
    }
    all.push_back(trace);
  }
  return all;
}

}  // namespace dwelltest
