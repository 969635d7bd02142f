// The map as the program builds it, against the plain one-exponential-per-record-and-cell sums:
// "3dgrid.dat" byte for byte and the colour index of every cell, on record sets made to sit on
// the decisions (the 0.01 threshold, the fourth digit, the colour steps, ties for the maximum).
// Every pixel on screen is a cell's colour index in the table, which the window's tests show.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <random>

#include "reports/densitygrid.h"
#include "reports/spotexp.h"
#include "tests/reports/map_fixture.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

struct RecordSet {
  const char* name;
  std::vector<TransitionRecord> records;
};

std::vector<RecordSet> RecordSets() {
  std::vector<RecordSet> sets;
  const double weights[] = {0, 1, 2.5, 1e6, 1, 3};
  const double states[] = {0.2, 0.5, 0.8};
  {
    // Clustered around three states, as real reports are; some records left out by the filter.
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    RecordSet set{"clustered", {}};
    for (int r = 0; r < 160; ++r) {
      const double a = states[r % 3] + 0.04 * (unit(random) - 0.5);
      const double b = r % 11 == 0 ? a : states[(r / 3) % 3] + 0.04 * (unit(random) - 0.5);
      const double rate = r % 13 == 0 ? 0.00001 : std::exp(-8 * unit(random));
      set.records.push_back({a, b, rate, unit(random), weights[r % 6]});
    }
    sets.push_back(set);
  }
  {
    // On grid points: exact ties, symmetric sums, a maximum shared by many cells.
    std::mt19937_64 random(2);
    std::uniform_int_distribution<int> cell(0, 200);
    RecordSet set{"grid-aligned", {}};
    for (int r = 0; r < 120; ++r) {
      const double a = cell(random) * 0.005;
      const double b = r < 40 ? (r % 4) * 0.25 + 0.1 : cell(random) * 0.005;
      set.records.push_back({a, b, 0.5, 0, r < 40 ? 2.5 : weights[r % 6]});
    }
    sets.push_back(set);
  }
  {
    // Weights that put cells on the 0.01 threshold and on the rounding of the fourth digit:
    // w e^-0.05 and w e^-0.1 (the neighbours of a grid point) land on 0.01, 2.8545, 1.0005 ...
    RecordSet set{"decisions", {}};
    const double targets[] = {0.01, 0.0100001, 2.8545, 1.0005, 0.012345, 12.345, 0.99995};
    double a = 0.05;
    for (double target : targets)
      for (double fall : {1.0, std::exp(-0.05), std::exp(-0.1), std::exp(-0.2)}) {
        set.records.push_back({a, 1 - a, 0.1, 0, target / fall});
        a += 0.03;
      }
    // Two equal spots side by side: equal maxima and colour steps at exact fractions.
    set.records.push_back({0.9, 0.9 - 0.1, 0.1, 0, 40});
    set.records.push_back({0.9, 0.9 + 0.05, 0.1, 0, 40});
    sets.push_back(set);
  }
  {
    // Signs mixed, values beyond the axes, and one very large count.
    std::mt19937_64 random(4);
    std::uniform_real_distribution<double> wide(-0.2, 1.2);
    RecordSet set{"mixed", {}};
    for (int r = 0; r < 60; ++r)
      set.records.push_back({wide(random), wide(random), 0.3, 0, r % 7 == 0 ? -3.0 : (r == 5 ? 1e12 : 1.5)});
    sets.push_back(set);
  }
  {
    // The far tail of enormous spots: k cells from its centre a spot is e^-k^2/20, and 40 cells
    // away (e^-80) these print as 0.0100001 and 0.01, where a map that followed spots only to
    // e^-64 would print 0. Light records beside them keep their own decisions.
    RecordSet set{"heavy tail", {{0.5, 0.5 + 0.2, 0.1, 0, 0.0100001 * std::exp(80.0)}}};
    set.records.push_back({0.2, 0.1, 0.1, 0, 0.01 * std::exp(80.0)});
    set.records.push_back({0.8, 0.85, 0.1, 0, 0.0100001});
    set.records.push_back({0.8, 0.3, 0.1, 0, 1.0005});
    sets.push_back(set);
  }
  return sets;
}

class ExactnessTest : public ::testing::TestWithParam<int> {
 protected:
  TempDir dir;  // the current directory, where the map's file goes
};

// The map of `records`, weighted or not, written to "3dgrid.dat".
Session MapOf(const std::vector<TransitionRecord>& records, bool weighted) {
  Session session = SessionOf(records);
  session.SetWeighted(weighted);
  EXPECT_TRUE(session.RebuildMap().messages.empty());
  return session;
}

TEST_P(ExactnessTest, FileAndImageMatchTheDirectSums) {
  for (const RecordSet& set : RecordSets()) {
    SCOPED_TRACE(set.name);
    const Session session = MapOf(set.records, GetParam() != 0);
    const ReferenceMap reference = ComputeReferenceMap(set.records, GetParam() != 0);
    const std::string file = dir.Read("3dgrid.dat");
    ASSERT_EQ(file.size(), reference.file.size());
    EXPECT_TRUE(file == reference.file) << "first difference at byte "
                                        << std::mismatch(file.begin(), file.end(), reference.file.begin()).first -
                                               file.begin();
    ExpectColourIndices(session.Grid(), reference.colorIndices);
  }
}

