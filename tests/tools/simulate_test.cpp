// The report simulator, run as a program: command line, file layout,
// reproducibility and, above all, that its reports carry the rates it claims.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The simulator's reports go into `folder`, relative to the test's directory.
std::string OutTo(const std::string& folder) { return "--out '" + folder + "' "; }

ProgramRun Simulate(const std::string& arguments) { return RunProgram(VARNEL_SIMULATOR, arguments); }

std::vector<fs::path> ReportsIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (fs::is_directory(folder))
    for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

struct Record {
  double initial, finalValue, rate, spare, transitions;
};

struct Report {
  int headerLines = 0;
  std::size_t numbers = 0;
  bool onlyNumbers = false;
  std::vector<Record> records;
};

Report readReport(const fs::path& path) {
  std::istringstream text(readFile(path));
  Report report;
  std::string line;
  while (report.headerLines < 4 && std::getline(text, line)) ++report.headerLines;
  std::vector<double> v;
  for (double value = 0.0; text >> value;) v.push_back(value);
  report.onlyNumbers = text.eof();
  report.numbers = v.size();
  for (std::size_t i = 0; i + 5 <= v.size(); i += 5)
    report.records.push_back({v[i], v[i + 1], v[i + 2], v[i + 3], v[i + 4]});
  return report;
}

struct ClassRate {
  int from, to;
  double rate;
};

std::vector<ClassRate> parseRates(const std::string& table) {
  std::vector<ClassRate> rates;
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    ClassRate entry{};
    char tail = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "%d->%d %lf%c", &entry.from, &entry.to, &entry.rate, &tail), 3) << line;
    rates.push_back(entry);
  }
  return rates;
}

TEST(SimulatorCommandLine, RefusesBadArgumentsWithStatus2AndWritesNothing) {
  const TempDir dir;
  const std::string out = OutTo("reports");
  const std::string m3 = out + "--molecules 3 ";
  for (const std::string& arguments :
       {std::string(), out, std::string("--molecules 3"), out + "--molecules 0", out + "--molecules 3x", m3 + "--peaks 1", m3 + "--peaks 1001", m3 + "--states 0.5",
        m3 + "--states 0.5,0.2", m3 + "--states 0.2,1.5", m3 + "--states 0.2,,0.5", m3 + "--exposure 0",
        m3 + "--scatter -0.1", m3 + "--noise nan", m3 + "--seed -1", m3 + "--seed 18446744073709551616",
        m3 + "--prefix a/b", m3 + "--bogus 1", m3 + "--seed"}) {
    const auto run = Simulate(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_FALSE(run.err.empty()) << arguments;
    EXPECT_TRUE(ReportsIn("reports").empty()) << arguments;
  }
  const auto help = Simulate("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--molecules"), std::string::npos);
}

TEST(SimulatorFiles, OneZeroPaddedReportPerMoleculeWithFourHeaderLinesAndKxKRecords) {
  // K = 2 is below the three default states: a molecule then visits only two.
  for (const std::size_t k : {10u, 3u, 2u}) {
    const TempDir dir;
    const auto run = Simulate(OutTo("reports") + "--molecules 12 --prefix mol --peaks " + std::to_string(k));
    ASSERT_EQ(run.status, 0) << run.err;
    const auto files = ReportsIn("reports");
    ASSERT_EQ(files.size(), 12u);
    EXPECT_EQ(files.front().filename(), "mol_0001.dat");
    EXPECT_EQ(files.back().filename(), "mol_0012.dat");
    for (const auto& file : files) {
      const Report report = readReport(file);
      EXPECT_EQ(report.headerLines, 4) << file;
      EXPECT_TRUE(report.onlyNumbers) << file;
      ASSERT_EQ(report.numbers, 5 * k * k) << file;

      // Visited states fill the first slots; their diagonal records carry the
      // state's value and a positive count; every other slot is unused.
      const auto& records = report.records;
      std::size_t used = 0;
      while (used < k && records[used * k + used].transitions > 0) ++used;
      EXPECT_GE(used, 2u) << file;
      EXPECT_LE(used, std::min<std::size_t>(3, k)) << file;
      for (std::size_t a = 0; a < k; ++a) {
        for (std::size_t b = 0; b < k; ++b) {
          const Record& r = records[a * k + b];
          const std::string where = file.string() + " slot " + std::to_string(a) + "," + std::to_string(b);
          if (a >= used || b >= used) {
            EXPECT_EQ(r.transitions, 0.0) << where;
            continue;
          }
          EXPECT_EQ(r.initial, records[a * k + a].initial) << where;
          EXPECT_EQ(r.finalValue, records[b * k + b].initial) << where;
          EXPECT_TRUE(r.initial >= 0.0 && r.initial <= 1.0) << where;
          EXPECT_GE(r.transitions, 1.0) << where;
          EXPECT_EQ(r.transitions, std::floor(r.transitions)) << where;
          if (a != b) {
            EXPECT_NE(r.initial, r.finalValue) << where;
            EXPECT_GT(r.rate, 0.00001) << where;  // passes the map's record filter
          }
        }
      }
    }
  }
}

