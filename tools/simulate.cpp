// varnel-simulate: writes transition reports of simulated molecules with known
// states and rates, for tests, benchmarks and the bundled examples.
//
// Every number in the output comes from std::mt19937_64 (whose sequence the
// C++ standard fixes), seeded and drawn below n by fit/random.h in integer
// arithmetic, and from the distribution and elementary functions in this
// file, which use only +, -, *, / and exact operations (sqrt, floor, frexp,
// ldexp). The standard library's distributions and exp/log differ between
// implementations; ours give byte-identical reports everywhere.

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The analysis handles at most kMaxStates states and reads reports of at most kMaxPeaks peaks.
#include "app/analysis_types.h"
#include "fit/random.h"
#include "reports/reportwriter.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

constexpr long kMaxMolecules = 1000000;
constexpr long kMaxFrames = 10000000;
constexpr double kMinStateSpacing = 0.001;
// Two observed values closer than this could print as the same text.
constexpr double kDistinctValues = 1e-6;
// Values and rates keep eight significant digits, the dwell six: the reports in examples/ and
// the golden files of the tests were written so.
constexpr ReportDigits kReportDigits{8, 8, 6};

struct Options {
  std::filesystem::path outDir;
  long molecules = 0;
  std::uint64_t seed = 1;
  int peaks = 10;
  std::vector<double> states{0.2, 0.5, 0.8};
  double exposure = 0.1;  // seconds per frame
  double scatter = 0.25;  // sd of ln(rate per frame) around its true value
  double noise = 0.02;    // sd of an observed state value around the true one
  std::string prefix = "molecule";
  bool traces = false;        // idealised traces instead of reports
  long frames = 10000;        // frames per trace
  double signalNoise = 0.05;  // sd of a trace's signal around its idealised value
};

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
    "True rates: any three-state model uses\n"
    "    1->2 0.5   1->3 0.1   2->1 0.3   2->3 0.8   3->1 0.05   3->2 0.2\n"
    "other state counts use k(i->j) = 0.6 exp(-0.4 (|i-j| - 1)), halved for\n"
    "i > j.\n";

[[noreturn]] void usageError(const std::string& message) {
  std::cerr << "varnel-simulate: " << message << "\n"
            << "Try 'varnel-simulate --help'.\n";
  std::exit(kExitUsage);
}

[[noreturn]] void runtimeError(const std::string& message) {
  std::cerr << "varnel-simulate: " << message << "\n";
  std::exit(kExitFailure);
}

// ---- reproducible elementary functions ------------------------------------

// ln 2 split so that n * kLn2Hi is exact for |n| < 2^20.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 0.70710678118654752440;

double portableExp(double x) {
  if (x > 709.0) return std::numeric_limits<double>::infinity();
  if (x < -745.0) return 0.0;
  // x = n ln2 + r with |r| <= ln2 / 2; exp(r) by its Taylor series, whose
  // 14th term is below 1e-17 there.
  const double n = std::floor(x * kInvLn2 + 0.5);
  const double r = (x - n * kLn2Hi) - n * kLn2Lo;
  double sum = 1.0;
  for (int i = 14; i >= 1; --i) sum = 1.0 + sum * r / i;
  return std::ldexp(sum, static_cast<int>(n));
}

// Natural logarithm of a positive finite x.
double portableLog(double x) {
  int exponent = 0;
  double m = std::frexp(x, &exponent);  // x = m 2^exponent, m in [0.5, 1)
  if (m < kSqrtHalf) {
    m *= 2.0;
    --exponent;
  }
  // ln m = 2 atanh(s) = 2 (s + s^3/3 + s^5/5 + ...) with |s| <= 0.172,
  // so thirteen terms reach full precision.
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  double series = 0.0;
  for (int k = 12; k >= 0; --k) series = 1.0 / (2 * k + 1) + s2 * series;
  const double e = exponent;
  return (e * kLn2Lo + 2.0 * s * series) + e * kLn2Hi;
}

// ---- random numbers ---------------------------------------------------------

class Random {
 public:
  // Each molecule has its own stream, so molecule m is the same file whatever
  // the number of molecules written.
  Random(std::uint64_t seed, std::uint64_t molecule) : engine_(SplitMix64(seed ^ SplitMix64(molecule))) {}

  // Uniform in the open interval (0, 1), on a grid of 2^-53.
  double uniform() { return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53; }

  // Uniform integer in [0, n), without modulo bias.
  std::uint64_t below(std::uint64_t n) { return UniformBelow(engine_, n); }

