#include "idealise/idealiseoptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

#include "domain/analysis_types.h"
#include "platform/host.h"

namespace {

constexpr int kMostThreads = 64;

// The options of no value: each molecule's level offset fitted with the model, and every frame
// of a state one width, whatever its brightness.
constexpr std::string_view kOffsetsOption = "--molecule-offsets";
constexpr std::string_view kEvenWidthsOption = "--even-widths";

bool IsFlag(std::string_view name) { return name == kOffsetsOption || name == kEvenWidthsOption; }

enum class Kind { Column, Number, States, Merge, Sharing, Whole, Seed, File, Peaks };

struct OptionInfo {
  std::string_view name;
  Kind kind;
};

constexpr OptionInfo kOptions[] = {
    {"--donor", Kind::Column},
    {"--acceptor", Kind::Column},
    {"--fret", Kind::Column},
    {"--molecule", Kind::Column},
    {"--frame", Kind::Column},
    {"--donor-background", Kind::Number},
    {"--acceptor-background", Kind::Number},
    {"--gamma", Kind::Number},
    {"--last-frame", Kind::Number},
    {"--states", Kind::States},
    {"--transitions", Kind::Sharing},
    {"--threads", Kind::Whole},
    {"--seed", Kind::Seed},
    {"--out", Kind::File},
    {"--merge", Kind::Merge},
    {"--peaks", Kind::Peaks},
    {"--time", Kind::Column},
    {"--frame-time", Kind::Number},
};

const OptionInfo* FindOption(std::string_view name) {
  const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                   [&](const OptionInfo& info) { return info.name == name; });
  return option == std::end(kOptions) ? nullptr : option;
}

bool IsOption(std::string_view word) { return word.size() > 2 && word.substr(0, 2) == "--"; }

