#include "tools/simulate/commandline.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The analysis handles at most kMaxStates states and reads reports of at most kMaxPeaks peaks.
#include "domain/analysis_types.h"
#include "platform/system.h"

namespace simulate {

namespace {

constexpr long kMaxMolecules = 1000000;
constexpr long kMaxFrames = 10000000;
constexpr double kMinStateSpacing = 0.001;

const char* const kUsage =
    "usage: varnel-simulate --out DIR --molecules M [options]\n"
    "\n"
    "Writes M simulated transition reports DIR/<prefix>_0001.dat ... and prints\n"
    "the true rates (s^-1) of every class i->j, one per line.\n"
    "\n"
    "  --out DIR          directory for the reports (created if missing)\n"
    "  --molecules M      number of reports, 1..1000000\n"
    "  --seed S           unsigned 64-bit seed (default 1)\n"
    "  --peaks K          slots per report: K x K records (default 10, 2..1000)\n"
    "  --states LIST      true state values, comma separated, increasing,\n"
    "                     in [0, 1], at least 0.001 apart, 2..10 of them\n"
    "                     (default 0.2,0.5,0.8)\n"
    "  --exposure T       exposure time per frame in seconds (default 0.1,\n"
    "                     1e-6..1000)\n"
    "  --scatter W        sd of ln(rate per frame) between molecules (default 0.25)\n"
    "  --noise D          sd of an observed state value (default 0.02, at most 1)\n"
    "  --prefix NAME      file name prefix (default molecule)\n"
    "  --traces           write idealised traces DIR/<prefix>_0001.txt ... instead\n"
    "  --frames N         frames per trace (default 10000, 2..10000000)\n"
    "  --signal-noise S   sd of a trace's signal around its level (default 0.05)\n"
    "  --raw              write raw traces DIR/<prefix>_0001.txt ... instead\n"
    "  --snr R            raw: closest levels' distance over the widest FRET\n"
    "                     width (default 6, 0.1..1000)\n"
    "  --poisson          raw: shot noise in each channel, not Gaussian FRET noise\n"
    "  --brightness I     raw, Gaussian: total intensity (default 1000)\n"
    "  --background B     raw: each channel's background (default 0)\n"
    "  --bleach F         raw, continuous: mean frame of photobleaching (default 0:\n"
    "                     none)\n"
    "  --gain G           raw: channel noise, shot noise of G counts per photon in\n"
    "                     each channel (variance G x the count), at --brightness\n"
    "  --read-noise R     raw: channel noise, Gaussian read noise of sd R counts in\n"
    "                     each channel\n"
    "  --fret-offset S    raw: sd of each molecule's offset of all its levels\n"
    "  --brightness-spread S\n"
    "                     raw, with --poisson, --gain or --read-noise: each\n"
    "                     molecule's brightness times exp(S e), e standard normal\n"
    "  --blinks P         raw: the chance a frame begins a blink (both channels at\n"
    "                     background; state 0)\n"
    "  --blink-frames L   raw: a blink's mean length in frames (default 3)\n"
    "  --bleached-tail MIN-MAX\n"
    "                     raw: the last MIN to MAX frames of each trace (evenly\n"
    "                     drawn) at background, state 0\n"
    "  --continuous       a continuous-time chain: idealised traces (as --traces),\n"
    "                     or with --raw raw traces, or with --dwells a dwell list\n"
    "  --rates LIST       continuous: rates in s^-1 as I-J=K,... (states from 1;\n"
    "                     paths not named are 0); default the model's below\n"
    "  --dwells           continuous: write DIR/dwells.txt, every molecule's dwells\n"
    "  --help             show this text\n"
    "\n"
    "Each molecule visits 2 up to min(states, K) of the states, chosen at random,\n"
    "listed in the first slots in increasing order. Record (a, b) holds the\n"
    "observed values of states a and b, the rate per frame k(a->b) x T scattered\n"
    "log-normally, the dwell in frames (1 / rate per frame) and the number of\n"
    "transitions, 1 + Poisson(min(20, 40 k T)). The diagonal records carry the\n"
    "total exit rate of the state; records of unvisited slots are all zero.\n"
    "\n"
    "With --traces, each molecule is a Markov chain over all the states that\n"
    "leaves state a for state b in a frame with probability k(a->b) x T; its\n"
    "trace has the columns frame, signal (the observed value of the state plus\n"
    "noise) and idealised (the observed value), ready for varnel-import.\n"
    "--peaks and --scatter do not apply to traces.\n"
    "\n"
    "With --raw, the chain is the same, its states' FRET levels exactly --states;\n"
    "the trace has the columns frame, donor, acceptor and state (the true state\n"
    "from 1, 0 once the molecule has bleached). With Gaussian noise each frame's\n"
    "FRET value is its level plus noise of width (closest levels' distance) / R,\n"
    "split into the channels of a total of I + sqrt(I) e counts; with --poisson\n"
    "each channel counts photons and I is the least brightness that gives no\n"
    "state a wider FRET width. With --gain or --read-noise each channel has its\n"
    "own noise instead: donor I (1 - E) + B and acceptor I E + B counts, each with\n"
    "shot noise of variance G x its count and read noise of sd R, I --brightness.\n"
    "The rate table names the widths (to first order) and brightness.\n"
    "\n"
    "With --continuous, each molecule is a Markov chain in continuous time: it\n"
    "stays in state a for an exponential time of rate k(a) = sum of k(a->b), then\n"
    "steps to b with the chance k(a->b) / k(a); every step happens, several in a\n"
    "frame too. A frame records the state at its start. The first state is drawn\n"
    "from the chain's stationary distribution; the dye bleaches at an exponential\n"
    "time of mean --bleach frames, and a trace holds the frames that end before\n"
    "it (2 to --frames). --scatter W multiplies each molecule's rates by\n"
    "exp(W e), e standard normal (default 0). The dwell list has the columns\n"
    "molecule, level (the state's value) and frames, for varnel-import --dwells.\n"
    "\n"
    "True rates: any three-state model uses\n"
    "    1->2 0.5   1->3 0.1   2->1 0.3   2->3 0.8   3->1 0.05   3->2 0.2\n"
    "other state counts use k(i->j) = 0.6 exp(-0.4 (|i-j| - 1)), halved for\n"
    "i > j.\n";

double parseDouble(std::string_view option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
    usageError(std::string(option) + ": not a finite number: '" + text + "'");
  return value;
}

long parseInteger(std::string_view option, const std::string& text, long least, long most) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE)
    usageError(std::string(option) + ": not an integer: '" + text + "'");
  if (value < least || value > most)
    usageError(std::string(option) + " must be in " + std::to_string(least) + ".." + std::to_string(most) + ", got " +
               text);
  return value;
}

