// varnel-simulate: writes transition reports of simulated molecules with known
// states and rates, for tests, benchmarks and the bundled examples, or with
// --traces their idealised traces, with --raw raw traces, and with --continuous those of a
// continuous-time chain. Every number it writes is the same on
// every build (tools/simulate/arithmetic.h).

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "reports/reportwriter.h"
#include "tools/simulate/commandline.h"
#include "tools/simulate/simulation.h"

namespace simulate {

namespace {

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) runtimeError("cannot create " + path.string());
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) runtimeError("cannot write " + path.string());
}

void printTrueRates(const Model& model, const RawTruth& raw) {
  std::printf("# varnel-simulate true rates (s^-1), seed %llu\n", static_cast<unsigned long long>(model.options.seed));
  if (model.options.continuous)
    std::printf("# continuous-time chain, the state at each frame's start; at most %ld frames, bleach %.8g, "
                "rate scatter %.8g\n",
                model.options.frames, model.options.bleach, model.options.scatter);
  if (model.options.raw) {
    const Options& o = model.options;
    std::printf("# exposure %.8g s, %ld frames per trace, %s noise, brightness %.8g, background %.8g, bleach %.8g\n",
                o.exposure, o.frames,
                o.channelNoise() ? "channel"
                : o.poisson      ? "Poisson"
                                 : "Gaussian",
                raw.brightness, o.background, o.bleach);
    if (o.channelNoise()) std::printf("# channel noise: gain %.8g, read noise %.8g\n", o.gain, o.readNoise);
    if (o.fretOffset > 0 || o.blinkChance > 0 || o.tailMost > 0)
      std::printf("# FRET offset sd %.8g, blinks %.8g a frame of mean %.8g frames, bleached tail %ld-%ld frames\n",
                  o.fretOffset, o.blinkChance, o.blinkFrames, o.tailLeast, o.tailMost);
    std::printf("# widths");
    for (const double width : raw.widths) std::printf(" %.8g", width);
    std::printf("\n");
  } else if (model.options.traces)
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

}  // namespace simulate

int main(int argc, char** argv) {
  using namespace simulate;
  const Options options = parseArguments(argc, argv);
  const Model model{options, options.rates.empty() ? trueRates(static_cast<int>(options.states.size())) : options.rates};
  const std::vector<double> chances =
      !options.continuous && (options.traces || options.raw) ? stepChances(model) : std::vector<double>{};
  const RawTruth raw = options.raw ? rawTruth(options) : RawTruth{};

  std::error_code error;
  std::filesystem::create_directories(options.outDir, error);
  if (error || !std::filesystem::is_directory(options.outDir))
    runtimeError("cannot create directory " + options.outDir.string());

  std::string dwells = "molecule level frames\n";
  for (long molecule = 1; molecule <= options.molecules; ++molecule) {
    if (options.continuous && options.dwellList)
      dwells += continuousDwells(model, molecule);
    else if (options.continuous && options.raw)
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".txt"),
                continuousRawTrace(model, raw, molecule));
    else if (options.continuous)
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".txt"),
                continuousTrace(model, molecule));
    else if (options.raw)
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".txt"),
                simulateRawTrace(model, raw, chances, molecule));
    else if (options.traces)
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".txt"),
                simulateTrace(model, chances, molecule));
    else
      writeFile(options.outDir / NumberedName(options.prefix, molecule, options.molecules, ".dat"),
                simulateMolecule(model, molecule));
  }

  if (options.continuous && options.dwellList) writeFile(options.outDir / "dwells.txt", dwells);

  printTrueRates(model, raw);
  if (std::fflush(stdout) != 0) runtimeError("cannot write the rate table");
  return 0;
}
