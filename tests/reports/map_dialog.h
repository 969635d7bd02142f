// The main dialog with a colour table whose 256 entries all differ, so that a pixel tells its
// colour index.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/reports/map_fixture.h"
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
