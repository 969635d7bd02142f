// A lock on simulated reports: the class of every record is known from the state the
// simulator put it in, so the class lists can be checked without the program's own rule.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/run_program.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr std::array<double, 3> kTrueStates = {0.2, 0.5, 0.8};  // the simulator's default states

// Runs the simulator and returns the true rates it prints, "i->j rate" per off-diagonal class
// after a few comment lines.
std::map<std::string, double> Simulate(const std::string& arguments) {
  std::map<std::string, double> rates;
  std::istringstream out(RunProgram(VARNEL_SIMULATOR, arguments).out);
  for (std::string line; std::getline(out, line);) {
    std::istringstream words(line);
    std::string name;
    double rate = 0;
    if (line[0] != '#' && words >> name >> rate) rates[name] = rate;
  }
  return rates;
}

// A report: four header lines, then records of five numbers.
std::vector<TransitionRecord> ReadReport(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  for (int n = 0; n < 4; ++n) std::getline(in, line);
  std::vector<TransitionRecord> records;
  double initial, final, rate, spare, transitions;
  while (in >> initial >> final >> rate >> spare >> transitions)
    records.push_back({initial, final, rate, spare, transitions});
  return records;
}

// The true state a simulated value was drawn around (the noise is 0.02, the states 0.3 apart).
int TrueState(double value) {
  int nearest = 0;
  for (int s = 1; s < 3; ++s)
    if (std::fabs(value - kTrueStates[s]) < std::fabs(value - kTrueStates[nearest])) nearest = s;
  return nearest;
}

TEST(SimulatedLock, ClassListsHoldTheRecordsOfEachTruePairOfStates) {
  TempDir dir;
  const auto rates = Simulate("--out '" + dir / "reports" + "' --molecules 40 --seed 11 --peaks 4");
  ASSERT_EQ(rates.size(), 6u);

  std::vector<TransitionRecord> all;
  for (int m = 1; m <= 40; ++m) {
    char name[64];
    std::snprintf(name, sizeof name, "reports/molecule_%04d.dat", m);
    const auto records = ReadReport(dir / name);
    ASSERT_EQ(records.size(), 16u) << name;
    all.insert(all.end(), records.begin(), records.end());
  }
  Session session = SessionOf(all, 3);

  // Expected: per true pair, the sum of the weights and the number of records; unvisited
  // slots are all zero and take no part.
  double weighted[3][3] = {};
  int plain[3][3] = {};
  double logSum[3][3] = {};
  for (const TransitionRecord& r : all) {
    if (r.count <= 0) continue;
    const int i = TrueState(r.initial), j = TrueState(r.final);
    weighted[i][j] += r.count;
    plain[i][j] += 1;
    logSum[i][j] += r.count * std::log(r.rate);
  }

  ASSERT_TRUE(session.Lock().done);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const std::vector<double>& list = *session.ClassList(i + 1, j + 1);
      EXPECT_EQ(static_cast<double>(list.size()), weighted[i][j]) << i + 1 << "->" << j + 1;
      // Every simulated rate lies well inside the histogram range, so every entry is counted.
      double counted = 0;
      for (int k = 0; k < kHistogramBins; ++k) counted += session.Histogram(i, j).counts[k];
      EXPECT_EQ(counted, weighted[i][j]) << i + 1 << "->" << j + 1;
      ASSERT_GT(plain[i][j], 0) << "40 molecules visit every pair of states";
      if (i == j) continue;
      // The class's mean ln(rate per frame) lies near the true rate times 0.1 s per frame.
      const std::string name = std::to_string(i + 1) + "->" + std::to_string(j + 1);
      EXPECT_NEAR(logSum[i][j] / weighted[i][j], std::log(rates.at(name) * 0.1), 0.3) << name;
    }

  session.SetWeighted(false);
  ASSERT_TRUE(session.Lock().done);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_EQ(session.ClassList(i + 1, j + 1)->size(), static_cast<std::size_t>(plain[i][j]));
}

}  // namespace
