// The raw-traces simulation (--raw): each molecule is a Markov chain over all the states, as in
// the idealised traces, seen through a donor and an acceptor channel until it bleaches.
//
// The signal-to-noise ratio is the distance of the two closest levels over the widest state's
// width of FRET. With Gaussian noise every state's FRET value is its level plus normal noise of
// that width, and the channels split a total intensity I (itself I + sqrt(I) e) by it: A = total
// FRET + B, D = total (1 - FRET) + B, so that A - B over the sum of both less 2 B is the FRET
// value exactly. With shot noise each channel counts photons, D ~ Poisson(I (1 - E) + B), A ~
// Poisson(I E + B), whose ratio has the width sqrt(I E (1 - E) + B ((1 - E)^2 + E^2)) / I to
// first order; I is the least brightness at which no state is wider than the ratio asks.
// After bleaching both channels hold their background alone (Poisson(B), or B + sqrt(B) e).
#include "tools/simulate/simulation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "tools/simulate/arithmetic.h"

namespace simulate {

namespace {

// Random::poisson multiplies uniforms, for means up to this; larger means are the sum of
// independent counts of this mean and the rest.
constexpr double kPoissonPiece = 20.0;

unsigned poissonCount(Random& random, double mean) {
  unsigned count = 0;
  for (; mean > kPoissonPiece; mean -= kPoissonPiece) count += random.poisson(kPoissonPiece);
  return count + random.poisson(mean);
}

double closestLevels(const std::vector<double>& levels) {
  double closest = 1.0;
  for (std::size_t s = 1; s < levels.size(); ++s) closest = std::min(closest, levels[s] - levels[s - 1]);
  return closest;
}

// A level's width of FRET under shot noise at total intensity I and background B.
double shotWidth(double level, double intensity, double background) {
  const double variance = intensity * level * (1.0 - level) +
                          background * ((1.0 - level) * (1.0 - level) + level * level);
  return std::sqrt(variance) / intensity;
}

void appendNumber(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7).ptr);
}

}  // namespace

RawTruth rawTruth(const Options& options) {
  RawTruth truth;
  const double width = closestLevels(options.states) / options.snr;
  if (!options.poisson) {
    truth.widths.assign(options.states.size(), width);
    truth.brightness = options.brightness;
    return truth;
  }
  // I^2 w^2 - I E (1 - E) - B ((1 - E)^2 + E^2) = 0 for each level; the largest root.
  for (const double level : options.states) {
    const double b = level * (1.0 - level);
    const double c = options.background * ((1.0 - level) * (1.0 - level) + level * level);
    truth.brightness =
        std::max(truth.brightness, (b + std::sqrt(b * b + 4.0 * width * width * c)) / (2.0 * width * width));
  }
  for (const double level : options.states)
    truth.widths.push_back(shotWidth(level, truth.brightness, options.background));
  return truth;
}

void appendRawFrame(std::string& text, const Options& options, const RawTruth& truth, Random& random, long frame,
                    int state) {
  const double background = options.background;
  const bool dark = state < 0;
  double donor = 0, acceptor = 0;
  if (dark && options.poisson) {
    donor = poissonCount(random, background);
    acceptor = poissonCount(random, background);
  } else if (dark) {
    donor = background + std::sqrt(background) * random.normal();
    acceptor = background + std::sqrt(background) * random.normal();
  } else if (options.poisson) {
    const double level = options.states[static_cast<std::size_t>(state)];
    donor = poissonCount(random, truth.brightness * (1.0 - level) + background);
    acceptor = poissonCount(random, truth.brightness * level + background);
  } else {
    const double level = options.states[static_cast<std::size_t>(state)];
    const double fret = level + truth.widths[static_cast<std::size_t>(state)] * random.normal();
    const double total = truth.brightness + std::sqrt(truth.brightness) * random.normal();
    acceptor = total * fret + background;
    donor = total * (1.0 - fret) + background;
  }
  char number[24];
  text.append(number, std::to_chars(number, number + sizeof number, frame).ptr);
  text += ' ';
  appendNumber(text, donor);
  text += ' ';
  appendNumber(text, acceptor);
  text += ' ';
  text += dark ? "0" : std::to_string(state + 1);
  text += '\n';
}

std::string simulateRawTrace(const Model& model, const RawTruth& truth, const std::vector<double>& chances,
                             long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const int n = model.stateCount();
  // The frame after which the molecule is dark: exponential with the mean --bleach.
  const double bleached = options.bleach > 0 ? -options.bleach * portableLog(random.uniform())
                                             : static_cast<double>(options.frames) + 1.0;
  std::string text = rawTraceHeader(options, molecule);
  text.reserve(text.size() + 32 * static_cast<std::size_t>(options.frames));
  int state = static_cast<int>(random.below(static_cast<std::uint64_t>(n)));
  for (long frame = 1; frame <= options.frames; ++frame) {
    const bool dark = static_cast<double>(frame) > bleached;
    appendRawFrame(text, options, truth, random, frame, dark ? -1 : state);
    state = nextState(random, chances, n, state);
  }
  return text;
}

std::string rawTraceHeader(const Options& options, long molecule) {
  return "# varnel-simulate raw trace\n# seed " + std::to_string(options.seed) + ", molecule " +
         std::to_string(molecule) + "\nframe donor acceptor state\n";
}

}  // namespace simulate
