// "Lock cutoffs": sorting every record into its class.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "app/varneldlg.h"
#include "selection/classentries.h"
#include "selection/histograms.h"

namespace {

// The state of a value: the first slot, in slot order, whose cutoff is not below it (each
// cutoff is the inclusive upper bound of its state, and the cutoffs need not be sorted).
// A value above every cutoff, or one that is no number, has no state.
std::optional<int> StateOf(double value, int states, const std::array<double, kMaxStates>& cutoffs) {
  if (std::isnan(value)) return std::nullopt;
  for (int k = 0; k < states; ++k)
    if (!(value > cutoffs[static_cast<std::size_t>(k)])) return k;
  return std::nullopt;
}

struct RecordClass {
  int from;
  int to;
};

// The class of record r, or none when the record takes no part (weight not above 0, or a
// value without a state).
std::optional<RecordClass> ClassOf(const CVarnelDlg& dlg, std::size_t r, int states) {
  if (!(dlg.m_transitionCounts[r] > 0.0)) return std::nullopt;
  const auto from = StateOf(dlg.m_initialValues[r], states, dlg.m_cutoffs);
  const auto to = StateOf(dlg.m_finalValues[r], states, dlg.m_cutoffs);
  if (!from || !to) return std::nullopt;
  return RecordClass{*from, *to};
}

// How many entries the lock would append, in double so that no weight can overflow it.
double EntriesToClassify(const CVarnelDlg& dlg, int states, bool weighted) {
  double entries = 0.0;
  for (std::size_t r = 0, n = dlg.LoadedRecordCount(); r < n; ++r)
    if (ClassOf(dlg, r, states)) entries += ClassEntriesOf(dlg.m_transitionCounts[r], weighted);
  return entries;
}

// Every circle below N goes to the middle of the cell that evenly spaced cutoffs would give.
void PlaceDefaultCircles(SelectionCircle (&circles)[kMaxStates][kMaxStates], int states) {
  const int b = (kMapCells - 1) / states;
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j) {
      circles[i][j].row = i * b + b / 2;
      circles[i][j].col = j * b + b / 2;
      circles[i][j].radius = 10;
    }
}

}  // namespace

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
  const int states = m_stateCount;
  if (states < 1 || states > kMaxStates) {
    AfxMessageBox("Enter the number of states first.");
    return;
  }
  const bool weighted = m_weightByCount != 0;
  if (EntriesToClassify(*this, states, weighted) > kMaxClassEntries) {
    AfxMessageBox(TooManyEntriesMessage());
    return;
  }

  m_cutoffsLocked = true;
  RedrawMap();

  m_classLists.assign(static_cast<std::size_t>(states) * static_cast<std::size_t>(states), {});
  m_lockedStateCount = states;
  for (std::size_t r = 0, n = LoadedRecordCount(); r < n; ++r) {
    const auto cls = ClassOf(*this, r, states);
    if (!cls) continue;
    AppendEntries(m_classLists[static_cast<std::size_t>(cls->from * states + cls->to)], m_frameRates[r],
                  ClassEntriesOf(m_transitionCounts[r], weighted));
  }

  PlaceDefaultCircles(m_circles, states);
  for (int i = 0; i < states; ++i)
    for (int j = 0; j < states; ++j)
      FillClassHistogram(m_classLists[static_cast<std::size_t>(i * states + j)], g_histCounts[i][j],
                         g_histCentres[i][j]);

  m_shownFrom = 0;
  m_shownTo = 0;
  DrawPanel();
}
