// The export's options form: every choice there is written as words that the export reads as
// the same options and that the folder dialog's answer keeps apart from the folder.
#include <gtest/gtest.h>

#include <algorithm>

#include "export/exportoptions.h"
#include "platform/optionsform.h"
#include "platform/script.h"

namespace {

std::size_t FieldNamed(const OptionsForm& form, const std::string& name) {
  const auto found = std::find_if(form.fields.begin(), form.fields.end(),
                                  [&](const OptionField& field) { return field.name == name; });
  EXPECT_NE(found, form.fields.end()) << name;
  return static_cast<std::size_t>(found - form.fields.begin());
}

ExportOptions Read(const std::vector<std::string>& words) {
  auto options = ExportOptionsOf(words);
  EXPECT_TRUE(std::holds_alternative<ExportOptions>(options)) << std::get<std::string>(options);
  return std::holds_alternative<ExportOptions>(options) ? std::get<ExportOptions>(options) : ExportOptions{};
}

std::string Refusal(const std::vector<std::string>& words) {
  auto options = ExportOptionsOf(words);
  return std::holds_alternative<std::string>(options) ? std::get<std::string>(options) : "taken";
}

TEST(ExportForm, EveryFormatAndOrientationIsReadByTheExportAsChosen) {
  const OptionsForm& form = ExportOptionsForm();
  const std::pair<const char*, std::vector<FigureFormat>> formats[] = {{"all", ExportOptions{}.formats},
                                                                       {"svg", {FigureFormat::Svg}},
                                                                       {"pdf", {FigureFormat::Pdf}},
                                                                       {"png", {FigureFormat::Png}}};
  for (const auto& [format, figures] : formats) {
    for (const bool onScreen : {false, true}) {
      OptionValues values = DefaultOptionValues(form);
      values[0] = format;
      values[1] = onScreen ? "1" : "";
      ASSERT_EQ(OptionValuesRefused(form, values), std::nullopt);
      std::vector<std::string> words = OptionWordsOf(form, values);
      EXPECT_EQ(OptionValuesOf(form, words), values);
      const auto options = ExportOptionsOf(words);
      ASSERT_TRUE(std::holds_alternative<ExportOptions>(options)) << std::get<std::string>(options);
      EXPECT_EQ(std::get<ExportOptions>(options).formats, figures) << format;
      EXPECT_EQ(std::get<ExportOptions>(options).orientation,
                onScreen ? MapOrientation::AsOnScreen : MapOrientation::InitialAcross);
      const std::size_t count = words.size();
      words.push_back("/figures");
      EXPECT_EQ(LeadingOptionWords(words, ExportOptionWords), count);
    }
  }
  // The defaults are an export as before there were options: no words at all.
  EXPECT_TRUE(OptionWordsOf(form, DefaultOptionValues(form)).empty());
}

TEST(ExportForm, TheFigureOptionsChosenInTheFormComeBackFromAScriptLineAsChosen) {
  const OptionsForm& form = ExportOptionsForm();
  OptionValues values = DefaultOptionValues(form);
  values[FieldNamed(form, "colours")] = "perceptual";
  values[FieldNamed(form, "colour-scale")] = "log";
  values[FieldNamed(form, "initial-name")] = "FRET before";
  values[FieldNamed(form, "final-name")] = "E \"after\"";
  values[FieldNamed(form, "histogram-range")] = "data";
  values[FieldNamed(form, "digits")] = "4";
  ASSERT_EQ(OptionValuesRefused(form, values), std::nullopt);
  const std::vector<std::string> words = OptionWordsOf(form, values);
  EXPECT_EQ(OptionValuesOf(form, words), values);

  // As the session record writes them after the folder, and a script reads them back.
  std::string line = "export figures";
  for (const std::string& word : words) line += " " + QuoteScriptWord(word);
  std::string error;
  const auto split = SplitScriptLine(line, error);
  ASSERT_TRUE(split) << error;
  const std::vector<std::string> replayed(split->begin() + 2, split->end());
  EXPECT_EQ(replayed, words);
  EXPECT_EQ(LeadingOptionWords(replayed, ExportOptionWords), words.size());

  const ExportOptions options = Read(replayed);
  EXPECT_EQ(options.colours, MapColours::Perceptual);
  EXPECT_EQ(options.scale, ColourScale::Log);
  EXPECT_EQ(options.initialName, "FRET before");
  EXPECT_EQ(options.finalName, "E \"after\"");
  EXPECT_EQ(options.range, HistogramRange::Data);
  EXPECT_EQ(options.digits, 4);
  // The defaults draw the map in colours that read evenly in print, the histograms in the
  // window's range.
  const ExportOptions defaults = Read({});
  EXPECT_EQ(defaults.colours, MapColours::Perceptual);
  EXPECT_EQ(defaults.scale, ColourScale::Linear);
  EXPECT_EQ(defaults.initialName, "Initial value");
  EXPECT_EQ(defaults.finalName, "Final value");
  EXPECT_EQ(defaults.range, HistogramRange::Fixed);
  EXPECT_EQ(defaults.digits, 3);
}

TEST(ExportOptions, AValueAnOptionDoesNotTakeIsRefusedWithWhatItTakes) {
  EXPECT_EQ(Refusal({"--colour-scale", "loga"}), "Export: --colour-scale takes linear or log, not \"loga\".");
  EXPECT_EQ(Refusal({"--colours", "viridis"}), "Export: --colours takes table or perceptual, not \"viridis\".");
  EXPECT_EQ(Refusal({"--histogram-range", "auto"}), "Export: --histogram-range takes fixed or data, not \"auto\".");
  for (const char* digits : {"0", "7", "3.5", ""})
    EXPECT_EQ(Refusal({"--digits", digits}),
              std::string("Export: --digits takes a whole number from 1 to 6, not \"") + digits + "\".");
  // A name left out, at the end of the words or as an empty word.
  EXPECT_EQ(Refusal({"--initial-name"}),
            "Export: --initial-name takes the axis's name, in quotes when it has blanks (--initial-name \"FRET "
            "before\").");
  EXPECT_EQ(Refusal({"--final-name", ""}).rfind("Export: --final-name takes the axis's name", 0), 0u);
  // The unquoted second word of a name is no option.
  EXPECT_EQ(Refusal({"--initial-name", "FRET", "before"}).rfind("Export: \"before\" is no option; the options are", 0),
            0u);
  // A later word wins.
  EXPECT_EQ(Read({"--digits", "2", "--digits", "5"}).digits, 5);
}

}  // namespace
