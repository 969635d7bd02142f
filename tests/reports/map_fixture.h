// The colour indices of a session's map and helpers to read "3dgrid.dat".
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "tests/reports/reference_map.h"

// The colour index of map cell (i, j).
inline int IndexAt(const DensityGrid& grid, int i, int j) { return ColorIndexOf(grid.at(i, j), grid.maximum); }

// Every cell's colour index is `colorIndices[i * 201 + j]`.
inline void ExpectColourIndices(const DensityGrid& grid, const std::vector<int>& colorIndices) {
  int wrong = 0;
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j)
      if (IndexAt(grid, i, j) != colorIndices[static_cast<std::size_t>(i * kMapCells + j)] && ++wrong <= 5)
        ADD_FAILURE() << "cell (" << i << ", " << j << ")";
  EXPECT_EQ(wrong, 0);
}

// The lines of a text.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Cell (i, j) of a "3dgrid.dat" that lists `records` records: its 15 characters.
inline std::string GridField(const std::string& file, int records, int i, int j) {
  const auto lines = Lines(file);
  const std::size_t line = static_cast<std::size_t>(records + i);
  if (line >= lines.size()) return "<no line>";
  return lines[line].substr(static_cast<std::size_t>(j) * 15, 15);
}

inline std::string Padded(const std::string& text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}