TEST(SimulatorFiles, SameSeedGivesTheSameBytesAndMoleculesDoNotDependOnTheCount) {
  const TempDir dir;
  ASSERT_EQ(Simulate(OutTo("first") + "--molecules 5 --seed 11").status, 0);
  ASSERT_EQ(Simulate(OutTo("again") + "--molecules 5 --seed 11").status, 0);
  ASSERT_EQ(Simulate(OutTo("other") + "--molecules 5 --seed 12").status, 0);
  ASSERT_EQ(Simulate(OutTo("fewer") + "--molecules 3 --seed 11").status, 0);
  const auto files = ReportsIn("first");
  ASSERT_EQ(files.size(), 5u);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string bytes = readFile(files[i]);
    const auto name = files[i].filename();
    EXPECT_EQ(bytes, readFile("again" / name)) << name;
    EXPECT_NE(bytes, readFile("other" / name)) << name;
    if (i < 3) {
      EXPECT_EQ(bytes, readFile("fewer" / name)) << name;
    }
  }
}

// Traces: one file of frames per molecule, numbered 1 ..., a noisy signal around an idealised
// column that takes only the molecule's own observed state values; the same rate table as the
// reports; an exposure that would leave a state with a chance of 1 per frame is refused.
TEST(SimulatorTraces, FramesOfTheChainAtTheMoleculesLevelsWithTheReportsRates) {
  const TempDir dir;
  const auto reports = Simulate(OutTo("reports") + "--molecules 2");
  const auto traces = Simulate(OutTo("traces") + "--molecules 3 --traces --frames 400 --prefix m");
  ASSERT_EQ(traces.status, 0) << traces.err;
  const auto rows = [](const std::string& table) {
    std::string kept;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("#", 0) != 0) kept += line + "\n";
    return kept;
  };
  EXPECT_EQ(rows(traces.out), rows(reports.out));
  const auto files = ReportsIn("traces");
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files.front().filename(), "m_0001.txt");
  for (const auto& file : files) {
    std::istringstream text(readFile(file));
    std::string line;
    for (int header = 0; header < 3; ++header) std::getline(text, line);
    EXPECT_EQ(line, "frame signal idealised");
    std::vector<double> levels;
    long frames = 0, steps = 0;
    double frame = 0, signal = 0, idealised = 0, previous = -1;
    while (text >> frame >> signal >> idealised) {
      EXPECT_EQ(frame, ++frames) << file;
      EXPECT_LT(std::fabs(signal - idealised), 0.5) << file;  // ten times the signal noise
      if (std::find(levels.begin(), levels.end(), idealised) == levels.end()) levels.push_back(idealised);
      steps += frames > 1 && idealised != previous;
      previous = idealised;
    }
    EXPECT_TRUE(text.eof()) << file;
    EXPECT_EQ(frames, 400) << file;
    EXPECT_LE(levels.size(), 3u) << file;
    EXPECT_GT(steps, 0) << file;
  }
  EXPECT_EQ(Simulate(OutTo("more") + "--molecules 1 --traces --peaks 3").status, 2);
  EXPECT_EQ(Simulate(OutTo("more") + "--molecules 1 --traces --exposure 2").status, 2);
  EXPECT_TRUE(ReportsIn("more").empty());
}

// ln(rate per frame) and transition count of every off-diagonal record, by
// class i->j of the nearest true state (states numbered from 1).
using Classes = std::map<std::pair<int, int>, std::vector<std::pair<double, double>>>;

Classes classify(const fs::path& folder, const std::vector<double>& states) {
  const auto nearest = [&](double value) {
    int best = 0;
    for (int s = 1; s < static_cast<int>(states.size()); ++s)
      if (std::fabs(value - states[s]) < std::fabs(value - states[best])) best = s;
    // At least five times the state noise of the runs below.
    EXPECT_LT(std::fabs(value - states[best]), 0.1) << "value " << value << " far from any state";
    return best + 1;
  };
  Classes classes;
  for (const auto& file : ReportsIn(folder))
    for (const Record& r : readReport(file).records)
      if (r.transitions > 0 && r.initial != r.finalValue)
        classes[{nearest(r.initial), nearest(r.finalValue)}].emplace_back(std::log(r.rate), r.transitions);
  return classes;
}

