#include "selection/classentries.h"

#include <algorithm>
#include <cmath>

#include "app/varneldlg.h"

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

std::size_t UsableRecords(const CVarnelDlg& dlg) {
  return std::min({static_cast<std::size_t>(std::max(dlg.m_recordCount, 0)), dlg.m_initialValues.size(),
                   dlg.m_finalValues.size(), dlg.m_frameRates.size(), dlg.m_transitionCounts.size()});
}