std::uint64_t parseSeed(const std::string& text) {
  const bool digitsOnly = AllDigits(text);
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = digitsOnly ? std::strtoull(text.c_str(), &end, 10) : 0;
  if (!digitsOnly || errno == ERANGE) usageError("--seed: not an unsigned 64-bit integer: '" + text + "'");
  return static_cast<std::uint64_t>(value);
}

std::vector<double> parseStates(const std::string& text) {
  std::vector<double> states;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    states.push_back(parseDouble("--states", item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (states.size() < 2 || states.size() > static_cast<std::size_t>(kMaxStates))
    usageError("--states needs 2 to 10 values");
  for (std::size_t i = 0; i < states.size(); ++i) {
    if (states[i] < 0.0 || states[i] > 1.0) usageError("--states: values must lie in [0, 1]");
    if (i > 0 && states[i] - states[i - 1] < kMinStateSpacing)
      usageError("--states: values must increase in steps of at least 0.001");
  }
  return states;
}

// A number in [least, most], or the message that it must be in `range`.
double parseDoubleIn(std::string_view option, const std::string& text, double least, double most,
                     std::string_view range) {
  const double value = parseDouble(option, text);
  if (value < least || value > most) usageError(std::string(option) + " must be in " + std::string(range));
  return value;
}

// An option: its name, whether a value follows it, and what the value sets. The option's name
// comes along for the messages.
struct OptionEntry {
  std::string_view name;
  bool takesValue;
  void (*apply)(Options& options, std::string_view option, const std::string& value);
};

const OptionEntry kOptionTable[] = {
    {"--out", true,
     [](Options& o, std::string_view, const std::string& dir) {
       if (dir.empty()) usageError("--out: empty directory name");
       o.outDir = dir;
     }},
    {"--molecules", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.molecules = parseInteger(option, v, 1, kMaxMolecules);
     }},
    {"--seed", true, [](Options& o, std::string_view, const std::string& v) { o.seed = parseSeed(v); }},
    {"--peaks", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.peaks = static_cast<int>(parseInteger(option, v, 2, kMaxPeaks));
     }},
    {"--states", true, [](Options& o, std::string_view, const std::string& v) { o.states = parseStates(v); }},
    {"--exposure", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.exposure = parseDoubleIn(option, v, 1e-6, 1000.0, "[1e-6, 1000] seconds");
     }},
    {"--scatter", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.scatter = parseDoubleIn(option, v, 0.0, 5.0, "[0, 5]");
     }},
    {"--noise", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.noise = parseDoubleIn(option, v, 0.0, 1.0, "[0, 1]");
     }},
    {"--traces", false, [](Options& o, std::string_view, const std::string&) { o.traces = true; }},
    {"--frames", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.frames = parseInteger(option, v, 2, kMaxFrames);
     }},
    {"--signal-noise", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.signalNoise = parseDoubleIn(option, v, 0.0, 1.0, "[0, 1]");
     }},
    {"--raw", false, [](Options& o, std::string_view, const std::string&) { o.raw = true; }},
    {"--snr", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.snr = parseDoubleIn(option, v, 0.1, 1000.0, "[0.1, 1000]");
     }},
    {"--poisson", false, [](Options& o, std::string_view, const std::string&) { o.poisson = true; }},
    {"--brightness", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.brightness = parseDoubleIn(option, v, 1.0, 1e9, "[1, 1e9]");
     }},
    {"--background", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.background = parseDoubleIn(option, v, 0.0, 1e9, "[0, 1e9]");
     }},
    {"--bleach", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.bleach = parseDoubleIn(option, v, 0.0, 1e9, "[0, 1e9] frames");
     }},
    {"--gain", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.gain = parseDoubleIn(option, v, 0.0, 1e6, "[0, 1e6]");
     }},
    {"--read-noise", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.readNoise = parseDoubleIn(option, v, 0.0, 1e9, "[0, 1e9]");
     }},
    {"--fret-offset", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.fretOffset = parseDoubleIn(option, v, 0.0, 1.0, "[0, 1]");
     }},
    {"--brightness-spread", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.brightnessSpread = parseDoubleIn(option, v, 0.0, 3.0, "[0, 3]");
     }},
    {"--blinks", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.blinkChance = parseDoubleIn(option, v, 0.0, 1.0, "[0, 1]");
     }},
    {"--blink-frames", true,
     [](Options& o, std::string_view option, const std::string& v) {
       o.blinkFrames = parseDoubleIn(option, v, 1.0, 1e6, "[1, 1e6]");
     }},
    {"--bleached-tail", true,
     [](Options& o, std::string_view option, const std::string& v) {
       const std::size_t dash = v.find('-');
       if (dash == std::string::npos) usageError(std::string(option) + " must be MIN-MAX frames, not '" + v + "'");
       o.tailLeast = parseInteger(option, v.substr(0, dash), 0, kMaxFrames);
       o.tailMost = parseInteger(option, v.substr(dash + 1), 0, kMaxFrames);
       if (o.tailLeast > o.tailMost) usageError(std::string(option) + " must be MIN-MAX frames, the least first");
     }},
    {"--continuous", false, [](Options& o, std::string_view, const std::string&) { o.continuous = true; }},
    {"--dwells", false, [](Options& o, std::string_view, const std::string&) { o.dwellList = true; }},
    {"--rates", true, [](Options& o, std::string_view, const std::string& v) { o.ratesText = v; }},
    {"--prefix", true,
     [](Options& o, std::string_view, const std::string& v) {
       if (v.empty() || v.find_first_of("/\\") != std::string::npos)
         usageError("--prefix must be a non-empty name without path separators");
       o.prefix = v;
     }},
};

}  // namespace

