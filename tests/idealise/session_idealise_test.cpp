// Raw traces idealised through the session (the window's "Idealise raw traces..." is the window's
// tests'): the table written beside them, its reports loaded with the transitions of the most
// likely path, the figure of a molecule, and what is refused with nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>

#include "analysis/commands.h"
#include "analysis/session.h"
#include "export/tracefigure.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "platform/optionsform.h"
#include "reports/parallel.h"
#include "tests/support/options_form.h"
#include "tests/support/raw_traces.h"
#include "tests/support/temp_dir.h"

namespace {

const std::vector<std::vector<int>>& kDwells = kRawDwells;
constexpr double kLow = kLowLevel, kHigh = kHighLevel;

IdealiseArguments Arguments(std::vector<std::string> words) {
  std::string error;
  auto arguments = ParseIdealiseArguments(words, error);
  EXPECT_TRUE(arguments) << error;
  return arguments ? *arguments : IdealiseArguments{};
}

class IdealiseTest : public ::testing::Test {
 protected:
  std::vector<std::string> WriteMolecules() {
    std::vector<std::string> paths;
    for (std::size_t m = 0; m < kDwells.size(); ++m) {
      const std::string name = "m" + std::to_string(m + 1) + ".txt";
      dir.Write(name, RawTrace(kDwells[m], static_cast<unsigned>(m + 7)));
      paths.push_back(dir / name);
    }
    return paths;
  }
  TempDir dir;
};

std::string Joined(const Outcome& outcome) {
  std::string text;
  for (const Message& m : outcome.messages) text += m.text + "\n";
  return text;
}

TEST_F(IdealiseTest, RawTracesBecomeATableAndReportsWhoseTransitionsAreTheStepsOfTheirPath) {
  const std::vector<std::string> paths = WriteMolecules();
  Session session;
  ASSERT_TRUE(session.SetPeaks(1).done);
  const Outcome outcome = session.Idealise(paths, Arguments({"--fret", "fret", "--states", "1-3"}));
  ASSERT_TRUE(outcome.done) << Joined(outcome);
  EXPECT_NE(Joined(outcome).find("3 molecules of 470 frames idealised: BIC chooses 2 states"), std::string::npos)
      << Joined(outcome);
  // K must hold both states of every molecule.
  EXPECT_NE(Joined(outcome).find("\"Peaks in report\" became 2"), std::string::npos);
  EXPECT_EQ(session.Peaks(), 2);

  EXPECT_EQ(dir.Read("idealised.csv").substr(0, std::string(kIdealisedHeader).size() + 1),
            std::string(kIdealisedHeader) + "\n");
  ASSERT_EQ(session.Files().size(), kDwells.size());
  EXPECT_EQ(session.OutputFolder(), (dir.path() / "varnel-reports" / "").string());
  // Records (1, 2) and (2, 1) of each molecule's 2 x 2 count its steps; (i, i) its exits again.
  const std::size_t perMolecule = 4;
  for (std::size_t m = 0; m < kDwells.size(); ++m) {
    const double steps = session.Records()[m * perMolecule + 1].count + session.Records()[m * perMolecule + 2].count;
    EXPECT_EQ(steps, static_cast<double>(kDwells[m].size() - 1)) << "molecule " << m + 1;
    ASSERT_LT(m, session.Dwells().size());
    ASSERT_EQ(session.Dwells()[m].dwells.size(), kDwells[m].size());
    for (std::size_t d = 0; d < kDwells[m].size(); ++d)
      EXPECT_EQ(session.Dwells()[m].dwells[d].frames, kDwells[m][d]) << "molecule " << m + 1 << ", dwell " << d + 1;
  }

  const auto idealised = session.Idealised();
  ASSERT_TRUE(idealised);
  EXPECT_EQ(idealised->traces.front().name, "m1");
  EXPECT_NEAR(idealised->idealisation.Model().means[0], kLow, 0.01);
  EXPECT_NEAR(idealised->idealisation.Model().means[1], kHigh, 0.01);
  const std::string figure = TraceFigureFile(FigureFormat::Svg, *idealised, 2);
  EXPECT_NE(figure.find("<svg"), std::string::npos);
  EXPECT_NE(figure.find("m3: 210 frames, 4 transitions; BIC chooses 2 states"), std::string::npos);
  EXPECT_TRUE(TraceFigureFile(FigureFormat::Svg, *idealised, 3).empty());

  // Nothing is overwritten: the next table and its reports take new names. The table of the
  // first, among the files as a pattern takes it up, is no molecule of its own.
  std::vector<std::string> again = paths;
  again.push_back(dir / "idealised.csv");
  const Outcome second = session.Idealise(again, Arguments({"--fret", "1", "--states", "2", "--peaks", "3"}));
  ASSERT_TRUE(second.done) << Joined(second);
  EXPECT_EQ(second.messages.front().text,
            "Left out of the idealisation, as tables of idealised traces and no raw traces:\n" + dir / "idealised.csv");
  EXPECT_EQ(session.Files().size(), kDwells.size());
  EXPECT_TRUE(std::filesystem::exists(dir / "idealised-2.csv"));
  EXPECT_EQ(session.OutputFolder(), (dir.path() / "varnel-reports-2" / "").string());
  EXPECT_EQ(session.Peaks(), 3);
}

// The molecules of the test above, each moved by its own offset: +0.04, -0.02 and 0. The fit with
// --molecule-offsets finds the two levels again, the table gives each row its molecule's offset
// and, as the idealised value, a state's mean plus it, and the import of the table still sees
// each molecule's two levels and its dwells.
TEST_F(IdealiseTest, EachMoleculesOffsetReachesTheTableAndTheReportsKeepTheirDwells) {
  const double shifts[] = {0.04, -0.02, 0.0};
  std::vector<std::string> paths;
  for (std::size_t m = 0; m < kDwells.size(); ++m) {
    std::istringstream lines(RawTrace(kDwells[m], static_cast<unsigned>(m + 7)));
    std::string line, text;
    std::getline(lines, line);
    text = line + "\n";
    while (std::getline(lines, line)) text += std::to_string(std::stod(line) + shifts[m]) + "\n";
    const std::string name = "m" + std::to_string(m + 1) + ".txt";
    dir.Write(name, text);
    paths.push_back(dir / name);
  }
  Session session;
  const Outcome outcome = session.Idealise(paths, Arguments({"--fret", "fret", "--states", "1-3", "--molecule-offsets"}));
  ASSERT_TRUE(outcome.done) << Joined(outcome);
  const auto idealised = session.Idealised();
  ASSERT_TRUE(idealised);
  const HmmModel& model = idealised->idealisation.Model();
  ASSERT_EQ(model.states, 2);
  ASSERT_EQ(model.offsets.size(), 3u);
  // 105 to 210 frames of noise 0.03 a molecule: each offset within some 0.003 of the truth, less
  // the truths' mean over the frames (155, 105, 210 frames: 0.0017).
  const double centre = (155 * 0.04 - 105 * 0.02) / 470.0;
  for (std::size_t m = 0; m < 3; ++m) EXPECT_NEAR(model.offsets[m], shifts[m] - centre, 0.01) << m;
  EXPECT_NEAR(model.means[0], kLow + centre, 0.01);
  EXPECT_NEAR(model.means[1], kHigh + centre, 0.01);

  std::istringstream table(dir.Read("idealised.csv"));
  std::string row;
  std::getline(table, row);
  EXPECT_EQ(row, "molecule,frame,fret,idealised,offset");
  std::size_t rows = 0;
  while (std::getline(table, row)) {
    std::istringstream cells(row);
    std::string name, frame, fret, value, offset;
    std::getline(cells, name, ',');
    std::getline(cells, frame, ',');
    std::getline(cells, fret, ',');
    std::getline(cells, value, ',');
    std::getline(cells, offset, ',');
    const std::size_t m = static_cast<std::size_t>(name[1] - '1');
    ASSERT_LT(m, 3u) << row;
    EXPECT_EQ(std::stod(offset), model.offsets[m]) << row;
    const double level = std::stod(value) - model.offsets[m];
    EXPECT_TRUE(std::fabs(level - model.means[0]) < 1e-12 || std::fabs(level - model.means[1]) < 1e-12) << row;
    ++rows;
  }
  EXPECT_EQ(rows, 470u);
  ASSERT_EQ(session.Dwells().size(), kDwells.size());
  for (std::size_t m = 0; m < kDwells.size(); ++m) {
    ASSERT_EQ(session.Dwells()[m].dwells.size(), kDwells[m].size()) << m;
    for (std::size_t d = 0; d < kDwells[m].size(); ++d)
      EXPECT_EQ(session.Dwells()[m].dwells[d].frames, kDwells[m][d]) << "molecule " << m + 1 << ", dwell " << d + 1;
  }
}

// The rate matrix of the model itself. The molecules are a two-state chain seen once a frame,
// stepping 1 -> 2 with the chance a12 and 2 -> 1 with a21 a frame, at SNR 4. The generator whose
// expm(Q T) is a two-state step matrix A has k12 = -ln(1 - a12 - a21) a12 / ((a12 + a21) T)
// (and k21 alike): the eigenvalues of A are 1 and 1 - a12 - a21, those of Q 0 and -(k12 + k21).
TEST_F(IdealiseTest, TheModelsRateMatrixIsTheGeneratorOfItsOwnStepMatrixAndFindsTheChainsRates) {
  constexpr double a12 = 0.05, a21 = 0.08, exposure = 0.1, noise = 0.1;
  const auto generator = [&](double p12, double p21) {
    const double both = p12 + p21, scale = -std::log(1.0 - both) / (both * exposure);
    return std::pair{p12 * scale, p21 * scale};
  };
  const auto [k12, k21] = generator(a12, a21);
  std::mt19937_64 engine(11);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::normal_distribution<double> normal(0.0, noise);
  std::vector<std::string> words = {"idealise", "--fret", "fret", "--states", "2"};
  constexpr int kMolecules = 20, kFrames = 500;
  double stepped[4] = {};  // the true states' frames followed by each, row-major
  for (int m = 0; m < kMolecules; ++m) {
    int state = uniform(engine) < a21 / (a12 + a21) ? 0 : 1;  // the stationary chances
    std::string text = "fret\n";
    for (int f = 0; f < kFrames; ++f) {
      text += std::to_string((state == 0 ? 0.3 : 0.7) + normal(engine)) + "\n";
      const int before = state;
      if (uniform(engine) < (state == 0 ? a12 : a21)) state = 1 - state;
      if (f + 1 < kFrames) stepped[before * 2 + state] += 1;
    }
    dir.Write("chain" + std::to_string(m) + ".txt", text);
    words.push_back(dir / ("chain" + std::to_string(m) + ".txt"));
  }
  Session session;
  ASSERT_TRUE(session.SetExposure(exposure).done);
  const CommandResult result = RunCommand(session, words, {});
  ASSERT_TRUE(result.outcome.done) << Joined(result.outcome);
  ASSERT_TRUE(result.table);
  const kinetics::RateMatrix* matrix = session.HmmRateAnalysis();
  ASSERT_TRUE(matrix);
  ASSERT_TRUE(matrix->trouble.empty()) << matrix->trouble;
  ASSERT_EQ(matrix->rates.size(), 2u);
  const kinetics::PathRate& up = matrix->Rate(0, 1);
  const kinetics::PathRate& down = matrix->Rate(1, 0);

  // The step matrix the counts the model expects give, and the model's own, which EM left one
  // step before it.
  const StateCountFit& fit = session.Idealised()->idealisation.fits.front();
  ASSERT_EQ(fit.states, 2);
  double steps[4] = {};
  for (std::size_t e = 0; e < fit.expectedSteps.size(); ++e) steps[e % 4] += fit.expectedSteps[e];
  const auto [e12, e21] = generator(steps[1] / (steps[0] + steps[1]), steps[2] / (steps[2] + steps[3]));
  EXPECT_NEAR(up.rate, e12, 1e-6 * e12);
  EXPECT_NEAR(down.rate, e21, 1e-6 * e21);
  const std::span<const double> a = fit.model.Transitions(0);
  const auto [f12, f21] = generator(a[1], a[2]);
  EXPECT_NEAR(up.rate, f12, 1e-3 * f12);
  EXPECT_NEAR(down.rate, f21, 1e-3 * f21);
  // About 300 steps each way: the rates within 20 % of the chain's (3 standard errors). The
  // frames the noise hides cost them little: they lie within 5 % of the rates of the true states'
  // own steps, which their intervals hold.
  EXPECT_NEAR(up.rate, k12, 0.2 * k12);
  EXPECT_NEAR(down.rate, k21, 0.2 * k21);
  const auto [t12, t21] = generator(stepped[1] / (stepped[0] + stepped[1]), stepped[2] / (stepped[2] + stepped[3]));
  EXPECT_NEAR(up.rate, t12, 0.05 * t12);
  EXPECT_NEAR(down.rate, t21, 0.05 * t21);
  ASSERT_TRUE(up.interval && down.interval);
  EXPECT_TRUE(up.interval->low < t12 && t12 < up.interval->high);
  EXPECT_TRUE(down.interval->low < t21 && t21 < down.interval->high);
  EXPECT_EQ(up.molecules, kMolecules);

  // They are the rates of the results, and stand in the chosen row of the idealisation's table.
  const std::vector<DwellResultRow> rows = session.RateResults();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].estimator, "hmm-rate-matrix");
  EXPECT_EQ(rows[0].from, 1);
  EXPECT_EQ(rows[0].to, 2);
  EXPECT_EQ(rows[0].rate, up.rate);
  ASSERT_EQ(result.table->rows.size(), 1u);
  EXPECT_EQ(result.table->rows[0].back(), "chosen");
  EXPECT_EQ(result.table->rows[0][5].substr(0, 5), "1->2 ");
}

