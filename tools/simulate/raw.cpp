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
//
// With channel noise (--gain, --read-noise) each channel is a camera's count: donor =
// I (1 - E) + B + noise, acceptor = I E + B + noise, the noise of a channel of mean count c the
// shot noise of c / g photons seen at g counts each, variance g c (the normal approximation of
// g Poisson(c / g), close for the tens of photons and more a frame a molecule gives), plus read
// noise of sd R; independent between channels and frames. To first order the ratio
// A / (A + D) then has the width sqrt(var A (1 - E)^2 + var D E^2) / I.
//
// Channel and shot noise take molecules that differ in brightness (--brightness-spread S: each
// molecule's brightness times exp(S e), e standard normal, drawn once per molecule), so that a
// dim molecule's FRET is noisier than a bright one's.
//
// Any mode takes a molecule's FRET offset (every level of the molecule moved by sd x e, e
// standard normal, drawn once per molecule, the level kept within (0, 1)), blinks (a frame
// begins one with the chance --blinks, and each frame of one ends it with the chance
// 1 / --blink-frames; both channels at background meanwhile, the chain going on beneath) and a
// bleached tail (the last U frames at background, U even on least ... most). A molecule draws
// these only when they are asked for, after what it drew before, so the traces of the other
// options stay as they were.
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

// A channel of mean count `mean` with its shot and read noise.
double cameraCount(Random& random, const Options& options, double mean) {
  return mean + std::sqrt(options.gain * std::max(mean, 0.0) + options.readNoise * options.readNoise) * random.normal();
}

// The width of FRET of a level under channel noise, to first order.
double channelWidth(const Options& options, double level) {
  const double intensity = options.brightness, background = options.background;
  const double read = options.readNoise * options.readNoise;
  const double acceptor = options.gain * (intensity * level + background) + read;
  const double donor = options.gain * (intensity * (1.0 - level) + background) + read;
  return std::sqrt(acceptor * (1.0 - level) * (1.0 - level) + donor * level * level) / intensity;
}

// A level moved by a molecule's offset, kept within (0, 1).
constexpr double kLevelMargin = 1e-3;
double offsetLevel(double level, double offset) {
  return offset == 0 ? level : std::clamp(level + offset, kLevelMargin, 1.0 - kLevelMargin);
}

}  // namespace

RawTruth rawTruth(const Options& options) {
  RawTruth truth;
  if (options.channelNoise()) {
    for (const double level : options.states) truth.widths.push_back(channelWidth(options, level));
    truth.brightness = options.brightness;
    return truth;
  }
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
                    int state, double offset, double brightness) {
  const double background = options.background;
  const bool dark = state < 0;
  double donor = 0, acceptor = 0;
  if (options.channelNoise()) {
    const double level = dark ? 0.0 : offsetLevel(options.states[static_cast<std::size_t>(state)], offset);
    const double intensity = dark ? 0.0 : options.brightness * brightness;
    donor = cameraCount(random, options, intensity * (1.0 - level) + background);
    acceptor = cameraCount(random, options, intensity * level + background);
  } else if (dark && options.poisson) {
    donor = poissonCount(random, background);
    acceptor = poissonCount(random, background);
  } else if (dark) {
    donor = background + std::sqrt(background) * random.normal();
    acceptor = background + std::sqrt(background) * random.normal();
  } else if (options.poisson) {
    const double level = offsetLevel(options.states[static_cast<std::size_t>(state)], offset);
    donor = poissonCount(random, truth.brightness * brightness * (1.0 - level) + background);
    acceptor = poissonCount(random, truth.brightness * brightness * level + background);
  } else {
    const double level = options.states[static_cast<std::size_t>(state)] + offset;
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

namespace {

// What a molecule draws before its frames, in this order.
struct MoleculeDraws {
  double bleached = 0;    // the frame after which the molecule is dark: exponential with the mean --bleach
  int state = 0;          // its first state
  double offset = 0;      // its FRET offset
  long tail = 0;          // the frames of its bleached tail
  double brightness = 1;  // its brightness's factor
};

MoleculeDraws drawMolecule(const Model& model, Random& random) {
  const Options& options = model.options;
  MoleculeDraws draws;
  draws.bleached = options.bleach > 0 ? -options.bleach * portableLog(random.uniform())
                                      : static_cast<double>(options.frames) + 1.0;
  draws.state = static_cast<int>(random.below(static_cast<std::uint64_t>(model.stateCount())));
  draws.offset = options.fretOffset > 0 ? options.fretOffset * random.normal() : 0.0;
  draws.tail =
      options.tailMost > 0
          ? options.tailLeast +
                static_cast<long>(random.below(static_cast<std::uint64_t>(options.tailMost - options.tailLeast + 1)))
          : 0;
  if (options.brightnessSpread > 0) draws.brightness = portableExp(options.brightnessSpread * random.normal());
  return draws;
}

}  // namespace

double rawFretOffset(const Model& model, long molecule) {
  Random random(model.options.seed, static_cast<std::uint64_t>(molecule));
  return drawMolecule(model, random).offset;
}

std::string simulateRawTrace(const Model& model, const RawTruth& truth, const std::vector<double>& chances,
                             long molecule) {
  const Options& options = model.options;
  Random random(options.seed, static_cast<std::uint64_t>(molecule));
  const int n = model.stateCount();
  const MoleculeDraws draws = drawMolecule(model, random);
  const double bleached = draws.bleached, offset = draws.offset;
  const long tail = draws.tail;
  int state = draws.state;
  std::string text = rawTraceHeader(options, molecule);
  text.reserve(text.size() + 32 * static_cast<std::size_t>(options.frames));
  bool blinking = false;
  for (long frame = 1; frame <= options.frames; ++frame) {
    if (options.blinkChance > 0)
      blinking = blinking ? random.uniform() >= 1.0 / options.blinkFrames : random.uniform() < options.blinkChance;
    const bool dark = static_cast<double>(frame) > bleached || frame > options.frames - tail || blinking;
    appendRawFrame(text, options, truth, random, frame, dark ? -1 : state, offset, draws.brightness);
    state = nextState(random, chances, n, state);
  }
  return text;
}

std::string rawTraceHeader(const Options& options, long molecule) {
  return "# varnel-simulate raw trace\n# seed " + std::to_string(options.seed) + ", molecule " +
         std::to_string(molecule) + "\nframe donor acceptor state\n";
}

}  // namespace simulate
