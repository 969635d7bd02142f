// The raw traces of the simulator: its true path and bleaching, and channels whose FRET value
// has the levels and widths the rate table names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// The frames of one raw trace file: donor, acceptor and true state.
struct RawRow {
  double donor, acceptor;
  int state;
};

std::vector<RawRow> RawRows(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  for (int k = 0; k < 3; ++k) std::getline(in, line);
  std::vector<RawRow> rows;
  double frame = 0;
  RawRow row{};
  while (in >> frame >> row.donor >> row.acceptor >> row.state) rows.push_back(row);
  return rows;
}

// Channel noise: each channel of mean count c = I (1 - E) + B or I E + B has the sd
// sqrt(g c + R^2), donor and acceptor apart; a molecule's levels share one offset; its tail and
// its blinks hold the background alone, state 0, the tail 50 to 200 frames long.
TEST(SimulateRaw, ChannelNoiseOffsetsBlinksAndTailsAreThoseOfTheCamerasArithmetic) {
  TempDir dir;
  constexpr double kGain = 4, kRead = 30, kBackground = 50;
  const ProgramRun run = RunProgram(VARNEL_SIMULATOR,
                                    "--raw --out raw --molecules 40 --frames 3000 --gain 4 --read-noise 30 "
                                    "--background 50 --fret-offset 0.02 --blinks 0.004 --blink-frames 3 "
                                    "--bleached-tail 50-200 --seed 3");
  ASSERT_EQ(run.status, 0) << run.err;
  const double levels[] = {0.2, 0.5, 0.8};
  std::vector<double> offsets;
  Moments darkDonor, darkAcceptor;
  long blinkFrames = 0;
  for (int m = 1; m <= 40; ++m) {
    char name[32];
    std::snprintf(name, sizeof name, "raw/molecule_%04d.txt", m);
    const std::vector<RawRow> rows = RawRows(dir / name);
    ASSERT_EQ(rows.size(), 3000u);
    std::size_t tail = 0;
    while (tail < rows.size() && rows[rows.size() - 1 - tail].state == 0) ++tail;
    // A blink may end just before the tail begins: the tail is at least 50 and at most 200 and a blink.
    EXPECT_GE(tail, 50u) << m;
    EXPECT_LE(tail, 230u) << m;
    // The molecule's offset: the mean over its states of the acceptor's share, less the level.
    Moments shift;
    for (std::size_t t = 0; t < rows.size(); ++t) {
      const RawRow& r = rows[t];
      if (r.state == 0) {
        blinkFrames += t < rows.size() - tail;
        darkDonor.n += 1, darkDonor.sum += r.donor, darkDonor.squares += r.donor * r.donor;
        darkAcceptor.n += 1, darkAcceptor.sum += r.acceptor, darkAcceptor.squares += r.acceptor * r.acceptor;
        continue;
      }
      const double fret = (r.acceptor - kBackground) / (r.donor + r.acceptor - 2 * kBackground);
      shift.n += 1, shift.sum += fret - levels[r.state - 1];
    }
    offsets.push_back(shift.Mean());
  }
  // 2,600 and more frames a molecule at widths near 0.04: each offset within 0.002 of its truth,
  // so their spread is the 0.02 asked within the chance of 40 draws (and that 0.002).
  Moments spread;
  for (const double o : offsets) spread.n += 1, spread.sum += o, spread.squares += o * o;
  EXPECT_NEAR(spread.Spread(), 0.02, 0.006);
  // Blinks: 0.004 a frame of 3 frames each, some 40 x 3000 x 0.012 = 1,440 frames.
  EXPECT_GT(blinkFrames, 1000);
  EXPECT_LT(blinkFrames, 1900);
  // At background both channels count B with the sd sqrt(g B + R^2) = sqrt(200 + 900).
  EXPECT_NEAR(darkDonor.Mean(), kBackground, 1.0);
  EXPECT_NEAR(darkAcceptor.Mean(), kBackground, 1.0);
  EXPECT_NEAR(darkDonor.Spread(), std::sqrt(kGain * kBackground + kRead * kRead), 1.0);
  EXPECT_NEAR(darkAcceptor.Spread(), std::sqrt(kGain * kBackground + kRead * kRead), 1.0);

  // Without an offset, a lit channel's sd is that of its own count: 0.2 gives the donor 850 counts.
  const ProgramRun plain = RunProgram(VARNEL_SIMULATOR,
                                      "--raw --out flat --molecules 1 --frames 40000 --gain 4 --read-noise 30 "
                                      "--background 50 --states 0.2,0.9 --seed 5");
  ASSERT_EQ(plain.status, 0) << plain.err;
  Moments donor, acceptor;
  for (const RawRow& r : RawRows(dir / "flat/molecule_0001.txt")) {
    if (r.state != 1) continue;
    donor.n += 1, donor.sum += r.donor, donor.squares += r.donor * r.donor;
    acceptor.n += 1, acceptor.sum += r.acceptor, acceptor.squares += r.acceptor * r.acceptor;
  }
  EXPECT_NEAR(donor.Mean(), 850, 2.0);
  EXPECT_NEAR(acceptor.Mean(), 250, 2.0);
  EXPECT_NEAR(donor.Spread(), std::sqrt(4 * 850 + 900.0), 0.03 * std::sqrt(4 * 850 + 900.0));
  EXPECT_NEAR(acceptor.Spread(), std::sqrt(4 * 250 + 900.0), 0.03 * std::sqrt(4 * 250 + 900.0));
  EXPECT_EQ(RunProgram(VARNEL_SIMULATOR, "--raw --gain 4 --poisson --out x --molecules 1").status, 2);
  EXPECT_EQ(RunProgram(VARNEL_SIMULATOR, "--blinks 0.1 --out x --molecules 1").status, 2);
}

}  // namespace