TEST_F(IdealiseTest, WhatCannotBeIdealisedIsSaidAndLeavesTheRecordsAndNoFiles) {
  const std::vector<std::string> paths = WriteMolecules();
  dir.Write("flat.txt", "fret\n0.5\n0.5\n0.5\n0.5\n");
  dir.Write("bad.txt", "fret\n0.5\noops\n");
  Session session;
  session.Adopt(TransitionRecords(std::vector<TransitionRecord>(100)));
  const auto refused = [&](const std::vector<std::string>& files, const IdealiseArguments& arguments,
                           WorkProgress* progress = nullptr) {
    const Outcome outcome = session.Idealise(files, arguments, progress);
    EXPECT_FALSE(outcome.done);
    EXPECT_EQ(session.Records().size(), 100u);
    EXPECT_FALSE(session.Idealised());
    EXPECT_FALSE(std::filesystem::exists(dir / "idealised.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "varnel-reports"));
    return Joined(outcome);
  };
  EXPECT_EQ(refused({dir / "bad.txt"}, Arguments({"--fret", "1"})),
            "Cannot idealise the traces: " + dir / "bad.txt" +
                ":3: \"oops\" where a number belongs (column 1). Nothing was written; the records loaded before "
                "are kept.\n");
  EXPECT_NE(refused({dir / "flat.txt"}, Arguments({"--fret", "1"})).find("every frame holds the one value 0.5"),
            std::string::npos);
  EXPECT_NE(refused({dir / "missing.txt"}, Arguments({"--fret", "1"})).find(dir / "missing.txt"), std::string::npos);
  WorkProgress stopped;
  stopped.stop.request_stop();
  EXPECT_EQ(refused(paths, Arguments({"--fret", "1"}), &stopped),
            "Stopped idealising the traces. Nothing was written; the records loaded before are kept.\n");
}

// Molecules left out by the reading (too few frames) or by the import (more levels than K) are
// an error that counts them, though the rest is idealised and loaded; the traces' time column
// is the exposure.
TEST_F(IdealiseTest, MoleculesLeftOutAreAnErrorThatCountsThemAndATimeColumnIsTheExposure) {
  const auto timed = [](const std::string& fret) {
    std::string text = "time fret\n";
    std::istringstream lines(fret.substr(fret.find('\n') + 1));
    std::string value;
    for (int frame = 0; std::getline(lines, value); ++frame) text += std::to_string(0.05 * frame) + " " + value + "\n";
    return text;
  };
  std::vector<std::string> paths;
  for (std::size_t m = 0; m < kDwells.size(); ++m) {
    const std::string name = "m" + std::to_string(m + 1) + ".txt";
    dir.Write(name, timed(RawTrace(kDwells[m], static_cast<unsigned>(m + 7))));
    paths.push_back(dir / name);
  }
  dir.Write("low.txt", timed(RawTrace({120}, 3)));  // one level only
  dir.Write("short.txt", "time fret\n0 0.3\n");
  paths.push_back(dir / "low.txt");
  paths.push_back(dir / "short.txt");
  Session session;
  ASSERT_DOUBLE_EQ(session.Exposure(), 0.1);
  const Outcome outcome = session.Idealise(paths, Arguments({"--fret", "fret", "--states", "1-3", "--peaks", "1"}));
  ASSERT_TRUE(outcome.done) << Joined(outcome);
  std::vector<std::string> errors;
  for (const Message& m : outcome.messages)
    if (m.severity == Severity::Error) errors.push_back(m.text);
  ASSERT_EQ(errors.size(), 2u) << Joined(outcome);
  EXPECT_EQ(errors[0].rfind("1 molecule of 5 left out of the idealisation:\n" + dir / "short.txt", 0), 0u) << errors[0];
  EXPECT_EQ(errors[1].rfind("3 molecules of 4 idealised got no report", 0), 0u) << errors[1];
  EXPECT_NE(errors[1].find("--peaks 2 or more would hold them all"), std::string::npos) << errors[1];
  EXPECT_EQ(session.Files().size(), 1u);
  EXPECT_NEAR(session.Exposure(), 0.05, 1e-12);
  EXPECT_NE(Joined(outcome).find("The frame time is 0.05 s, from the time column of " + dir / "m1.txt"),
            std::string::npos)
      << Joined(outcome);

  // A frame time given that the column does not bear out is refused.
  const Outcome refused =
      session.Idealise(paths, Arguments({"--fret", "fret", "--states", "1-3", "--frame-time", "0.1"}));
  EXPECT_FALSE(refused.done);
  EXPECT_NE(Joined(refused).find("its time column steps 0.05 s a frame, but --frame-time gives 0.1 s"),
            std::string::npos)
      << Joined(refused);
}

// Donor and acceptor of three molecules at brightness 250, 1000 and 4000, each frame's FRET
// noise 0.03 sqrt(1000 / its total): the median total of all frames is 1000 (frames 156 to 260
// of 470 in order of brightness), and the widths there are 0.03, where one width for every frame
// is the mixture's, 0.03 sqrt((155 x 4 + 105 + 210 / 4) / 470) = 0.0386.
TEST_F(IdealiseTest, WithDonorAndAcceptorEachFramesWidthFollowsItsBrightness) {
  const double brightness[] = {250, 1000, 4000};
  std::vector<std::string> paths;
  std::mt19937_64 engine(11);
  std::normal_distribution<double> noise(0.0, 1.0);
  for (std::size_t m = 0; m < kDwells.size(); ++m) {
    std::string text = "donor acceptor\n";
    for (std::size_t d = 0; d < kDwells[m].size(); ++d)
      for (int t = 0; t < kDwells[m][d]; ++t) {
        const double n = brightness[m];
        const double fret = (d % 2 ? kHigh : kLow) + 0.03 * std::sqrt(1000 / n) * noise(engine);
        text += std::to_string(n * (1 - fret)) + " " + std::to_string(n * fret) + "\n";
      }
    const std::string name = "m" + std::to_string(m + 1) + ".txt";
    dir.Write(name, text);
    paths.push_back(dir / name);
  }
  Session session;
  const Outcome outcome = session.Idealise(paths, Arguments({"--states", "1-3"}));
  ASSERT_TRUE(outcome.done) << Joined(outcome);
  EXPECT_NE(Joined(outcome).find(" at the median brightness 1000.000)"), std::string::npos) << Joined(outcome);
  const HmmModel& model = session.Idealised()->idealisation.Model();
  ASSERT_EQ(model.states, 2);
  for (const double width : model.widths) EXPECT_NEAR(width, 0.03, 0.004);
  const Outcome even = session.Idealise(paths, Arguments({"--states", "1-3", "--even-widths"}));
  ASSERT_TRUE(even.done) << Joined(even);
  EXPECT_EQ(Joined(even).find("median brightness"), std::string::npos) << Joined(even);
  for (const double width : session.Idealised()->idealisation.Model().widths) EXPECT_NEAR(width, 0.0386, 0.004);
}

// The idealise form's defaults with the fields named in `set` changed.
OptionValues Chosen(const std::map<std::string, std::string>& set) { return ChosenIn(IdealiseOptionsForm(), set); }

TEST(IdealiseForm, ItsChoicesMakeWordsTheIdealisationReadsAndRefusesWhatDoesNotGoTogether) {
  const OptionsForm& form = IdealiseOptionsForm();
  const auto words = OptionWordsOf(form, Chosen({{"layout", "table"},
                                                 {"molecule", "trace"},
                                                 {"signal", "fret"},
                                                 {"fret", "E"},
                                                 {"states", "2-3"},
                                                 {"peaks", "4"}}));
  EXPECT_EQ(words, (std::vector<std::string>{"--molecule", "trace", "--fret", "E", "--states", "2-3", "--peaks", "4"}));
  EXPECT_EQ(OptionWordsOf(form, OptionValuesOf(form, words)), words);
  std::vector<std::string> answer = words;
  answer.push_back("/raw/a.csv");
  EXPECT_EQ(LeadingOptionWords(answer, IdealiseOptionWords), words.size());
  const IdealiseArguments arguments = Arguments(answer);
  EXPECT_EQ(arguments.raw.layout.layout, TraceLayout::Table);
  EXPECT_EQ(arguments.hmm.leastStates, 2);
  EXPECT_EQ(arguments.peaks, 4);
  EXPECT_EQ(arguments.paths, std::vector<std::string>{"/raw/a.csv"});
  // The offsets' field is a flag: one word, no value.
  const auto offsets = OptionWordsOf(form, Chosen({{"molecule-offsets", "1"}}));
  EXPECT_EQ(offsets, std::vector<std::string>{"--molecule-offsets"});
  answer = offsets;
  answer.push_back("/raw/a.csv");
  EXPECT_EQ(LeadingOptionWords(answer, IdealiseOptionWords), 1u);
  EXPECT_TRUE(Arguments(answer).hmm.moleculeOffsets);

  // The intensities' columns go in pairs; a state count beyond the model's is no choice.
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"donor", "2"}})), "--donor and --acceptor go together");
  EXPECT_TRUE(OptionValuesRefused(form, Chosen({{"states", "1-11"}})));
  // A FRET column has no brightness for its widths to follow.
  std::string error;
  EXPECT_FALSE(ParseIdealiseArguments(std::vector<std::string>{"--fret", "2", "--even-widths", "a.txt"}, error));
  EXPECT_NE(error.find("--even-widths goes with --donor and --acceptor"), std::string::npos) << error;
}

