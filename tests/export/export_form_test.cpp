// The export's options form: every choice there is written as words that the export reads as
// the same options and that the folder dialog's answer keeps apart from the folder.
#include <gtest/gtest.h>

#include "export/exportoptions.h"
#include "platform/optionsform.h"

namespace {

TEST(ExportForm, EveryFormatAndOrientationIsReadByTheExportAsChosen) {
  const OptionsForm& form = ExportOptionsForm();
  const std::pair<const char*, std::vector<FigureFormat>> formats[] = {{"all", ExportOptions{}.formats},
                                                                       {"svg", {FigureFormat::Svg}},
                                                                       {"pdf", {FigureFormat::Pdf}},
                                                                       {"png", {FigureFormat::Png}}};
  for (const auto& [format, figures] : formats) {
    for (const bool onScreen : {false, true}) {
      const OptionValues values = {format, onScreen ? "1" : ""};
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

}  // namespace