  // Standard normal, Marsaglia's polar method (no trigonometry needed).
  double normal() {
    if (hasSpare_) {
      hasSpare_ = false;
      return spare_;
    }
    double u = 0.0, v = 0.0, s = 0.0;
    do {
      u = 2.0 * uniform() - 1.0;
      v = 2.0 * uniform() - 1.0;
      s = u * u + v * v;
    } while (s >= 1.0 || s == 0.0);
    const double factor = std::sqrt(-2.0 * portableLog(s) / s);
    spare_ = v * factor;
    hasSpare_ = true;
    return u * factor;
  }

  // Poisson by multiplying uniforms; the means used here are at most 20.
  unsigned poisson(double mean) {
    const double threshold = portableExp(-mean);
    unsigned count = 0;
    double product = uniform();
    while (product > threshold) {
      ++count;
      product *= uniform();
    }
    return count;
  }

 private:
  std::mt19937_64 engine_;
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

// ---- the model ----------------------------------------------------------------

// True rates in s^-1, row-major, k[i * n + j]; the diagonal is unused.
std::vector<double> trueRates(int stateCount) {
  const auto n = static_cast<std::size_t>(stateCount);
  std::vector<double> rates(n * n, 0.0);
  if (stateCount == 3) {
    // Slow enough that ln(rate per frame) sits between about -5.3 and -2.5 at
    // 0.1 s per frame, well inside the histogram range, and all different so
    // each class has its own peak.
    rates = {0.0,  0.5, 0.1,  //
             0.3,  0.0, 0.8,  //
             0.05, 0.2, 0.0};
    return rates;
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (i == j) continue;
      const double distance = i > j ? static_cast<double>(i - j) : static_cast<double>(j - i);
      const double downward = i > j ? 0.5 : 1.0;
      rates[i * n + j] = 0.6 * portableExp(-0.4 * (distance - 1.0)) * downward;
    }
  }
  return rates;
}

struct Model {
  const Options& options;
  std::vector<double> rates;  // s^-1, row-major over the true states
  int stateCount() const { return static_cast<int>(options.states.size()); }
  double rate(int from, int to) const { return rates[static_cast<std::size_t>(from * stateCount() + to)]; }
};

// The states one molecule visits: indices into the true states, increasing.
std::vector<int> pickVisitedStates(const Model& model, Random& random) {
  // There are at least two states and two slots, so every molecule has
  // transitions to report.
  const int most = std::min(model.stateCount(), model.options.peaks);
  const int count = 2 + static_cast<int>(random.below(static_cast<std::uint64_t>(most - 1)));
  std::vector<int> pool(static_cast<std::size_t>(model.stateCount()));
  for (std::size_t i = 0; i < pool.size(); ++i) pool[i] = static_cast<int>(i);
  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    const auto pick = i + random.below(pool.size() - i);
    std::swap(pool[i], pool[pick]);
  }
  pool.resize(static_cast<std::size_t>(count));
  std::sort(pool.begin(), pool.end());
  return pool;
}

// Observed value of each visited state, redrawn while it would coincide with
// an earlier one, so that different states never give equal values.
std::vector<double> observeStates(const Model& model, const std::vector<int>& visited, Random& random) {
  constexpr int kMaxDraws = 10000;
  std::vector<double> observed;
  for (const int state : visited) {
    const double truth = model.options.states[static_cast<std::size_t>(state)];
    double value = truth;
    for (int draw = 0;; ++draw) {
      if (draw == kMaxDraws) runtimeError("cannot keep the observed state values apart");
      value = std::clamp(truth + model.options.noise * random.normal(), 0.0, 1.0);
      const bool clash = std::any_of(observed.begin(), observed.end(),
                                     [&](double other) { return std::fabs(other - value) < kDistinctValues; });
      if (!clash) break;
    }
    observed.push_back(value);
  }
  return observed;
}

