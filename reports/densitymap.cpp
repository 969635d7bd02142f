// The transition density map: rebuilt from the records after every load and every change of
// the weighting, written to "3dgrid.dat" and coloured into the base image.
#include <algorithm>

#include "app/varneldlg.h"
#include "reports/densitygrid.h"
#include "reports/gridfile.h"
#include "reports/outputdir.h"

namespace {

RecordArrays RecordsOf(const CVarnelDlg& dlg) {
  return {dlg.m_initialValues.data(), dlg.m_finalValues.data(), dlg.m_frameRates.data(), dlg.m_transitionCounts.data(),
          dlg.LoadedRecordCount()};
}

}  // namespace

void CVarnelDlg::RebuildTransitionMap() {
  const std::string path = g_outputDir + "3dgrid.dat";
  bool written = false;
  {
    CWaitCursor wait;
    const RecordArrays records = RecordsOf(*this);
    const DensityGrid grid = FastDensityGrid(records, m_weightByCount != FALSE);
    written = WriteGridFile(path, records, grid);
    for (int i = 0; i < kMapCells; ++i)
      for (int j = 0; j < kMapCells; ++j) m_basePixels[i][j] = GetColor(ColorIndexOf(grid.at(i, j), grid.maximum));
    RedrawMap();
  }
  // The map is there all the same; the user must know the file is not.
  if (!written) AfxMessageBox("Cannot write \"" + path + "\".");
}

void CVarnelDlg::OnWeightByCount() {
  UpdateData(TRUE);
  RebuildTransitionMap();
}
