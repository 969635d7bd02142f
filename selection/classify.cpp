// "Lock cutoffs": every record into the class of its states.
#include <string>

#include "app/varneldlg.h"
#include "res/resource.h"
#include "selection/classlists.h"
#include "selection/histograms.h"

std::vector<double>* CVarnelDlg::LockedClassList(int from, int to) {
  const int states = m_lockedStateCount;
  if (states == 0) {
    AfxMessageBox("Lock cutoffs first.");
    return nullptr;
  }
  if (from < 1 || to < 1 || from > states || to > states) {
    AfxMessageBox("Class " + std::to_string(from) + "->" + std::to_string(to) +
                  " is not among the classes of the last lock (" + std::to_string(states) +
                  " states). Lock cutoffs again.");
    return nullptr;
  }
  return &m_classLists[static_cast<std::size_t>((from - 1) * states + (to - 1))];
}

void CVarnelDlg::OnLockCutoffs() {
  if (FieldRefused(IDC_STATE_COUNT)) return;
  const int states = m_stateCount;
  if (states < 1 || states > kMaxStates) {
    AfxMessageBox("Enter the number of states first.");
    return;
  }
  std::optional<ClassLists> lists = ClassifyRecords(m_records, states, m_cutoffs, m_weightByCount != FALSE);
  if (!lists) {
    AfxMessageBox(TooManyTransitionsMessage());
    return;
  }

  m_cutoffsLocked = true;
  RedrawMap();

  m_classLists = std::move(*lists);
  m_lockedStateCount = states;
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j) m_classRules[i][j] = {i, j, states, m_cutoffs, m_weightByCount != FALSE, {}};
  PlaceDefaultCircles(m_circles, states);
  // Classes beyond this lock's table keep nothing of an earlier one: no histogram, no fit.
  for (int i = 0; i < kMaxStates; ++i)
    for (int j = 0; j < kMaxStates; ++j) {
      const bool inTable = i < states && j < states;
      StoreHistogram(i, j, HistogramOf(inTable ? m_classLists[static_cast<std::size_t>(i * states + j)]
                                               : std::vector<double>{}));
      if (!inTable) m_fitResults[i][j] = FitResult{};
    }

  m_shownFrom = 0;
  m_shownTo = 0;
  DrawPanel();
}