// The whole text of the report of one molecule (numbered from 1).
std::string simulateMolecule(const Model& model, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const std::vector<int> visited = pickVisitedStates(model, random);
  const std::vector<double> observed = observeStates(model, visited, random);
  const auto used = visited.size();
  const auto slots = static_cast<std::size_t>(options.peaks);

  // Off-diagonal records first: the diagonal ones sum them up. Unvisited slots stay all zero.
  std::vector<TransitionRecord> records(slots * slots);
  for (std::size_t a = 0; a < used; ++a) {
    for (std::size_t b = 0; b < used; ++b) {
      if (a == b) continue;
      const double perFrame = model.rate(visited[a], visited[b]) * options.exposure;
      TransitionRecord& record = records[a * slots + b];
      record.initial = observed[a];
      record.final = observed[b];
      // The count follows the true rate, not the scattered one, so weighting by count leaves
      // the centre of a class's ln-rate peak where it is.
      record.count = 1 + random.poisson(std::min(20.0, 40.0 * perFrame));
      record.rate = portableExp(portableLog(perFrame) + options.scatter * random.normal());
      record.spare = 1.0 / record.rate;
    }
  }
  for (std::size_t a = 0; a < used; ++a) {
    double exitPerFrame = 0.0;
    double dwells = 0;
    for (std::size_t b = 0; b < used; ++b) {
      if (a == b) continue;
      exitPerFrame += model.rate(visited[a], visited[b]) * options.exposure;
      dwells += records[a * slots + b].count;
    }
    TransitionRecord& record = records[a * slots + a];
    record.initial = observed[a];
    record.final = observed[a];
    record.count = dwells;
    record.rate = portableExp(portableLog(exitPerFrame) + options.scatter * random.normal());
    record.spare = 1.0 / record.rate;
  }

  const std::array<std::string, 4> header = {
      "varnel-simulate transition report",
      "seed " + std::to_string(options.seed) + ", molecule " + std::to_string(molecule) + ", visited states " +
          std::to_string(used),
      "peaks " + std::to_string(options.peaks) + ", records " + std::to_string(records.size()),
      "initial final rate_per_frame dwell_frames transitions"};
  return ReportText(header, TransitionRecords(records), kReportDigits);
}

// The chance per frame of leaving state `from` for each state: k x T, row-major; only a chain
// whose exits from every state stay below 1 per frame exists.
std::vector<double> stepChances(const Model& model) {
  const int n = model.stateCount();
  std::vector<double> chances(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i) {
    double leave = 0.0;
    for (int j = 0; j < n; ++j) {
      if (i == j) continue;
      chances[static_cast<std::size_t>(i * n + j)] = model.rate(i, j) * model.options.exposure;
      leave += chances[static_cast<std::size_t>(i * n + j)];
    }
    if (leave >= 1.0)
      usageError("--traces: state " + std::to_string(i + 1) +
                 " would be left with a chance of 1 or more per frame; choose a shorter --exposure");
  }
  return chances;
}

void appendGeneral(std::string& out, double value, int digits) {
  char text[64];
  out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits).ptr);
}

// The idealised trace of one molecule (numbered from 1): the frames of its chain, each with its
// number, a noisy signal and the observed value of its state.
std::string simulateTrace(const Model& model, const std::vector<double>& chances, long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  std::vector<int> all(static_cast<std::size_t>(model.stateCount()));
  for (std::size_t s = 0; s < all.size(); ++s) all[s] = static_cast<int>(s);
  const std::vector<double> observed = observeStates(model, all, random);
  // The idealised column repeats the very same text for every frame of a state.
  std::vector<std::string> idealised;
  for (const double value : observed) {
    idealised.emplace_back(" ");
    appendGeneral(idealised.back(), value, kReportDigits.values);
    idealised.back() += '\n';
  }

  std::string text = "# varnel-simulate idealised trace\n# seed " + std::to_string(options.seed) + ", molecule " +
                     std::to_string(molecule) + "\nframe signal idealised\n";
  text.reserve(text.size() + 32 * static_cast<std::size_t>(options.frames));
  const int n = model.stateCount();
  int state = static_cast<int>(random.below(static_cast<std::uint64_t>(n)));
  for (long frame = 1; frame <= options.frames; ++frame) {
    char number[24];
    text.append(number, std::to_chars(number, number + sizeof number, frame).ptr);
    text += ' ';
    appendGeneral(text, observed[static_cast<std::size_t>(state)] + options.signalNoise * random.normal(), 6);
    text += idealised[static_cast<std::size_t>(state)];
    // The next frame's state: each other state with its chance, else this one.
    double u = random.uniform();
    for (int to = 0; to < n; ++to) {
      if (to == state) continue;
      u -= chances[static_cast<std::size_t>(state * n + to)];
      if (u < 0.0) {
        state = to;
        break;
      }
    }
  }
  return text;
}

// ---- command line ---------------------------------------------------------------

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
  const bool digitsOnly =
      !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
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

