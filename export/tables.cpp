#include "export/tables.h"

#include <charconv>

namespace {

// The value of a map row or column has three decimals: k x 0.005.
constexpr int kAxisDecimals = 3;

// The shortest text that reads back as `value` exactly.
void PutNumber(std::string& out, double value) {
  char text[40];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void PutAxisValue(std::string& out, int cell) {
  char text[40];
  out.append(text, std::to_chars(text, text + sizeof text, CellValue(cell), std::chars_format::fixed, kAxisDecimals).ptr);
}

}  // namespace

std::string DensityCsv(const DensityGrid& grid) {
  std::string text = "initial\\final";
  for (int j = 0; j < kMapCells; ++j) {
    text += ',';
    PutAxisValue(text, j);
  }
  text += '\n';
  for (int i = 0; i < kMapCells; ++i) {
    PutAxisValue(text, i);
    for (int j = 0; j < kMapCells; ++j) {
      text += ',';
      PutNumber(text, grid.at(i, j));
    }
    text += '\n';
  }
  return text;
}

std::string HistogramsCsv(const std::vector<ClassFigureData>& classes) {
  std::string text = "class,bin_centre,count,model\n";
  for (const ClassFigureData& fitted : classes) {
    const std::string name = ClassName(fitted.from, fitted.to);
    for (std::size_t k = 0; k < kHistogramBins; ++k) {
      const double centre = fitted.histogram.centres[k];
      text += name + ',';
      PutNumber(text, centre);
      text += ',';
      PutNumber(text, fitted.histogram.counts[k]);
      text += ',';
      PutNumber(text, GaussianAt(fitted.gaussian, centre));
      text += '\n';
    }
  }
  return text;
}