std::optional<double> FiniteNumber(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

template <class Integer>
std::optional<Integer> Whole(std::string_view text) {
  Integer value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "MIN-MAX" or "K".
std::optional<std::string> ApplyStates(const std::string& value, HmmSettings& hmm) {
  const std::size_t dash = value.find('-');
  const auto least = Whole<int>(std::string_view(value).substr(0, dash));
  const auto most = dash == std::string::npos ? least : Whole<int>(std::string_view(value).substr(dash + 1));
  if (!least || !most || *least < 1 || *most > kMostHmmStates || *least > *most)
    return "--states must be MIN-MAX or K, from 1 to " + std::to_string(kMostHmmStates) + ", not '" + value + "'";
  hmm.leastStates = *least;
  hmm.mostStates = *most;
  return std::nullopt;
}

struct Given {
  IdealiseArguments arguments;
  std::optional<ColumnRef> molecule, donor, acceptor;
};

std::optional<std::string> ApplyColumn(std::string_view name, const std::string& value, Given& given) {
  std::string error;
  const std::optional<ColumnRef> column = ColumnOption(std::string(name), value, error);
  if (!column) return error;
  RawOptions& raw = given.arguments.raw;
  if (name == "--donor") given.donor = column;
  if (name == "--acceptor") given.acceptor = column;
  if (name == "--fret") raw.fret = column;
  if (name == "--molecule") given.molecule = column;
  if (name == "--frame") raw.layout.frame = column;
  if (name == "--time") raw.time = *column;
  return std::nullopt;
}

std::optional<std::string> ApplyNumber(std::string_view name, const std::string& value, RawOptions& raw) {
  const std::optional<double> number = FiniteNumber(value);
  if (!number) return std::string(name) + " must be a finite number, not '" + value + "'";
  if (name == "--gamma" && !(*number > 0)) return "--gamma must be above 0, not '" + value + "'";
  // Frames count from 1: a last frame before the first would leave every trace empty.
  if (name == "--last-frame" && !(*number >= 1)) return "--last-frame must be at least 1, not '" + value + "'";
  if (name == "--frame-time" && !(*number > 0)) return "--frame-time must be above 0 seconds, not '" + value + "'";
  if (name == "--frame-time") raw.frameTime = *number;
  if (name == "--donor-background") raw.donorBackground = *number;
  if (name == "--acceptor-background") raw.acceptorBackground = *number;
  if (name == "--gamma") raw.gamma = *number;
  if (name == "--last-frame") raw.lastFrame = *number;
  return std::nullopt;
}

std::optional<std::string> Apply(const OptionInfo& option, const std::string& value, Given& given) {
  IdealiseArguments& arguments = given.arguments;
  const std::string name(option.name);
  switch (option.kind) {
    case Kind::Column:
      return ApplyColumn(option.name, value, given);
    case Kind::Number:
      return ApplyNumber(option.name, value, arguments.raw);
    case Kind::States:
      return ApplyStates(value, arguments.hmm);
    case Kind::Merge: {
      std::string error;
      arguments.merge = ParseStatesOption(name, value, error);
      if (!arguments.merge) return error;
      return std::nullopt;
    }
    case Kind::Sharing:
      if (value != "shared" && value != "per-molecule")
        return name + " must be 'shared' or 'per-molecule', not '" + value + "'";
      arguments.hmm.transitions = value == "shared" ? TransitionSharing::Shared : TransitionSharing::PerMolecule;
      return std::nullopt;
    case Kind::Whole: {
      const auto threads = Whole<int>(value);
      if (!threads || *threads < 1 || *threads > kMostThreads)
        return name + " must be a whole number from 1 to " + std::to_string(kMostThreads) + ", not '" + value + "'";
      arguments.hmm.threads = *threads;
      return std::nullopt;
    }
    case Kind::Seed: {
      const auto seed = Whole<std::uint64_t>(value);
      if (!seed) return name + " must be an unsigned 64-bit whole number, not '" + value + "'";
      arguments.hmm.seed = *seed;
      return std::nullopt;
    }
    case Kind::File:
      if (value.empty()) return name + ": the file has no name";
      arguments.out = value;
      return std::nullopt;
    case Kind::Peaks: {
      const auto peaks = Whole<int>(value);
      if (!peaks || *peaks < 1 || *peaks > kMaxPeaks)
        return name + " must be a whole number from 1 to " + std::to_string(kMaxPeaks) + ", not '" + value + "'";
      arguments.peaks = *peaks;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// The columns and layout the options make; a message for options that do not go together.
std::optional<std::string> Settle(Given& given) {
  RawOptions& raw = given.arguments.raw;
  if (raw.fret && (given.donor || given.acceptor)) return "--fret does not go with --donor and --acceptor";
  if (given.donor.has_value() != given.acceptor.has_value()) return "--donor and --acceptor go together";
  if (given.donor) {
    raw.donor = *given.donor;
    raw.acceptor = *given.acceptor;
  }
  if (raw.fret && (raw.donorBackground != 0 || raw.acceptorBackground != 0 || raw.gamma != 1))
    return "backgrounds and --gamma apply to --donor and --acceptor, not to --fret";
  if (raw.fret && given.arguments.evenWidths)
    return std::string(kEvenWidthsOption) + " goes with --donor and --acceptor: a FRET column knows no brightness, "
           "and its widths are even already";
  if (given.molecule) {
    raw.layout.layout = TraceLayout::Table;
    raw.layout.molecule = *given.molecule;
  } else if (raw.layout.frame) {
    return "--frame goes with --molecule";
  }
  return std::nullopt;
}

}  // namespace

std::optional<IdealiseArguments> ParseIdealiseArguments(std::span<const std::string> words, std::string& error) {
  Given given;
  for (std::size_t k = 0; k < words.size(); ++k) {
    const std::string& word = words[k];
    if (!IsOption(word)) {
      given.arguments.paths.push_back(word);
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string_view name = std::string_view(word).substr(0, equals);
    if (IsFlag(name)) {
      if (equals != std::string::npos) {
        error = std::string(name) + " takes no value";
        return std::nullopt;
      }
      (name == kOffsetsOption ? given.arguments.hmm.moleculeOffsets : given.arguments.evenWidths) = true;
      continue;
    }
    const OptionInfo* option = FindOption(name);
    if (!option) {
      error = "unknown option '" + std::string(name) + "'";
      return std::nullopt;
    }
    if (equals == std::string::npos && k + 1 == words.size()) {
      error = std::string(name) + " needs a value";
      return std::nullopt;
    }
    const std::string value = equals == std::string::npos ? words[++k] : word.substr(equals + 1);
    if (auto why = Apply(*option, value, given)) {
      error = *why;
      return std::nullopt;
    }
  }
  if (auto why = Settle(given)) {
    error = *why;
    return std::nullopt;
  }
  return std::move(given.arguments);
}

std::size_t IdealiseOptionWords(std::string_view word) {
  if (!IsOption(word)) return 0;
  if (IsFlag(word)) return 1;
  return word.find('=') == std::string_view::npos ? 2 : 1;
}

namespace {

std::optional<std::string> IdealiseWordsRefused(const std::vector<std::string>& words) {
  std::string error;
  if (!ParseIdealiseArguments(words, error)) return error;
  return std::nullopt;
}

// A text field that counts while the field `shownWith` holds `shownFor`.
OptionField TextField(const char* name, const char* option, const char* label, std::string blank, const char* hint,
                      const char* shownWith = "", const char* shownFor = "") {
  OptionField field{.name = name, .option = option, .label = label, .kind = OptionKind::Text};
  field.blank = std::move(blank);
  field.hint = hint;
  if (*shownWith) {
    field.shownWith = shownWith;
    field.shownFor = {shownFor};
  }
  return field;
}

// A number of the intensities' arithmetic, which counts while the signal is donor and acceptor.
OptionField IntensityNumber(const char* name, const char* option, const char* label, const char* value,
                            const char* hint) {
  OptionField field{.name = name, .option = option, .label = label, .kind = OptionKind::Number};
  field.defaultValue = value;
  field.hint = hint;
  field.shownWith = "signal";
  field.shownFor = {"intensities"};
  return field;
}

OptionsForm MakeIdealiseForm() {
  constexpr const char* kColumnHint = "A column number from 1, or the column's name in the header line.";
  OptionsForm form;
  form.title = "Idealise options";
  form.check = IdealiseWordsRefused;
  // A table is told by its molecule column, the signal by the columns it names.
  form.fields.push_back({.name = "layout",
                         .label = "Layout",
                         .kind = OptionKind::Choice,
                         .choices = {{"one-per-file", "One molecule per file, a row per frame", ""},
                                     {"table", "One table of many molecules, a row per frame", ""}},
                         .defaultValue = "one-per-file",
                         .hint = "How the files hold the raw traces."});
  OptionField molecule = TextField("molecule", "--molecule", "Molecule column", "needed",
                                   "The column that tells the molecules apart: a number from 1 or a name.", "layout",
                                   "table");
  molecule.required = true;
  form.fields.push_back(molecule);
  form.fields.push_back(TextField("frame", "--frame", "Frame column", "the rows in file order",
                                  "Orders the rows of each molecule: a column number from 1 or a name.", "layout",
                                  "table"));
  form.fields.push_back({.name = "signal",
                         .label = "Signal",
                         .kind = OptionKind::Choice,
                         .choices = {{"intensities", "Donor and acceptor intensities", ""},
                                     {"fret", "A ready FRET value", ""}},
                         .defaultValue = "intensities",
                         .hint = "FRET = A / (A + gamma D), or a column that holds it."});
  form.fields.push_back(TextField("donor", "--donor", "Donor column", "the column named donor", kColumnHint,
                                  "signal", "intensities"));
  form.fields.push_back(TextField("acceptor", "--acceptor", "Acceptor column", "the column named acceptor",
                                  kColumnHint, "signal", "intensities"));
  OptionField fret = TextField("fret", "--fret", "FRET column", "needed", kColumnHint, "signal", "fret");
  fret.required = true;
  form.fields.push_back(fret);
  form.fields.push_back(IntensityNumber("donor-background", "--donor-background", "Donor background", "0",
                                        "Subtracted from the donor's intensity."));
  form.fields.push_back(IntensityNumber("acceptor-background", "--acceptor-background", "Acceptor background", "0",
                                        "Subtracted from the acceptor's intensity."));
  form.fields.push_back(IntensityNumber("gamma", "--gamma", "Gamma", "1",
                                        "The ratio of the acceptor's to the donor's detected intensity."));
  OptionField last{.name = "last-frame", .option = "--last-frame", .label = "Last frame", .kind = OptionKind::Number};
  last.blank = "every frame";
  last.hint = "Frames after this one are left out.";
  form.fields.push_back(last);
  OptionField frameTime{
      .name = "frame-time", .option = "--frame-time", .label = "Frame time (s)", .kind = OptionKind::Number};
  frameTime.blank = "the time column's, or the exposure";
  frameTime.hint =
      "Seconds per frame; becomes the exposure. A column named time in the traces gives it too, and "
      "must agree.";
  form.fields.push_back(frameTime);
  OptionField states = TextField("states", "--states", "Numbers of states (MIN-MAX)", "",
                                 "A model is fitted for each number, and BIC chooses among those whose states lie "
                                 "two widths apart.");
  states.defaultValue = "1-4";
  form.fields.push_back(states);
  form.fields.push_back({.name = "transitions",
                         .option = "--transitions",
                         .label = "Transition chances",
                         .kind = OptionKind::Choice,
                         .choices = {{"shared", "One matrix for all molecules", ""},
                                     {"per-molecule", "One matrix for each molecule", ""}},
                         .defaultValue = "shared",
                         .hint = "The states' means and widths are always shared."});
  form.fields.push_back({.name = "molecule-offsets",
                         .option = std::string(kOffsetsOption),
                         .label = "Each molecule's own level offset",
                         .kind = OptionKind::Flag,
                         .hint = "Every level of a molecule moved by an offset of its own, fitted with the model; "
                                 "the table gains an offset column."});
  OptionField even{.name = "even-widths",
                   .option = std::string(kEvenWidthsOption),
                   .label = "One width for every frame of a state",
                   .kind = OptionKind::Flag,
                   .hint = "Left unticked, a frame of fewer photons is noisier: its FRET width is its state's width "
                           "times sqrt(median brightness / its own)."};
  even.shownWith = "signal";
  even.shownFor = {"intensities"};
  form.fields.push_back(even);
  form.fields.push_back(TextField("merge", "--merge", "Merge states (bounds or auto)", "each state its own",
                                  "The chosen model's states merged further: increasing upper bounds such as 0.3,0.6, "
                                  "or auto."));
  OptionField peaks{.name = "peaks", .option = "--peaks", .label = "Peaks per report (K)",
                    .kind = OptionKind::WholeNumber};
  peaks.blank = "as in \"Peaks in report\"";
  peaks.hint = "K x K records per report. Left blank: \"Peaks in report\", raised to the chosen number of states "
               "when that is more.";
  peaks.minimum = 1;
  peaks.maximum = kMaxPeaks;
  form.fields.push_back(peaks);
  form.fields.push_back(TextField("out", "--out", "Table of idealised traces", "idealised.csv beside the first file",
                                  "The table molecule,frame,fret,idealised; the reports go into a new folder beside "
                                  "it."));
  return form;
}

}  // namespace

const OptionsForm& IdealiseOptionsForm() {
  static const OptionsForm form = MakeIdealiseForm();
  return form;
}

Idealisation IdealiseTraces(const std::vector<FretTrace>& traces, const IdealiseArguments& arguments,
                            WorkProgress* progress, double* reference) {
  std::vector<std::span<const double>> molecules;
  for (const FretTrace& trace : traces) molecules.emplace_back(trace.fret);
  const BrightnessWeights brightness = arguments.evenWidths ? BrightnessWeights{} : WeightsOfBrightness(traces);
  if (brightness.weights.empty()) return Idealise(molecules, arguments.hmm, progress);
  if (reference) *reference = brightness.reference;
  const FrameWeights weights(brightness.weights.begin(), brightness.weights.end());
  return Idealise(molecules, arguments.hmm, progress, weights);
}