Options parseArguments(int argc, char** argv) {
  Options options;
  bool haveOut = false;
  bool haveMolecules = false;
  bool havePeaks = false;
  bool haveScatter = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
    std::string value;
    bool inlineValue = false;
    if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = argument.substr(equals + 1);
      argument.resize(equals);
      inlineValue = true;
    }
    const auto takeValue = [&]() -> std::string {
      if (inlineValue) return value;
      if (i + 1 >= argc) usageError(argument + " needs a value");
      return argv[++i];
    };
    if (argument == "--out") {
      const std::string dir = takeValue();
      if (dir.empty()) usageError("--out: empty directory name");
      options.outDir = dir;
      haveOut = true;
    } else if (argument == "--molecules") {
      options.molecules = parseInteger(argument, takeValue(), 1, kMaxMolecules);
      haveMolecules = true;
    } else if (argument == "--seed") {
      options.seed = parseSeed(takeValue());
    } else if (argument == "--peaks") {
      options.peaks = static_cast<int>(parseInteger(argument, takeValue(), 2, kMaxPeaks));
      havePeaks = true;
    } else if (argument == "--states") {
      options.states = parseStates(takeValue());
    } else if (argument == "--exposure") {
      options.exposure = parseDouble(argument, takeValue());
      if (options.exposure < 1e-6 || options.exposure > 1000.0)
        usageError("--exposure must be in [1e-6, 1000] seconds");
    } else if (argument == "--scatter") {
      options.scatter = parseDouble(argument, takeValue());
      if (options.scatter < 0.0 || options.scatter > 5.0) usageError("--scatter must be in [0, 5]");
      haveScatter = true;
    } else if (argument == "--noise") {
      options.noise = parseDouble(argument, takeValue());
      if (options.noise < 0.0 || options.noise > 1.0) usageError("--noise must be in [0, 1]");
    } else if (argument == "--traces") {
      if (inlineValue) usageError("--traces takes no value");
      options.traces = true;
    } else if (argument == "--frames") {
      options.frames = parseInteger(argument, takeValue(), 2, kMaxFrames);
    } else if (argument == "--signal-noise") {
      options.signalNoise = parseDouble(argument, takeValue());
      if (options.signalNoise < 0.0 || options.signalNoise > 1.0) usageError("--signal-noise must be in [0, 1]");
    } else if (argument == "--prefix") {
      options.prefix = takeValue();
      if (options.prefix.empty() || options.prefix.find_first_of("/\\") != std::string::npos)
        usageError("--prefix must be a non-empty name without path separators");
    } else {
      usageError("unknown argument '" + argument + "'");
    }
  }
  if (!haveOut) usageError("--out is required");
  if (!haveMolecules) usageError("--molecules is required");
  if (options.traces && (havePeaks || haveScatter)) usageError("--peaks and --scatter do not apply to --traces");
  return options;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) runtimeError("cannot create " + path.string());
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) runtimeError("cannot write " + path.string());
}

void printTrueRates(const Model& model) {
  std::printf("# varnel-simulate true rates (s^-1), seed %llu\n", static_cast<unsigned long long>(model.options.seed));
  if (model.options.traces)
    std::printf("# exposure %.8g s, %ld frames per trace, state noise %.8g, signal noise %.8g\n",
                model.options.exposure, model.options.frames, model.options.noise, model.options.signalNoise);
  else
    std::printf("# exposure %.8g s, log-normal scatter %.8g, state noise %.8g\n", model.options.exposure,
                model.options.scatter, model.options.noise);
  std::printf("# states");
  for (const double state : model.options.states) std::printf(" %.8g", state);
  std::printf("\n");
  for (int i = 0; i < model.stateCount(); ++i)
    for (int j = 0; j < model.stateCount(); ++j)
      if (i != j) std::printf("%d->%d %.8g\n", i + 1, j + 1, model.rate(i, j));
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseArguments(argc, argv);
  const Model model{options, trueRates(static_cast<int>(options.states.size()))};
  const std::vector<double> chances = options.traces ? stepChances(model) : std::vector<double>{};

  std::error_code error;
  std::filesystem::create_directories(options.outDir, error);
  if (error || !std::filesystem::is_directory(options.outDir))
    runtimeError("cannot create directory " + options.outDir.string());

  for (long molecule = 1; molecule <= options.molecules; ++molecule) {
    if (options.traces)
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".txt"),
                simulateTrace(model, chances, molecule));
    else
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".dat"),
                simulateMolecule(model, molecule));
  }

  printTrueRates(model);
  if (std::fflush(stdout) != 0) runtimeError("cannot write the rate table");
  return 0;
}
