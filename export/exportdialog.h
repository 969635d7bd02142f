// What the main dialog's analysis state gives an export.
#pragma once

#include "export/figuredata.h"

class CVarnelDlg;

// The map as the records, colours, cutoffs and shown circle stand now, every fitted class of
// the current number of states with the histogram it was fitted to, and the results table.
ExportData ExportDataOf(const CVarnelDlg& dlg);
