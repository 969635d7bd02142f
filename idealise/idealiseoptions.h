// The options of an idealisation of raw traces, as `varnel-idealise` takes them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "idealise/hmm.h"
#include "idealise/rawtraces.h"
#include "import/states.h"

struct IdealiseArguments {
  RawOptions raw;
  HmmSettings hmm;
  std::optional<std::string> out;  // the table of idealised traces
  std::optional<StatesOption> merge;  // the fitted states merged further, in the table
  std::vector<std::string> paths;
};

// Reads option words (`--states 1-4` or `--states=1-4`) and paths in any order; nothing, and a
// message in `error`, for an unknown option, a missing or bad value, or options that do not go
// together.
std::optional<IdealiseArguments> ParseIdealiseArguments(std::span<const std::string> words, std::string& error);
