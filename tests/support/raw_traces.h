// Raw traces of two levels whose dwells are known: what an idealisation should find again.
#pragma once

#include <random>
#include <string>
#include <vector>

inline constexpr double kLowLevel = 0.25, kHighLevel = 0.75;
inline constexpr double kLevelNoise = 0.03;  // the levels lie 0.5 apart: no frame is in doubt

// A molecule of dwells `lengths` frames long, alternating between the two levels from the low
// one, with Gaussian noise; one FRET value a line.
inline std::string RawTrace(const std::vector<int>& lengths, unsigned seed) {
  std::mt19937_64 engine(seed);
  std::normal_distribution<double> noise(0.0, kLevelNoise);
  std::string text = "fret\n";
  for (std::size_t d = 0; d < lengths.size(); ++d)
    for (int t = 0; t < lengths[d]; ++t)
      text += std::to_string((d % 2 ? kHighLevel : kLowLevel) + noise(engine)) + "\n";
  return text;
}

// Three molecules' dwells.
inline const std::vector<std::vector<int>> kRawDwells = {{40, 25, 60, 30}, {35, 50, 20}, {70, 45, 30, 25, 40}};
