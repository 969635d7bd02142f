#include "app/windowtitle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

long long TransitionsOf(const TransitionRecords& records, int peaks) {
  if (peaks <= 0) return 0;
  const auto k = static_cast<std::size_t>(peaks);
  double sum = 0;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const std::size_t slot = r % (k * k);
    if (slot / k != slot % k && records[r].count > 0) sum += records[r].count;
  }
  // Far beyond any load the program can hold; keeps the conversion defined.
  constexpr double kMostTransitions = 1e18;
  return std::isfinite(sum) ? std::llround(std::min(sum, kMostTransitions)) : 0;
}

std::string LoadedTitle(std::size_t reports, long long transitions) {
  return "Varnel - " + WithThousands(static_cast<long long>(reports)) + (reports == 1 ? " report, " : " reports, ") +
         WithThousands(transitions) + (transitions == 1 ? " transition" : " transitions");
}
