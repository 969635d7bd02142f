// The continuous-time simulation: frames that step as the matrix exponential of the rates says
// (the closed form of two states), bleaching, and the three file kinds telling one path.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// The idealised column of a trace file, frame by frame.
std::vector<double> Idealised(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  for (int k = 0; k < 3; ++k) std::getline(in, line);
  EXPECT_EQ(line, "frame signal idealised") << file;
  std::vector<double> values;
  double frame = 0, signal = 0, value = 0;
  while (in >> frame >> signal >> value) {
    EXPECT_EQ(frame, static_cast<double>(values.size() + 1)) << file;
    values.push_back(value);
  }
  return values;
}

TEST(SimulateContinuous, FramesStepAsTheMatrixExponentialOfTheRatesSaysNotAsTheRatesTimesTheFrame) {
  // Two states, k12 = 3 and k21 = 2 s^-1, frames of 0.2 s: P_12 = k12 / s (1 - e^-(s T)), s = 5,
  // that is 0.6 (1 - 1/e) = 0.379 where k12 T = 0.6; P_21 = 0.253 where k21 T = 0.4.
  const TempDir dir;
  const ProgramRun run = RunProgram(VARNEL_SIMULATOR,
                                    "--continuous --out c --molecules 40 --frames 2000 --states 0.2,0.8 "
                                    "--rates 1-2=3,2-1=2 --exposure 0.2 --noise 0 --seed 3");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("1->2 3\n2->1 2\n"), std::string::npos) << run.out;
  double steps[2][2] = {}, frames[2] = {};
  for (int m = 1; m <= 40; ++m) {
    char name[32];
    std::snprintf(name, sizeof name, "c/molecule_%04d.txt", m);
    const std::vector<double> values = Idealised(name);
    ASSERT_EQ(values.size(), 2000u);
    for (std::size_t f = 0; f < values.size(); ++f) {
      const int s = values[f] > 0.5 ? 1 : 0;
      frames[s] += 1;
      if (f + 1 < values.size()) steps[s][values[f + 1] > 0.5 ? 1 : 0] += 1;
    }
  }
  const double decay = 1.0 - std::exp(-1.0);
  const double p12 = steps[0][1] / (steps[0][0] + steps[0][1]), p21 = steps[1][0] / (steps[1][0] + steps[1][1]);
  // About 32,000 and 48,000 frames: standard errors of 0.003 and 0.002.
  EXPECT_NEAR(p12, 0.6 * decay, 0.012);
  EXPECT_NEAR(p21, 0.4 * decay, 0.008);
  // The stationary share of state 1 is k21 / s = 0.4, as the first frames are drawn.
  EXPECT_NEAR(frames[0] / (frames[0] + frames[1]), 0.4, 0.02);
}

TEST(SimulateContinuous, BleachingCutsTheTracesAndTracesRawTracesAndDwellListsTellOnePath) {
  const TempDir dir;
  const std::string common = " --molecules 200 --frames 1000 --bleach 100 --seed 9 --rates 1-2=1,2-3=1,3-1=1";
  ASSERT_EQ(RunProgram(VARNEL_SIMULATOR, "--continuous --out t" + common).status, 0);
  ASSERT_EQ(RunProgram(VARNEL_SIMULATOR, "--continuous --raw --out r" + common).status, 0);
  const ProgramRun dwells = RunProgram(VARNEL_SIMULATOR, "--continuous --dwells --out d" + common);
  ASSERT_EQ(dwells.status, 0) << dwells.err;
  // Per molecule, the dwells' frames and levels in order.
  std::map<int, std::vector<std::pair<double, long>>> listed;
  {
    std::ifstream in("d/dwells.txt");
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "molecule level frames");
    int molecule = 0;
    double level = 0;
    long length = 0;
    while (in >> molecule >> level >> length) listed[molecule].push_back({level, length});
  }
  ASSERT_EQ(listed.size(), 200u);
  double frames = 0;
  for (int m = 1; m <= 200; ++m) {
    char name[32];
    std::snprintf(name, sizeof name, "molecule_%04d.txt", m);
    const std::vector<double> values = Idealised(std::filesystem::path("t") / name);
    frames += static_cast<double>(values.size());
    // The raw trace's state column: the same states frame by frame, then dark to frame 1000.
    std::ifstream raw(std::filesystem::path("r") / name);
    std::string line;
    for (int k = 0; k < 3; ++k) std::getline(raw, line);
    std::vector<int> states;
    double frame = 0, donor = 0, acceptor = 0;
    int state = 0;
    while (raw >> frame >> donor >> acceptor >> state) states.push_back(state);
    ASSERT_EQ(states.size(), 1000u) << name;
    std::vector<std::pair<double, long>> runs;
    for (std::size_t f = 0; f < states.size(); ++f) {
      if (f < values.size()) {
        ASSERT_GE(states[f], 1) << name << " frame " << f + 1;
        // The levels 0.2, 0.5, 0.8 with state noise 0.02: the nearest is the state.
        EXPECT_EQ(states[f], static_cast<int>(std::lround((values[f] - 0.2) / 0.3)) + 1) << name;
        const double level = 0.2 + 0.3 * (states[f] - 1);
        if (runs.empty() || runs.back().first != level) runs.push_back({level, 0});
        ++runs.back().second;
      } else {
        EXPECT_EQ(states[f], 0) << name << " frame " << f + 1;
      }
    }
    EXPECT_EQ(runs.size(), listed[m].size()) << name;
    for (std::size_t k = 0; k < runs.size() && k < listed[m].size(); ++k) {
      EXPECT_NEAR(runs[k].first, listed[m][k].first, 1e-12) << name;
      EXPECT_EQ(runs[k].second, listed[m][k].second) << name;
    }
  }
  // Frames that end before an exponential time of mean 100 frames: floor(E), at least 2, mean
  // about 99.5; 200 molecules give a standard error of 7.
  EXPECT_NEAR(frames / 200, 99.5, 25);
  // The dwell list is a table varnel-import reads.
  const ProgramRun import = RunProgram(VARNEL_IMPORTER, "--dwells --out reports d/dwells.txt");
  EXPECT_EQ(import.status, 0) << import.err << import.out;
  EXPECT_EQ(RunProgram(VARNEL_SIMULATOR, "--dwells --out x --molecules 1").status, 2);
  EXPECT_EQ(RunProgram(VARNEL_SIMULATOR, "--continuous --rates 1-1=2 --out x --molecules 1").status, 2);
}

}  // namespace
