// The figures of a build without Cairo (the core's cross build): none can be drawn.
#include "export/dwellfigure.h"
#include "export/exportset.h"
#include "export/tracefigure.h"

std::optional<std::vector<ExportFile>> FigureFiles(const ExportData&, const ExportOptions& options, WorkProgress*) {
  if (!options.formats.empty()) return std::nullopt;
  return std::vector<ExportFile>{};
}

std::string DwellFigureFile(FigureFormat, const DwellTimes&, int) { return {}; }
std::string TraceFigureFile(FigureFormat, const IdealisedTraces&, std::size_t, const TraceFigureView&) { return {}; }
