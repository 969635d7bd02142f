// The import's options form: whatever a person chooses there is either refused in the form with
// a reason, or written as words that the import reads as the same options and that the file
// dialog's answer keeps apart from the paths.
#include <gtest/gtest.h>

#include <map>

#include "import/importoptions.h"
#include "platform/optionsform.h"
#include "tests/support/options_form.h"

namespace {

using Words = std::vector<std::string>;

// The form's defaults with the fields named in `set` changed.
OptionValues Chosen(const std::map<std::string, std::string>& set) { return ChosenIn(ImportOptionsForm(), set); }

// The options the import reads from the words the values make, after checking that the words
// read back as the same values and that the words stand apart from a path after them.
ImportOptions Imported(const OptionValues& values, const Words& expected) {
  const OptionsForm& form = ImportOptionsForm();
  EXPECT_EQ(OptionValuesRefused(form, values), std::nullopt);
  const Words words = OptionWordsOf(form, values);
  EXPECT_EQ(words, expected);
  EXPECT_EQ(OptionWordsOf(form, OptionValuesOf(form, words)), words);
  Words answer = words;
  answer.push_back("/traces/a.txt");
  EXPECT_EQ(LeadingOptionWords(answer, ImportOptionWords), words.size());
  std::string error;
  const auto arguments = ParseImportArguments(answer, error);
  EXPECT_TRUE(arguments) << error;
  if (!arguments) return {};
  EXPECT_EQ(arguments->paths, Words{"/traces/a.txt"});
  return arguments->options;
}

TEST(ImportForm, EachLayoutMakesWordsTheImportReadsAsTheSameOptions) {
  const ImportOptions plain = Imported(Chosen({}), {});
  EXPECT_EQ(plain.layout, TraceLayout::OnePerFile);
  EXPECT_FALSE(plain.column);
  EXPECT_FALSE(plain.peaks);
  EXPECT_EQ(plain.prefix, "molecule");

  const ImportOptions column =
      Imported(Chosen({{"column", "idealised"}, {"peaks", "6"}, {"out", "/data/my reports"}, {"prefix", "trace"}}),
               {"--column", "idealised", "--peaks", "6", "--out", "/data/my reports", "--prefix", "trace"});
  ASSERT_TRUE(column.column);
  EXPECT_EQ(column.column->name, "idealised");
  EXPECT_EQ(column.peaks, 6);
  EXPECT_EQ(column.out, "/data/my reports");
  EXPECT_EQ(column.prefix, "trace");

  // The columns of the layouts not chosen are left out.
  const ImportOptions table = Imported(
      Chosen({{"layout", "table"}, {"table-molecule", "id"}, {"table-value", "3"}, {"column", "9"}, {"length", "7"}}),
      {"--molecule", "id", "--value", "3"});
  EXPECT_EQ(table.layout, TraceLayout::Table);
  EXPECT_EQ(table.molecule.name, "id");
  EXPECT_EQ(table.value.number, 3);
  EXPECT_FALSE(table.frame);
  const ImportOptions framed =
      Imported(Chosen({{"layout", "table"}, {"table-molecule", "1"}, {"table-value", "2"}, {"frame", "t"}}),
               {"--molecule", "1", "--value", "2", "--frame", "t"});
  ASSERT_TRUE(framed.frame);
  EXPECT_EQ(framed.frame->name, "t");

  const ImportOptions dwells = Imported(Chosen({{"layout", "dwells"}}), {"--dwells"});
  EXPECT_EQ(dwells.layout, TraceLayout::Dwells);
  EXPECT_EQ(dwells.molecule.number, 1);
  EXPECT_EQ(dwells.value.number, 2);
  EXPECT_EQ(dwells.length.number, 3);
  const ImportOptions named = Imported(Chosen({{"layout", "dwells"}, {"dwell-value", "level"}, {"length", "4"}}),
                                       {"--dwells", "--value", "level", "--length", "4"});
  EXPECT_EQ(named.value.name, "level");
  EXPECT_EQ(named.length.number, 4);

  const ImportOptions merged = Imported(Chosen({{"states", "auto"}}), {"--states", "auto"});
  ASSERT_TRUE(merged.states);
  EXPECT_TRUE(merged.states->automatic);
  const ImportOptions bounded = Imported(Chosen({{"states", "0.3,0.6"}}), {"--states", "0.3,0.6"});
  ASSERT_TRUE(bounded.states);
  EXPECT_EQ(bounded.states->bounds, (std::vector<double>{0.3, 0.6}));
  EXPECT_FALSE(plain.states);
}

TEST(ImportForm, ScriptWordsOpenTheFormOnTheirLayout) {
  const OptionsForm& form = ImportOptionsForm();
  EXPECT_EQ(OptionValuesOf(form, {"--value=state", "--molecule", "id"}),
            Chosen({{"layout", "table"}, {"table-molecule", "id"}, {"table-value", "state"}}));
  EXPECT_EQ(OptionValuesOf(form, {"--length", "4", "--dwells", "--peaks", "3"}),
            Chosen({{"layout", "dwells"}, {"length", "4"}, {"peaks", "3"}}));
  // A layout named as a script names it, in one word or two.
  for (const std::vector<std::string>& words : {std::vector<std::string>{"--layout=dwt", "--peaks", "3"},
                                                std::vector<std::string>{"--layout", "dwt", "--peaks", "3"}})
    EXPECT_EQ(OptionValuesOf(form, words), Chosen({{"layout", "dwt"}, {"peaks", "3"}}))
        << ::testing::PrintToString(words);
}

TEST(ImportForm, WhatTheImportWouldRefuseIsRefusedInTheForm) {
  const OptionsForm& form = ImportOptionsForm();
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"layout", "table"}, {"table-value", "2"}})),
            "Molecule column is needed");
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"peaks", "1001"}})),
            "Peaks per report (K): enter a whole number from 1 to 1000, not \"1001\"");
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"prefix", "a/b"}})), "--prefix must be a name without '/', not 'a/b'");
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"column", "0"}})), "--column: columns are numbered from 1");
  EXPECT_EQ(OptionValuesRefused(form, Chosen({{"states", "0.5,0.3"}})),
            "--states: the bounds must increase, but in '0.5,0.3' 0.3 follows 0.5");
}

}  // namespace
