// The class rate file "I,Jrates.dat" that a fit writes beside the reports.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Writes one in-range value per line with six significant digits, as a stream writes a double
// (%g). Nothing when it was written, otherwise why not.
std::optional<std::string> WriteRateFile(const std::string& path, const std::vector<double>& values);
