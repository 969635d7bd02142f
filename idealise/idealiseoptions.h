// The options of an idealisation of raw traces, as `varnel-idealise` takes them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "idealise/hmm.h"
#include "idealise/rawtraces.h"
#include "import/states.h"

struct IdealiseArguments {
  RawOptions raw;
  HmmSettings hmm;
  // With donor and acceptor each frame's FRET width is its state's width times sqrt(N_ref / N_t),
  // N_t its brightness (WeightsOfBrightness), unless every frame of a state is to have one width.
  bool evenWidths = false;
  std::optional<std::string> out;  // the table of idealised traces
  std::optional<StatesOption> merge;  // the fitted states merged further, in the table
  // K of the reports the idealised traces become, when the window or a script imports them.
  std::optional<int> peaks;
  std::vector<std::string> paths;
};

struct OptionsForm;
struct WorkProgress;

// Fits the model `arguments` asks for to the fitted frames of `traces` (Idealise), with the
// frames' weights of their brightness where the traces have totals and `arguments` asks for no
// even widths; their N_ref then into `reference` (else 0).
Idealisation IdealiseTraces(const std::vector<FretTrace>& traces, const IdealiseArguments& arguments,
                            WorkProgress* progress = nullptr, double* reference = nullptr);

// Reads option words (`--states 1-4` or `--states=1-4`) and paths in any order; nothing, and a
// message in `error`, for an unknown option, a missing or bad value, or options that do not go
// together.
std::optional<IdealiseArguments> ParseIdealiseArguments(std::span<const std::string> words, std::string& error);

// How many words, from `word` on, an option spans: 2 for an option whose value follows it, 1
// for one that carries it after '=', 0 for a word that is no option.
std::size_t IdealiseOptionWords(std::string_view word);

// The same options as a form for a person in the window: the signal's columns, the frames left
// out, the numbers of states, the transitions, the merge, K and the table. The words it makes are
// words ParseIdealiseArguments takes.
const OptionsForm& IdealiseOptionsForm();
