// The main dialog with records filled in directly, and the class histograms cleared, as the
// state, cutoff, picker and circle tests use it.
#pragma once

#include <cstring>
#include <vector>

#include "res/resource.h"
#include "selection/histograms.h"
#include "tests/support/dialog_fixture.h"

struct TestRecord {
  double initial;
  double final;
  double rate;
  double weight;
};

class SelectionTest : public DialogTest {
 protected:
  void SetUp() override {
    // The histograms are process-wide: every test starts from program start, all zero.
    std::memset(g_histCounts, 0, sizeof g_histCounts);
    std::memset(g_histCentres, 0, sizeof g_histCentres);
    DialogTest::SetUp();
  }

  void SetRecords(const std::vector<TestRecord>& records) {
    dlg->m_initialValues.clear();
    dlg->m_finalValues.clear();
    dlg->m_frameRates.clear();
    dlg->m_spareValues.clear();
    dlg->m_transitionCounts.clear();
    for (const TestRecord& r : records) {
      dlg->m_initialValues.push_back(r.initial);
      dlg->m_finalValues.push_back(r.final);
      dlg->m_frameRates.push_back(r.rate);
      dlg->m_spareValues.push_back(0.0);
      dlg->m_transitionCounts.push_back(r.weight);
    }
    dlg->m_recordCount = static_cast<int>(records.size());
  }

  // The class list i->j (1-based states, as the user names them) of the last lock.
  const std::vector<double>& ClassList(int from, int to) const {
    const int n = dlg->m_lockedStateCount;
    return dlg->m_classLists.at(static_cast<std::size_t>((from - 1) * n + (to - 1)));
  }

  Pixel Line() const { return dlg->GetColor(255); }
  Pixel Shown(int row, int col) const { return dlg->m_displayPixels[row][col]; }
  Pixel Base(int row, int col) const { return dlg->m_basePixels[row][col]; }
  Pixel Panel(int x, int y) const { return dlg->m_panelBitmap.Surface().At(x, y); }
};

inline constexpr Pixel kPanelGreen = 0x00C800;  // (0, 200, 0)
inline constexpr Pixel kPanelBlue = 0x0000C8;   // (0, 0, 200)
