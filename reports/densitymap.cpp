// The transition density map: rebuilt from the records after every load and every change of
// the weighting, written to "3dgrid.dat" and coloured into the base image.
#include <algorithm>

#include "app/varneldlg.h"
#include "reports/densitygrid.h"
#include "reports/gridfile.h"
#include "reports/outputdir.h"

void CVarnelDlg::RebuildTransitionMap() {
  const std::string path = OutputPath("3dgrid.dat");
  std::optional<std::string> failure;
  {
    CWaitCursor wait;
    m_densityGrid = FastDensityGrid(m_records, m_weightByCount != FALSE);
    const DensityGrid& grid = m_densityGrid;
    failure = WriteGridFile(path, m_records, grid);
    for (int i = 0; i < kMapCells; ++i)
      for (int j = 0; j < kMapCells; ++j) m_basePixels[i][j] = GetColor(ColorIndexOf(grid.at(i, j), grid.maximum));
    RedrawMap();
  }
  // The map is there all the same; the user must know the file is not.
  if (failure) AfxMessageBox(CannotWriteMessage(path, *failure));
}

void CVarnelDlg::OnWeightByCount() {
  UpdateData(TRUE);
  RebuildTransitionMap();
}
