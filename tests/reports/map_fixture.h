// The colour indices of a session's map and helpers to read "3dgrid.dat"; and the main dialog
// with a colour table whose 256 entries all differ, so that a pixel on screen tells its index.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "res/resource.h"
#include "tests/reports/reference_map.h"
#include "tests/support/dialog_fixture.h"

class MapTest : public DialogTest {
 protected:
  void SetUp() override {
    std::ostringstream table;
    for (unsigned k = 0; k < 256; ++k) table << k << ' ' << 255 - k << ' ' << (k * 7) % 256 << '\n';
    dir.Write("shrcol.tbl", table.str());
    DialogTest::SetUp();
  }

  // The pixel of colour index k in the table above.
  static Pixel ColorOf(int k) {
    const auto u = static_cast<unsigned>(k);
    return u * 65536u + (255u - u) * 256u + (u * 7u) % 256u;
  }

  // Answers the next file dialog with `paths` and clicks "Load Files".
  void Load(const std::vector<std::string>& paths) {
    host.fileAnswers.push_back(paths);
    Click(IDC_LOAD_FILES);
  }

  void ExpectBaseImage(const std::vector<int>& colorIndices) const {
    int wrong = 0;
    for (int i = 0; i < 201; ++i)
      for (int j = 0; j < 201; ++j)
        if (dlg->m_basePixels[i][j] != ColorOf(colorIndices[static_cast<std::size_t>(i * 201 + j)]) && ++wrong <= 5)
          ADD_FAILURE() << "pixel (" << i << ", " << j << ")";
    EXPECT_EQ(wrong, 0);
  }
};

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
