// The main dialog as the state, cutoff, picker and circle tests use it.
#pragma once

#include <vector>

#include "res/resource.h"
#include "selection/histograms.h"
#include "tests/support/dialog_fixture.h"

class SelectionTest : public DialogTest {
 protected:

  // The class list i->j (1-based states, as the user names them) of the last lock.
  const std::vector<double>& ClassList(int from, int to) const {
    const int n = dlg->m_session.LockedStates();
    return dlg->m_session.Lists().at(static_cast<std::size_t>((from - 1) * n + (to - 1)));
  }

  Pixel Line() const { return dlg->GetColor(255); }
  Pixel Shown(int row, int col) const { return dlg->m_displayPixels[row][col]; }
  Pixel Base(int row, int col) const { return dlg->m_basePixels[row][col]; }
  Pixel Panel(int x, int y) const { return dlg->m_panelBitmap.Surface().At(x, y); }
};

inline constexpr Pixel kPanelGreen = 0x00C800;  // (0, 200, 0)
inline constexpr Pixel kPanelBlue = 0x0000C8;   // (0, 0, 200)
