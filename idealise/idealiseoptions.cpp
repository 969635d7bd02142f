#include "idealise/idealiseoptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string_view>

namespace {

constexpr int kMostThreads = 64;

enum class Kind { Column, Number, States, Merge, Sharing, Whole, Seed, File };

struct OptionInfo {
  std::string_view name;
  Kind kind;
};

constexpr OptionInfo kOptions[] = {
    {"--donor", Kind::Column},    {"--acceptor", Kind::Column},        {"--fret", Kind::Column},
    {"--molecule", Kind::Column}, {"--frame", Kind::Column},           {"--donor-background", Kind::Number},
    {"--acceptor-background", Kind::Number}, {"--gamma", Kind::Number}, {"--last-frame", Kind::Number},
    {"--states", Kind::States},   {"--transitions", Kind::Sharing},    {"--threads", Kind::Whole},
    {"--seed", Kind::Seed},       {"--out", Kind::File},               {"--merge", Kind::Merge},
};

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
  return std::nullopt;
}

std::optional<std::string> ApplyNumber(std::string_view name, const std::string& value, RawOptions& raw) {
  const std::optional<double> number = FiniteNumber(value);
  if (!number) return std::string(name) + " must be a finite number, not '" + value + "'";
  if (name == "--gamma" && !(*number > 0)) return "--gamma must be above 0, not '" + value + "'";
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
    if (word.size() <= 2 || word.compare(0, 2, "--") != 0) {
      given.arguments.paths.push_back(word);
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string_view name = std::string_view(word).substr(0, equals);
    const auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                     [&](const OptionInfo& info) { return info.name == name; });
    if (option == std::end(kOptions)) {
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
