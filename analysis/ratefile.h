// The class rate file "I,Jrates.dat" that a fit writes beside the reports.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Writes the values of a class list that the fit uses (InFitRange), in list order, one a line
// with six significant digits, as a stream writes a double (%g). Nothing when it was written,
// otherwise why not.
std::optional<std::string> WriteRateFile(const std::string& path, const std::vector<double>& list);
