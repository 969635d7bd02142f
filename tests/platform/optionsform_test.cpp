// An options form's values and words: what the values write, what words read back, and what is
// refused, on a form that has every kind of field and fields shown only with some choices.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/optionsform.h"

namespace {

using Words = std::vector<std::string>;

std::optional<std::string> NoFilledGreen(const Words& words) {
  const auto has = [&](const char* word) { return std::find(words.begin(), words.end(), word) != words.end(); };
  if (has("green") && has("--filled")) return std::string("green shapes are never filled");
  return std::nullopt;
}

// shape, square-size, star-size, points, radius, scale, colour, label, filled
OptionsForm ShapeForm() {
  OptionsForm form;
  form.title = "Shape options";
  form.check = NoFilledGreen;
  form.fields = {
      {.name = "shape",
       .label = "Shape",
       .kind = OptionKind::Choice,
       .choices = {{"round", "Round", ""}, {"square", "Square", ""}, {"star", "Star", "--star"}},
       .defaultValue = "round"},
      {.name = "square-size",
       .option = "--size",
       .label = "Side",
       .required = true,
       .shownWith = "shape",
       .shownFor = {"square"}},
      {.name = "star-size",
       .option = "--size",
       .label = "Size",
       .kind = OptionKind::Number,
       .defaultValue = "1",
       .shownWith = "shape",
       .shownFor = {"star"}},
      {.name = "points",
       .option = "--points",
       .label = "Points",
       .kind = OptionKind::WholeNumber,
       .defaultValue = "5",
       .minimum = 3,
       .maximum = 12,
       .shownWith = "shape",
       .shownFor = {"star"}},
      {.name = "radius",
       .option = "--radius",
       .label = "Radius",
       .kind = OptionKind::WholeNumber,
       .blank = "auto",
       .minimum = 1,
       .maximum = 50,
       .shownWith = "shape",
       .shownFor = {"round"}},
      {.name = "scale", .option = "--scale", .label = "Scale", .kind = OptionKind::Number},
      {.name = "colour",
       .option = "--colour",
       .label = "Colour",
       .kind = OptionKind::Choice,
       .choices = {{"red", "Red", ""}, {"green", "Green", ""}, {"blue", "Blue", ""}},
       .defaultValue = "red"},
      {.name = "label", .option = "--label", .label = "Label", .defaultValue = "none"},
      {.name = "filled", .option = "--filled", .label = "Filled", .kind = OptionKind::Flag},
  };
  return form;
}

TEST(OptionsForm, DefaultsAndMissingValuesWriteNoWords) {
  const OptionsForm form = ShapeForm();
  EXPECT_EQ(OptionWordsOf(form, DefaultOptionValues(form)), Words{});
  EXPECT_EQ(OptionWordsOf(form, {}), Words{});
  OptionValues emptied = DefaultOptionValues(form);
  emptied[7] = "";  // an emptied text stands for its default
  EXPECT_EQ(OptionWordsOf(form, emptied), Words{});
}

TEST(OptionsForm, AFieldWritesItsWordsOnlyWhileItsChoiceShowsIt) {
  const OptionsForm form = ShapeForm();
  const OptionValues square = {"square", "4", "2", "7", "9", "0.5", "blue", "tag", "1"};
  EXPECT_EQ(OptionWordsOf(form, square),
            (Words{"--size", "4", "--scale", "0.5", "--colour", "blue", "--label", "tag", "--filled"}));
  EXPECT_FALSE(OptionFieldCounts(form, square, 2));
  EXPECT_TRUE(OptionFieldCounts(form, square, 1));
  OptionValues star = square;
  star[0] = "star";
  EXPECT_EQ(OptionWordsOf(form, star), (Words{"--star", "--size", "2", "--points", "7", "--scale", "0.5", "--colour",
                                              "blue", "--label", "tag", "--filled"}));
  OptionValues round = square;
  round[0] = "round";
  round[8] = "";
  EXPECT_EQ(OptionWordsOf(form, round),
            (Words{"--radius", "9", "--scale", "0.5", "--colour", "blue", "--label", "tag"}));
}

TEST(OptionsForm, WordsReadBackAsTheValuesThatWriteThem) {
  const OptionsForm form = ShapeForm();
  for (const Words& words : {Words{}, Words{"--size", "4"}, Words{"--star", "--size", "2.5", "--points", "3"},
                             Words{"--radius", "9", "--colour", "green", "--label", "two words", "--filled"}})
    EXPECT_EQ(OptionWordsOf(form, OptionValuesOf(form, words)), words) << ::testing::PrintToString(words);

  // A field shown only with a choice brings that choice, the first one that writes no word.
  EXPECT_EQ(OptionValuesOf(form, {"--size", "4"})[0], "square");
  EXPECT_EQ(OptionValuesOf(form, {"--points", "4"})[0], "round");  // a star needs its own word
  // A shared option word goes to the field its choice shows, wherever that choice's word stands.
  const OptionValues star = OptionValuesOf(form, {"--size", "2", "--star"});
  EXPECT_EQ(star[0], "star");
  EXPECT_EQ(star[1], "");
  EXPECT_EQ(star[2], "2");
  // Values after '=', a later word over an earlier one; unknown words and a value that is
  // missing at the end are passed over.
  EXPECT_EQ(OptionValuesOf(form, {"--radius=12", "--colour", "blue", "--colour", "green", "--frob", "x", "--scale"}),
            (OptionValues{"round", "", "1", "5", "12", "", "green", "none", ""}));
  // A value that looks like an option is still the value.
  EXPECT_EQ(OptionValuesOf(form, {"--label", "--filled"})[7], "--filled");
  EXPECT_EQ(OptionValuesOf(form, {"--label", "--filled"})[8], "");
}

TEST(OptionsForm, RefusalsNameTheFieldAndOnlyFieldsThatCountAreChecked) {
  const OptionsForm form = ShapeForm();
  const auto refused = [&](std::size_t field, const std::string& value, const std::string& shape = "round") {
    OptionValues values = DefaultOptionValues(form);
    values[0] = shape;
    values[field] = value;
    return OptionValuesRefused(form, values).value_or("taken");
  };
  EXPECT_EQ(refused(4, ""), "taken");  // blank: the program's own radius
  EXPECT_EQ(refused(4, "50"), "taken");
  EXPECT_EQ(refused(4, "0"), "Radius: enter a whole number from 1 to 50, not \"0\"");
  EXPECT_EQ(refused(4, "5x"), "Radius: enter a whole number from 1 to 50, not \"5x\"");
  EXPECT_EQ(refused(4, "99999999999"), "Radius: enter a whole number from 1 to 50, not \"99999999999\"");
  EXPECT_EQ(refused(4, "0", "square"), "Side is needed");
  EXPECT_EQ(refused(1, "4", "square"), "taken");
  EXPECT_EQ(refused(3, "", "star"), "Points: enter a whole number from 3 to 12, not \"\"");
  EXPECT_EQ(refused(2, "1e999", "star"), "Size: enter a number, not \"1e999\"");
  EXPECT_EQ(refused(2, "nan", "star"), "Size: enter a number, not \"nan\"");
  EXPECT_EQ(refused(2, "-0.25", "star"), "taken");
  EXPECT_EQ(refused(6, "pink"), "Colour: choose one of the list, not \"pink\"");
  EXPECT_EQ(refused(0, "oval"), "Shape: choose one of the list, not \"oval\"");
  EXPECT_EQ(refused(8, "yes"), "Filled: set or clear it");
  OptionValues green = DefaultOptionValues(form);
  green[6] = "green";
  green[8] = "1";
  EXPECT_EQ(OptionValuesRefused(form, green), "green shapes are never filled");
}

TEST(OptionsForm, FieldsThatShowOneAnotherInACircleNeverCount) {
  OptionsForm form;
  form.fields = {{.name = "a",
                  .kind = OptionKind::Choice,
                  .choices = {{"x", "X", "--x"}},
                  .defaultValue = "x",
                  .shownWith = "b",
                  .shownFor = {"y"}},
                 {.name = "b",
                  .kind = OptionKind::Choice,
                  .choices = {{"y", "Y", "--y"}},
                  .defaultValue = "y",
                  .shownWith = "a",
                  .shownFor = {"x"}}};
  EXPECT_FALSE(OptionFieldCounts(form, DefaultOptionValues(form), 0));
  EXPECT_EQ(OptionWordsOf(form, DefaultOptionValues(form)), Words{});
  EXPECT_EQ(OptionValuesOf(form, {"--x", "--y"}), (OptionValues{"x", "y"}));
}

}  // namespace
