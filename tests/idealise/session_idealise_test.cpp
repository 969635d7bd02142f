// Raw traces idealised through the session (the window's "Idealise raw traces..." is the window's
// tests'): the table written beside them, its reports loaded with the transitions of the most
// likely path, the figure of a molecule, and what is refused with nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

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

  // The intensities' columns go in pairs; a state count beyond the model's is no choice.
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"donor", "2"}})), "--donor and --acceptor go together");
  EXPECT_TRUE(OptionValuesRefused(form, Chosen({{"states", "1-11"}})));
}

}  // namespace
