// The CSV tables hold exactly the numbers the figures are drawn from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "export/tables.h"
#include "tests/export/export_fixture.h"

namespace {

std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(csv);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    std::istringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, ',')) cells.push_back(cell);
    rows.push_back(cells);
  }
  return rows;
}

double Number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  EXPECT_EQ(*end, '\0') << "not a number: " << text;
  return value;
}

}  // namespace

TEST(TablesTest, DensityCsvHasBothAxesAndReadsBackAsEveryCellExactly) {
  DensityGrid grid;
  // Values that need all seventeen digits, tiny ones and whole ones.
  for (int i = 0; i < kMapCells; ++i)
    for (int j = 0; j < kMapCells; ++j)
      grid.cells[static_cast<std::size_t>(i) * kMapCells + j] = (i * 1000 + j) / 3.0 + (j % 7 == 0 ? 1e-300 : 0.0);
  const auto rows = Rows(DensityCsv(grid));
  ASSERT_EQ(rows.size(), 202u);
  ASSERT_EQ(rows[0].size(), 202u);
  EXPECT_EQ(rows[0][0], "initial\\final");
  EXPECT_EQ(rows[0][1], "0.000");
  EXPECT_EQ(rows[0][2], "0.005");
  EXPECT_EQ(rows[0][201], "1.000");
  EXPECT_EQ(rows[41][0], "0.200");
  for (int i = 0; i < kMapCells; ++i) {
    ASSERT_EQ(rows[static_cast<std::size_t>(i) + 1].size(), 202u);
    for (int j = 0; j < kMapCells; ++j)
      ASSERT_EQ(Number(rows[static_cast<std::size_t>(i) + 1][static_cast<std::size_t>(j) + 1]),
                (i * 1000 + j) / 3.0 + (j % 7 == 0 ? 1e-300 : 0.0))
          << "cell " << i << ", " << j;
  }
}

TEST(TablesTest, HistogramsCsvHasEveryBinOfEveryClassWithTheGaussianAtItsCentre) {
  ClassFigureData second = FittedClass();
  second.from = 3;
  second.to = 1;
  second.gaussian = {7.0, -6.0, 1.5};
  const auto rows = Rows(HistogramsCsv({FittedClass(), second}));
  ASSERT_EQ(rows.size(), 1u + 2 * 50);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"class", "bin_centre", "count", "model"}));
  for (int k = 0; k < 50; ++k) {
    const auto& row = rows[1 + static_cast<std::size_t>(k)];
    EXPECT_EQ(row[0], "1->2");
    // Bin k is centred at k x 0.2 - 10 + 0.1.
    EXPECT_NEAR(Number(row[1]), k * 0.2 - 9.9, 1e-12);
    const int d = k - 30;
    EXPECT_EQ(Number(row[2]), d * d < 25 ? 40.0 - 1.5 * d * d : 0.0);
    // Area 20, centre -3.9, width 0.8: 20 / (sqrt(pi / 2) 0.8) exp(-2 ((x + 3.9) / 0.8)^2).
    const double x = k * 0.2 - 9.9;
    EXPECT_NEAR(Number(row[3]), 20.0 / (std::sqrt(1.5707963267945) * 0.8) * std::exp(-2 * std::pow((x + 3.9) / 0.8, 2)),
                1e-12);
  }
  EXPECT_EQ(rows[51][0], "3->1");
  // At its centre, -6.1 + 0.1: 7 / (sqrt(pi / 2) 1.5) exp(-2 (0.1 / 1.5)^2) = 3.6905...
  EXPECT_NEAR(Number(rows[51 + 19][3]), 7.0 / (1.2533141373155 * 1.5) * std::exp(-2.0 * 0.1 * 0.1 / 2.25), 1e-9);
}
