// The numbers behind the figures as CSV that other programs read: the density grid and the
// histograms of the fitted classes with their Gaussians.
#pragma once

#include <string>
#include <vector>

#include "export/figuredata.h"

// "density.csv": a header row "initial\final" and the 201 final values 0.000 ... 1.000, then
// one row per initial value: the value, then the density of each cell. Densities are written
// with the fewest digits that read back as exactly the number the program holds.
std::string DensityCsv(const DensityGrid& grid);

// "histograms.csv": the header "class,bin_centre,count,model", then per fitted class one row
// per bin: "1->2", the bin's centre on the ln(rate per frame) axis, its count and the fitted
// Gaussian's height there; numbers as in DensityCsv.
std::string HistogramsCsv(const std::vector<ClassFigureData>& classes);