// A molecule rejected, by hand or by a rule, leaves every rate: the records and dwells are the
// kept molecules' reports, the lock is made again, and the model's own rate matrix counts the
// kept molecules' frames alone. What cannot be chosen changes nothing.
TEST_F(IdealiseTest, RejectedMoleculesStayOutOfEveryRate) {
  const std::vector<std::string> paths = WriteMolecules();
  Session session;
  ASSERT_TRUE(session.SetPeaks(1).done);
  ASSERT_TRUE(session.Idealise(paths, Arguments({"--fret", "fret", "--states", "1-3"})).done);
  ASSERT_TRUE(session.SetStates(2).done);
  const double between = (kLow + kHigh) / 2;
  ASSERT_TRUE(session.SetCutoffs(std::span(&between, 1)).done);
  ASSERT_TRUE(session.Lock().done);
  // Every frame but a molecule's last is followed by another: m1 155 frames, m2 105, m3 210.
  const auto modelSteps = [&] {
    const kinetics::RateMatrix* matrix = session.HmmRateAnalysis();
    double sum = 0;
    for (double c : matrix ? matrix->counts : std::vector<double>{}) sum += c;
    return sum;
  };
  EXPECT_NEAR(modelSteps(), 154 + 104 + 209, 1e-6);

  CommandResult result = RunCommand(session, {"molecules", "reject", "m1"});
  ASSERT_TRUE(result.outcome.done) << Joined(result.outcome);
  EXPECT_EQ(session.KeptMolecules(), (std::vector<bool>{false, true, true}));
  ASSERT_EQ(session.Files().size(), 2u);
  ASSERT_EQ(session.Dwells().size(), 2u);
  EXPECT_EQ(session.Dwells()[0].dwells.size(), kDwells[1].size());
  EXPECT_TRUE(session.Locked());
  double steps = 0;  // the off-diagonal records: a kept molecule's dwells less one
  for (std::size_t r = 0; r < session.Records().size(); r += 4)
    steps += session.Records()[r + 1].count + session.Records()[r + 2].count;
  EXPECT_EQ(steps, 2 + 4);
  EXPECT_EQ(session.HmmRateAnalysis()->molecules, 2);
  EXPECT_NEAR(modelSteps(), 104 + 209, 1e-6);
  ASSERT_TRUE(result.table);
  EXPECT_EQ(result.table->rows[0].back(), "rejected");

  // A rule replaces the choice by hand: m1 comes back, m2 of 105 frames goes.
  result = RunCommand(session, {"molecules", "rule", "--min-frames", "120"});
  ASSERT_TRUE(result.outcome.done);
  EXPECT_EQ(session.KeptMolecules(), (std::vector<bool>{true, false, true}));
  EXPECT_NE(Joined(result.outcome).find("m2: 105 frames, fewer than 120"), std::string::npos) << Joined(result.outcome);
  EXPECT_NEAR(modelSteps(), 154 + 209, 1e-6);

  for (const std::vector<std::string>& words : {std::vector<std::string>{"molecules", "reject", "m9"},
                                                {"molecules", "reject", "all"}}) {
    result = RunCommand(session, words);
    EXPECT_FALSE(result.outcome.done) << words.back();
    EXPECT_EQ(session.KeptMolecules(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(session.Files().size(), 2u);
  }
  EXPECT_TRUE(RunCommand(session, {"molecules", "rule", "--min-snr", "0"}).wrongWords);
  // Once other reports are loaded, the idealisation's molecules are no longer the records.
  ASSERT_TRUE(session.Load({session.Files().front()}).done);
  EXPECT_FALSE(RunCommand(session, {"molecules", "keep", "all"}).outcome.done);
}

}  // namespace
