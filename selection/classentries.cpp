#include "selection/classentries.h"

#include <cmath>


std::string TooManyEntriesMessage() {
  return "Too many transitions: the class lists would hold more than " +
         std::to_string(static_cast<long long>(kMaxClassEntries)) + " entries.";
}

double ClassEntriesOf(double weight, bool weighted) {
  if (!(weight > 0.0)) return 0.0;
  return weighted ? std::ceil(weight) : 1.0;
}

void AppendEntries(std::vector<double>& list, double rate, double entries) {
  if (!(entries >= 1.0 && entries <= kMaxClassEntries)) return;
  list.insert(list.end(), static_cast<std::size_t>(entries), rate);
}
