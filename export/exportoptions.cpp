#include "export/exportoptions.h"

#include "platform/host.h"

namespace {

constexpr std::string_view kFormatOption = "--format";
constexpr std::string_view kOnScreenOption = "--as-on-screen";

std::optional<std::string> ExportWordsRefused(const std::vector<std::string>& words) {
  const auto options = ExportOptionsOf(words);
  if (const auto* refusal = std::get_if<std::string>(&options)) return *refusal;
  return std::nullopt;
}

OptionsForm MakeExportForm() {
  OptionsForm form;
  form.title = "Export options";
  form.check = ExportWordsRefused;
  form.fields.push_back({.name = "format",
                         .option = std::string(kFormatOption),
                         .label = "Figures as",
                         .kind = OptionKind::Choice,
                         .choices = {{"all", "SVG, PDF and PNG", ""},
                                     {"svg", "SVG", ""},
                                     {"pdf", "PDF", ""},
                                     {"png", "PNG (300 dpi)", ""}},
                         .defaultValue = "all",
                         .hint = "The formats of the map, class and overview figures; the tables are always written."});
  form.fields.push_back(
      {.name = "as-on-screen",
       .option = std::string(kOnScreenOption),
       .label = "Map as the window shows it",
       .kind = OptionKind::Flag,
       .hint = "Final value across and initial value down, as on screen; otherwise initial value across."});
  return form;
}

}  // namespace

std::size_t ExportOptionWords(std::string_view word) {
  if (word == kFormatOption) return 2;
  if (word == kOnScreenOption) return 1;
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
    if (word != kFormatOption)
      return "Export: \"" + word + "\" is no option; the options are --format svg|pdf|png|all and --as-on-screen.";
    const std::string format = k + 1 < words.size() ? words[++k] : std::string();
    if (format == "svg")
      options.formats = {FigureFormat::Svg};
    else if (format == "pdf")
      options.formats = {FigureFormat::Pdf};
    else if (format == "png")
      options.formats = {FigureFormat::Png};
    else if (format == "all")
      options.formats = ExportOptions{}.formats;
    else
      return "Export: --format takes svg, pdf, png or all, not \"" + format + "\".";
  }
  return options;
}

const OptionsForm& ExportOptionsForm() {
  static const OptionsForm form = MakeExportForm();
  return form;
}