Options parseArguments(int argc, char** argv) {
  Options options;
  std::set<std::string_view> given;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
    // --name=value carries its value; otherwise the next argument is the value.
    std::optional<std::string> inlineValue;
    if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = argument.substr(equals + 1);
      argument.resize(equals);
    }
    const auto entry = std::find_if(std::begin(kOptionTable), std::end(kOptionTable),
                                    [&](const OptionEntry& e) { return e.name == argument; });
    if (entry == std::end(kOptionTable)) usageError("unknown argument '" + argument + "'");
    std::string value;
    if (!entry->takesValue) {
      if (inlineValue) usageError(argument + " takes no value");
    } else if (inlineValue) {
      value = *inlineValue;
    } else {
      if (i + 1 >= argc) usageError(argument + " needs a value");
      value = argv[++i];
    }
    entry->apply(options, entry->name, value);
    given.insert(entry->name);
  }
  for (const std::string_view required : {"--out", "--molecules"})
    if (!given.contains(required)) usageError(std::string(required) + " is required");
  if (options.continuous) {
    if (given.contains("--peaks")) usageError("--peaks does not apply to --continuous");
    if (options.raw && options.dwellList) usageError("--raw and --dwells write different files: choose one");
    if (options.traces && (options.raw || options.dwellList)) usageError("--traces goes with neither --raw nor --dwells");
    if (!given.contains("--scatter")) options.scatter = 0;
    if (given.contains("--rates")) options.rates = parseRates(options.ratesText, static_cast<int>(options.states.size()));
    if (!options.raw && !options.dwellList) options.traces = true;
  } else {
    for (const std::string_view other : {"--rates", "--dwells"})
      if (given.contains(other)) usageError(std::string(other) + " goes with --continuous");
    if (options.traces && (given.contains("--peaks") || given.contains("--scatter")))
      usageError("--peaks and --scatter do not apply to --traces");
  }
  if (options.raw) {
    for (const std::string_view other : {"--traces", "--peaks", "--scatter", "--noise", "--signal-noise"})
      if (given.contains(other) && !(options.continuous && other == "--scatter"))
        usageError(std::string(other) + " does not apply to --raw");
  } else {
    for (const std::string_view other : {"--snr", "--poisson", "--brightness", "--background"})
      if (given.contains(other)) usageError(std::string(other) + " goes with --raw");
    if (given.contains("--bleach") && !options.continuous) usageError("--bleach goes with --raw or --continuous");
  }
  for (const std::string_view other : {"--gain", "--read-noise", "--fret-offset", "--brightness-spread", "--blinks",
                                       "--blink-frames", "--bleached-tail"})
    if (given.contains(other) && (!options.raw || options.continuous))
      usageError(std::string(other) + " goes with --raw, not with --continuous");
  if (options.channelNoise() && (options.poisson || given.contains("--snr")))
    usageError("--gain and --read-noise give each channel its noise; --poisson and --snr do not go with them");
  if (options.tailMost >= options.frames)
    usageError("--bleached-tail must leave frames before it: fewer than --frames");
  if (options.brightnessSpread > 0 && !options.poisson && !options.channelNoise())
    usageError(
        "--brightness-spread goes with --poisson, --gain or --read-noise: Gaussian noise on FRET knows no "
        "brightness");
  if (options.poisson && given.contains("--brightness"))
    usageError("--brightness is for Gaussian noise; with --poisson --snr sets it");
  return options;
}

}  // namespace simulate