INSTANTIATE_TEST_SUITE_P(Weighting, ExactnessTest, ::testing::Values(1, 0),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

// The spot of a record at (a, b) in cell (i, j), as the plain sum computes it.
double SpotAt(int i, int j, double a, double b) {
  const double x = i * 0.005, y = j * 0.005;
  return std::exp(-((x - a) * (x - a) + (y - b) * (y - b)) / 0.0005);
}

// A count w for which spot x w comes out as `target` exactly, if the doubles allow it.
double CountLanding(double spot, double target) {
  double w = target / spot;
  for (int step = 0; step < 64 && spot * w != target; ++step) w = std::nextafter(w, spot * w < target ? HUGE_VAL : 0.0);
  return w;
}

std::string FourDigits(double v) {
  std::ostringstream out;
  out << std::setprecision(4) << v;
  return out.str();
}

// The last double from `from` towards `to` (both positive) for which `same` still holds; it
// holds at `from` and not at `to`. Positive doubles are ordered as their bit patterns.
template <class Same>
double LastSame(double from, double to, Same same) {
  std::int64_t kept = std::bit_cast<std::int64_t>(from), lost = std::bit_cast<std::int64_t>(to);
  while (kept - lost > 1 || lost - kept > 1) {
    const std::int64_t middle = kept + (lost - kept) / 2;
    (same(std::bit_cast<double>(middle)) ? kept : lost) = middle;
  }
  return std::bit_cast<double>(kept);
}

// Records off the grid points whose nearest cells hold, by the plain sums, the last double on
// one side of a decision: the 0.01 threshold, the rounding of the fourth digit and a colour step
// (a maximum of exactly 255 sets the steps). Summed any other way such a cell may fall on the
// other side. Records 0.65 apart add exact zeros to each other's cells.
TEST(MapExactness, CellsOnTheEdgeOfADecisionComeOutAsTheDirectSums) {
  TempDir dir;
  std::mt19937_64 random(6);
  std::uniform_real_distribution<double> offset(-0.0024, 0.0024);
  const double threshold[2] = {0.01, std::nextafter(0.01, 1.0)};
  const double rounding[2] = {LastSame(2.854, 2.855, [](double v) { return FourDigits(v) == "2.854"; }),
                              LastSame(2.855, 2.854, [](double v) { return FourDigits(v) == "2.855"; })};
  const auto index = [](double v) { return static_cast<int>(v * 255.0 / 255.0); };
  const double colour[2] = {LastSame(99.0, 100.0, [&](double v) { return index(v) == 99; }),
                            LastSame(100.0, 99.0, [&](double v) { return index(v) == 100; })};
  for (int trial = 0; trial < 24; ++trial) {
    SCOPED_TRACE(trial);
    const int side = trial % 2;
    std::vector<TransitionRecord> records;
    const std::pair<double, double> corners[] = {{0.1, 0.1}, {0.1, 0.75}, {0.75, 0.1}, {0.75, 0.75}};
    const double targets[] = {255.0, threshold[side], rounding[side], colour[side]};
    for (int k = 0; k < 4; ++k) {
      const double a = corners[k].first + offset(random), b = corners[k].second + offset(random);
      const int i = static_cast<int>(std::lround(a / 0.005)), j = static_cast<int>(std::lround(b / 0.005));
      records.push_back({a, b, 0.1, 0, CountLanding(SpotAt(i, j, a, b), targets[k])});
    }
    const Session session = MapOf(records, true);
    const ReferenceMap reference = ComputeReferenceMap(records, true);
    EXPECT_TRUE(dir.Read("3dgrid.dat") == reference.file);
    ExpectColourIndices(session.Grid(), reference.colorIndices);
  }
}

// The grid does not depend on how many threads share it, and keeps its maximum exact.
TEST(FastDensityGrid, SameOnAnyNumberOfThreads) {
  const RecordSet set = RecordSets()[0];
  const TransitionRecords records(set.records);
  const ReferenceMap reference = ComputeReferenceMap(set.records, true);
  for (int threads : {1, 3}) {
    const DensityGrid grid = FastDensityGrid(records, true, threads);
    EXPECT_EQ(grid.maximum, reference.maximum) << threads;
    for (int cell = 0; cell < 201 * 201; ++cell)
      ASSERT_EQ(ColorIndexOf(grid.cells[static_cast<std::size_t>(cell)], grid.maximum),
                reference.colorIndices[static_cast<std::size_t>(cell)])
          << threads << " threads, cell " << cell;
  }
}

// The exponential of the separable spots stays within the relative error its bound assumes.
TEST(SpotExp, WithinItsErrorOfTheLibraryExponential) {
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> argument(-708.0, 0.0);
  double worst = 0;
  for (int k = 0; k < 20000; ++k) {
    const double x = k < 10000 ? argument(random) : -k * 1e-4;
    worst = std::max(worst, std::fabs(SpotExp(x) - std::exp(x)) / std::exp(x));
  }
  EXPECT_LT(worst, 1e-13);
  EXPECT_EQ(SpotExp(0.0), 1.0);
  EXPECT_EQ(SpotExp(-708.5), 0.0);
  EXPECT_EQ(SpotExp(-1e300), 0.0);
  EXPECT_EQ(SpotExp(-HUGE_VAL), 0.0);
}

}  // namespace