// The mean of n values of ln(rate per frame), each scattered with sd `scatter`,
// has standard error scatter / sqrt(n); we allow 5 of them. A faithful
// simulator fails that by chance less than once in a million per class (and
// the seed is fixed), while a wrong centre (a missing exposure factor, a
// decimal logarithm, the rate of the reverse class) is off by tens of standard
// errors. Weighting by the number of transitions, as the map and the classes
// do by default, must not move the centre either; its standard error uses
// Kish's effective sample size (sum w)^2 / sum w^2. The sample sd, whose
// relative standard error is about 1 / sqrt(2n) < 5%, must be within 20% of
// `scatter`.
Classes expectRatesMatch(const std::string& arguments, const std::vector<double>& states, double exposure,
                         double scatter, std::vector<ClassRate>& truth) {
  const TempDir dir;
  const auto run = Simulate(OutTo("reports") + arguments);
  EXPECT_EQ(run.status, 0) << run.err;
  truth = parseRates(run.out);
  const int n = static_cast<int>(states.size());
  EXPECT_EQ(truth.size(), static_cast<std::size_t>(n * (n - 1)));
  const Classes classes = classify("reports", states);
  for (std::size_t row = 0; row < truth.size(); ++row) {
    const auto [i, j] = std::make_pair(truth[row].from, truth[row].to);
    const int expectedFrom = static_cast<int>(row) / (n - 1) + 1;
    const int expectedTo = static_cast<int>(row) % (n - 1) + 1;
    EXPECT_EQ(std::make_pair(i, j), std::make_pair(expectedFrom, expectedTo + (expectedTo >= expectedFrom ? 1 : 0)))
        << "not in row-major order";
    const double centre = std::log(truth[row].rate * exposure);
    EXPECT_TRUE(centre > -9.0 && centre < -1.0) << i << "->" << j << " outside the histogram";
    const auto found = classes.find({i, j});
    if (found == classes.end() || found->second.size() < 100) {
      ADD_FAILURE() << i << "->" << j << " has fewer than 100 records";
      continue;
    }
    const double size = static_cast<double>(found->second.size());
    double sum = 0.0, sumSq = 0.0, w = 0.0, wSq = 0.0, wLn = 0.0;
    for (const auto& [ln, weight] : found->second) {
      sum += ln;
      sumSq += ln * ln;
      w += weight;
      wSq += weight * weight;
      wLn += weight * ln;
    }
    const double mean = sum / size;
    EXPECT_NEAR(mean, centre, 5.0 * scatter / std::sqrt(size)) << i << "->" << j;
    EXPECT_NEAR(wLn / w, centre, 5.0 * scatter / std::sqrt(w * w / wSq)) << i << "->" << j << " weighted";
    EXPECT_NEAR(std::sqrt((sumSq - size * mean * mean) / (size - 1.0)), scatter, 0.2 * scatter) << i << "->" << j;
  }
  return classes;
}

TEST(SimulatorStatistics, DefaultModelHasItsDocumentedRatesAndReportsCarryThem) {
  std::vector<ClassRate> truth;
  const Classes classes = expectRatesMatch("--molecules 400 --seed 2024", {0.2, 0.5, 0.8}, 0.1, 0.25, truth);
  const std::vector<double> documented = {0.5, 0.1, 0.3, 0.8, 0.05, 0.2};
  ASSERT_EQ(truth.size(), documented.size());
  for (std::size_t c = 0; c < truth.size(); ++c) EXPECT_DOUBLE_EQ(truth[c].rate, documented[c]);

  // Faster classes report more transitions per record.
  std::sort(truth.begin(), truth.end(), [](const ClassRate& a, const ClassRate& b) { return a.rate < b.rate; });
  double previous = 0.0;
  for (const ClassRate& rate : truth) {
    const auto& sample = classes.at({rate.from, rate.to});
    double mean = 0.0;
    for (const auto& entry : sample) mean += entry.second / static_cast<double>(sample.size());
    EXPECT_GT(mean, previous) << rate.from << "->" << rate.to;
    previous = mean;
  }
}

TEST(SimulatorStatistics, OtherStatesExposureAndScatterFollowThePrintedRates) {
  std::vector<ClassRate> truth;
  expectRatesMatch(
      "--molecules 500 --seed 77 --states 0.1,0.3,0.5,0.7,0.9 --exposure 0.05 --scatter 0.4 "
      "--noise 0.01",
      {0.1, 0.3, 0.5, 0.7, 0.9}, 0.05, 0.4, truth);
}

}  // namespace
