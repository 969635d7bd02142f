// What varnel-simulate's parts share: the options, the model of true states and rates, how it
// fails, and the two simulations, of transition reports and of idealised traces.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "reports/reportwriter.h"

namespace simulate {

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
  bool raw = false;           // raw traces of donor and acceptor instead of reports
  double snr = 6;             // the closest levels' distance over the widest FRET width
  bool poisson = false;       // shot noise in each channel, instead of Gaussian noise on FRET
  double brightness = 1000;   // Gaussian noise: the total intensity before bleaching
  double background = 0;      // each channel's background
  double bleach = 0;          // the mean frame of photobleaching; 0: none
  // Raw, channel noise: each channel its own noise, shot noise of this many counts per photon
  // and Gaussian read noise of this sd (counts), at the brightness --brightness.
  double gain = 0;
  double readNoise = 0;
  double fretOffset = 0;   // raw: sd of each molecule's offset of every FRET level
  double brightnessSpread = 0;  // raw, channel or shot noise: sd of ln of each molecule's brightness
  double blinkChance = 0;  // raw: the chance a frame begins a blink
  double blinkFrames = 3;  // raw: a blink's mean length in frames (geometric)
  long tailLeast = 0;      // raw: the frames at background at the end of each trace,
  long tailMost = 0;       //   drawn evenly from least ... most
  bool channelNoise() const { return gain > 0 || readNoise > 0; }
  bool continuous = false;    // a continuous-time chain, seen at each frame's start
  bool dwellList = false;     // continuous: one list of every molecule's dwells instead of traces
  std::string ratesText;      // continuous: --rates as given; empty: the model's rates
  std::vector<double> rates;  // continuous: the rates of --rates, s^-1, row-major; empty: the model's
};

// Values and rates keep eight significant digits, the dwell six: the reports in examples/ and
// the golden files of the tests were written so.
inline constexpr ReportDigits kReportDigits{8, 8, 6};

// A message and exit status 2, with the pointer to --help.
[[noreturn]] void usageError(const std::string& message);
// A message and exit status 1.
[[noreturn]] void runtimeError(const std::string& message);

// ---- the model (model.cpp) ------------------------------------------------------

// True rates in s^-1, row-major, k[i * n + j]; the diagonal is unused.
std::vector<double> trueRates(int stateCount);

struct Model {
  const Options& options;
  std::vector<double> rates;  // s^-1, row-major over the true states
  int stateCount() const { return static_cast<int>(options.states.size()); }
  double rate(int from, int to) const { return rates[static_cast<std::size_t>(from * stateCount() + to)]; }
};

class Random;

// Observed value of each visited state, redrawn while it would coincide with
// an earlier one, so that different states never give equal values.
std::vector<double> observeStates(const Model& model, const std::vector<int>& visited, Random& random);

// ---- reports (reports.cpp) ------------------------------------------------------

// The whole text of the report of one molecule (numbered from 1).
std::string simulateMolecule(const Model& model, long molecule);

// ---- idealised traces (traces.cpp) ----------------------------------------------

// The chance per frame of leaving state `from` for each state: k x T, row-major; only a chain
// whose exits from every state stay below 1 per frame exists.
std::vector<double> stepChances(const Model& model);

// The state of the frame after one in `state`, of `n` states, drawn with `chances`.
int nextState(Random& random, const std::vector<double>& chances, int n, int state);

// The idealised trace of one molecule (numbered from 1): the frames of its chain, each with its
// number, a noisy signal and the observed value of its state.
std::string simulateTrace(const Model& model, const std::vector<double>& chances, long molecule);

// ---- raw traces (raw.cpp) -------------------------------------------------------

// The truth behind raw traces: the FRET levels (the states), each one's width, and the total
// intensity before bleaching.
struct RawTruth {
  std::vector<double> widths;
  double brightness = 0;
};
RawTruth rawTruth(const Options& options);

// The raw trace of one molecule (numbered from 1): each frame's number, donor and acceptor
// intensities and the true state (from 1; 0 once the molecule has bleached, and in a blink).
std::string simulateRawTrace(const Model& model, const RawTruth& truth, const std::vector<double>& chances,
                             long molecule);
// The FRET offset (--fret-offset) that molecule `molecule`'s raw trace draws, before any level is
// kept within (0, 1); 0 without the option.
double rawFretOffset(const Model& model, long molecule);

// A raw trace's three header lines, and one frame's line: its number, the channels drawn from
// `random` for the 0-based `state` (-1: bleached, the backgrounds alone) and the state from 1;
// `offset` moves the molecule's levels, `brightness` multiplies its brightness (channel and shot
// noise).
std::string rawTraceHeader(const Options& options, long molecule);
void appendRawFrame(std::string& text, const Options& options, const RawTruth& truth, Random& random, long frame,
                    int state, double offset = 0, double brightness = 1);

// ---- the continuous-time chain (continuous.cpp) ---------------------------------

// The rates of --rates among `states` states: "I-J=K,...", 1-based, s^-1, every path not named
// 0; row-major with the diagonal 0. Exits with status 2 (usageError) on a malformed list.
std::vector<double> parseRates(const std::string& text, int states);

// One molecule's chain as the camera sees it.
struct ContinuousPath {
  std::vector<int> frames;    // the state (0-based) at the start of every frame before bleaching
  std::vector<double> rates;  // the molecule's own rates, s^-1, row-major (scattered)
  long steps = 0;             // every step the chain took during those frames
};

// The molecule's chain, drawn from `random` in this order: its rates (each k_ij > 0 times
// exp(scatter e), e standard normal, for every i != j in row-major order), the time it bleaches
// (exponential with the mean --bleach frames; never without it), its state at the first frame's
// start (from the stationary distribution of its rates), then the chain itself.
ContinuousPath simulateContinuous(const Model& model, Random& random);

// The idealised trace (as simulateTrace writes one), raw trace (as simulateRawTrace) and dwell
// list rows ("molecule level frames", the true level) of one molecule (numbered from 1).
std::string continuousTrace(const Model& model, long molecule);
std::string continuousRawTrace(const Model& model, const RawTruth& truth, long molecule);
std::string continuousDwells(const Model& model, long molecule);

}  // namespace simulate
