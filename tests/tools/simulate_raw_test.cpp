// The raw traces of the simulator: its true path and bleaching, and channels whose FRET value
// has the levels and widths the rate table names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

struct Moments {
  double n = 0, sum = 0, squares = 0;
  double Mean() const { return sum / n; }
  double Spread() const { return std::sqrt(squares / n - Mean() * Mean()); }
};

// Per true state, the moments of A / (D + A), less the background, over the bleach-free frames.
std::vector<Moments> FretByState(const std::string& file, double background, int& bleachedFrames, bool& relit) {
  std::ifstream in(file);
  std::string line;
  for (int k = 0; k < 3; ++k) std::getline(in, line);
  EXPECT_EQ(line, "frame donor acceptor state");
  std::vector<Moments> states(3);
  bleachedFrames = 0;
  relit = false;
  double frame = 0, donor = 0, acceptor = 0;
  int state = 0;
  while (in >> frame >> donor >> acceptor >> state) {
    if (state == 0) {
      ++bleachedFrames;
      continue;
    }
    relit = relit || bleachedFrames > 0;
    const double fret = (acceptor - background) / (donor + acceptor - 2 * background);
    Moments& m = states[static_cast<std::size_t>(state - 1)];
    m.n += 1;
    m.sum += fret;
    m.squares += fret * fret;
  }
  return states;
}

TEST(SimulateRaw, ChannelsCarryTheLevelsAndWidthsOfTheTruthAndStayDarkOnceBleached) {
  TempDir dir;
  for (const std::string noise : {"", "--poisson "}) {
    const ProgramRun run = RunProgram(VARNEL_SIMULATOR, "--raw " + noise +
                                                            "--out raw --molecules 2 --frames 40000 --snr 5 "
                                                            "--background 30 --bleach 30000 --seed 2");
    ASSERT_EQ(run.status, 0) << run.err;
    // The widths: the closest levels' 0.3 over 5, each level's own under shot noise.
    std::istringstream table(run.out);
    std::string line;
    std::vector<double> widths;
    while (std::getline(table, line))
      if (line.rfind("# widths ", 0) == 0) {
        std::istringstream numbers(line.substr(9));
        for (double w = 0; numbers >> w;) widths.push_back(w);
      }
    ASSERT_EQ(widths.size(), 3u) << run.out;
    EXPECT_DOUBLE_EQ(*std::max_element(widths.begin(), widths.end()), 0.06) << noise;
    int bleached = 0;
    bool relit = false;
    const std::vector<Moments> states = FretByState(dir / "raw/molecule_0001.txt", 30, bleached, relit);
    EXPECT_GT(bleached, 0) << noise;
    EXPECT_FALSE(relit) << noise;
    const double levels[] = {0.2, 0.5, 0.8};
    for (std::size_t s = 0; s < 3; ++s) {
      ASSERT_GT(states[s].n, 1000) << s;
      // Some thousands of frames a state: the mean within a few widths / sqrt(n) (and the ratio
      // of counts' small bias), the spread within 3 % for Gaussian noise; shot noise's width is
      // its first-order value, some per cent off at these hundred counts.
      EXPECT_NEAR(states[s].Mean(), levels[s], 5 * widths[s] / std::sqrt(states[s].n) + 0.002) << noise << s;
      EXPECT_NEAR(states[s].Spread(), widths[s], (noise.empty() ? 0.03 : 0.1) * widths[s]) << noise << s;
    }
    std::filesystem::remove_all(dir / "raw");
  }
  EXPECT_EQ(RunProgram(VARNEL_SIMULATOR, "--raw --traces --out raw --molecules 1").status, 2);
  EXPECT_EQ(RunProgram(VARNEL_SIMULATOR, "--snr 4 --out raw --molecules 1").status, 2);
}

}  // namespace
