#include "export/exportoptions.h"

#include <charconv>

#include "platform/host.h"

namespace {

constexpr std::string_view kFormatOption = "--format";
constexpr std::string_view kOnScreenOption = "--as-on-screen";
constexpr std::string_view kColoursOption = "--colours";
constexpr std::string_view kScaleOption = "--colour-scale";
constexpr std::string_view kInitialNameOption = "--initial-name";
constexpr std::string_view kFinalNameOption = "--final-name";
constexpr std::string_view kRangeOption = "--histogram-range";
constexpr std::string_view kDigitsOption = "--digits";

constexpr std::string_view kValueOptions[] = {kFormatOption,      kColoursOption,  kScaleOption, kInitialNameOption,
                                              kFinalNameOption, kRangeOption, kDigitsOption};

std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

std::string NoOption(const std::string& word) {
  return "Export: " + Quoted(word) +
         " is no option; the options are --format svg|pdf|png|all, --as-on-screen, --colours table|perceptual, "
         "--colour-scale linear|log, --initial-name TEXT, --final-name TEXT, --histogram-range fixed|data and "
         "--digits N.";
}

std::string TakesNot(std::string_view option, const std::string& takes, const std::string& value) {
  return "Export: " + std::string(option) + " takes " + takes + ", not " + Quoted(value) + ".";
}

std::optional<int> WholeNumber(const std::string& text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Sets the option `option` of `options` to `value`; the refusal when it takes no such value.
std::optional<std::string> Apply(std::string_view option, const std::string& value, ExportOptions& options) {
  if (option == kFormatOption) {
    if (value == "svg")
      options.formats = {FigureFormat::Svg};
    else if (value == "pdf")
      options.formats = {FigureFormat::Pdf};
    else if (value == "png")
      options.formats = {FigureFormat::Png};
    else if (value == "all")
      options.formats = ExportOptions{}.formats;
    else
      return TakesNot(option, "svg, pdf, png or all", value);
  } else if (option == kColoursOption) {
    if (value != "table" && value != "perceptual") return TakesNot(option, "table or perceptual", value);
    options.colours = value == "table" ? MapColours::Table : MapColours::Perceptual;
  } else if (option == kScaleOption) {
    if (value != "linear" && value != "log") return TakesNot(option, "linear or log", value);
    options.scale = value == "linear" ? ColourScale::Linear : ColourScale::Log;
  } else if (option == kRangeOption) {
    if (value != "fixed" && value != "data") return TakesNot(option, "fixed or data", value);
    options.range = value == "fixed" ? HistogramRange::Fixed : HistogramRange::Data;
  } else if (option == kInitialNameOption || option == kFinalNameOption) {
    if (value.empty())
      return "Export: " + std::string(option) + " takes the axis's name, in quotes when it has blanks (" +
             std::string(option) + " \"FRET before\").";
    (option == kInitialNameOption ? options.initialName : options.finalName) = value;
  } else {
    const auto digits = WholeNumber(value);
    if (!digits || *digits < kFewestHeadingDigits || *digits > kMostHeadingDigits)
      return TakesNot(option,
                      "a whole number from " + std::to_string(kFewestHeadingDigits) + " to " +
                          std::to_string(kMostHeadingDigits),
                      value);
    options.digits = *digits;
  }
  return std::nullopt;
}

std::optional<std::string> ExportWordsRefused(const std::vector<std::string>& words) {
  const auto options = ExportOptionsOf(words);
  if (const auto* refusal = std::get_if<std::string>(&options)) return *refusal;
  return std::nullopt;
}

OptionField ChoiceField(std::string_view option, const char* label, std::vector<OptionChoice> choices,
                        const char* hint) {
  const std::string defaultValue = choices.front().value;
  return {.name = std::string(option.substr(2)),
          .option = std::string(option),
          .label = label,
          .kind = OptionKind::Choice,
          .choices = std::move(choices),
          .defaultValue = defaultValue,
          .hint = hint};
}

OptionField NameField(std::string_view option, const char* label, const char* name, const char* hint) {
  return {.name = std::string(option.substr(2)),
          .option = std::string(option),
          .label = label,
          .kind = OptionKind::Text,
          .blank = name,
          .hint = hint};
}

OptionsForm MakeExportForm() {
  OptionsForm form;
  form.title = "Export options";
  form.check = ExportWordsRefused;
  form.fields.push_back(ChoiceField(kFormatOption, "Figures as",
                                    {{"all", "SVG, PDF and PNG", ""},
                                     {"svg", "SVG", ""},
                                     {"pdf", "PDF", ""},
                                     {"png", "PNG (300 dpi)", ""}},
                                    "The formats of the map, class and overview figures; the tables are always written."));
  form.fields.push_back(
      {.name = "as-on-screen",
       .option = std::string(kOnScreenOption),
       .label = "Map as the window shows it",
       .kind = OptionKind::Flag,
       .hint = "Final value across and initial value down, as on screen; otherwise initial value across."});
  form.fields.push_back(ChoiceField(kColoursOption, "Map colours",
                                    {{"perceptual", "Perceptual: dark violet to yellow", ""},
                                     {"table", "The colour table's, as in the window", ""}},
                                    "The perceptual colours read evenly, in grey too and to colour-blind readers."));
  form.fields.push_back(ChoiceField(kScaleOption, "Colour scale",
                                    {{"linear", "Linear, 0 to the maximum", ""},
                                     {"log", "Logarithmic, the maximum / 1000 to the maximum", ""}},
                                    "The log scale shows the rare classes beside the common ones."));
  form.fields.push_back(NameField(kInitialNameOption, "Initial value axis", kDefaultInitialName,
                                  "The title of the map's axis of the value before a transition (\"FRET before\")."));
  form.fields.push_back(NameField(kFinalNameOption, "Final value axis", kDefaultFinalName,
                                  "The title of the map's axis of the value after a transition (\"FRET after\")."));
  form.fields.push_back(ChoiceField(kRangeOption, "Histogram range",
                                    {{"fixed", "Fixed: ln(rate per frame) from -10 to 0", ""},
                                     {"data", "The class's own bins, two empty ones either side", ""}},
                                    "The ln axis of each class figure, and the rate axis above it."));
  form.fields.push_back({.name = "digits",
                         .option = std::string(kDigitsOption),
                         .label = "Rate digits",
                         .kind = OptionKind::WholeNumber,
                         .defaultValue = std::to_string(kDefaultHeadingDigits),
                         .hint = "Significant digits of the rate in each class heading; its interval takes as many "
                                 "decimals.",
                         .minimum = kFewestHeadingDigits,
                         .maximum = kMostHeadingDigits});
  return form;
}

}  // namespace

std::size_t ExportOptionWords(std::string_view word) {
  if (word == kOnScreenOption) return 1;
  for (std::string_view option : kValueOptions)
    if (word == option) return 2;
  return 0;
}

std::variant<ExportOptions, std::string> ExportOptionsOf(const std::vector<std::string>& words) {
  ExportOptions options;
  for (std::size_t k = 0; k < words.size(); ++k) {
    const std::string& word = words[k];
    if (word == kOnScreenOption) {
      options.orientation = MapOrientation::AsOnScreen;
      continue;
    }
    if (ExportOptionWords(word) != 2) return NoOption(word);
    const std::string value = k + 1 < words.size() ? words[++k] : std::string();
    if (auto refusal = Apply(word, value, options)) return *refusal;
  }
  return options;
}

const OptionsForm& ExportOptionsForm() {
  static const OptionsForm form = MakeExportForm();
  return form;
}
