#include "idealise/rawtraces.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <new>

#include "import/peerformats.h"
#include "import/tracefile.h"
#include "reports/parallel.h"

namespace {

constexpr std::size_t kLeastFrames = 2;

std::vector<ColumnRef> ColumnsOf(const RawOptions& options) {
  if (options.fret) return {*options.fret};
  return {options.donor, options.acceptor};
}

// The molecule's brightness: the kBrightQuantile quantile of its totals.
double Brightness(std::vector<double> totals) {
  if (totals.empty()) return 0;
  const auto at = static_cast<std::size_t>(kBrightQuantile * static_cast<double>(totals.size() - 1));
  std::nth_element(totals.begin(), totals.begin() + static_cast<std::ptrdiff_t>(at), totals.end());
  return totals[at];
}

// A name the table can hold: one field of text, the same when read back.
std::string NameTrouble(const std::string& name) {
  if (name.empty()) return "has no name";
  for (const char c : name)
    if (c == '"' || static_cast<unsigned char>(c) < ' ')
      return "has a name with a double quote or a control character, which a table cannot hold";
  return {};
}

}  // namespace

FretTrace KeptFrames(std::string name, std::string source, const std::vector<double>& frames,
                     const std::vector<double>& values, const RawOptions& options) {
  FretTrace trace{std::move(name), std::move(source), {}, {}};
  const bool pairs = !options.fret;
  const std::size_t width = pairs ? 2 : 1;
  std::vector<double> totals;
  if (pairs)
    for (std::size_t r = 0; r < frames.size(); ++r)
      totals.push_back(values[r * 2 + 1] - options.acceptorBackground +
                       options.gamma * (values[r * 2] - options.donorBackground));
  const double threshold = kBackgroundShare * Brightness(totals);
  for (std::size_t r = 0; r < frames.size(); ++r) {
    if (options.lastFrame && frames[r] > *options.lastFrame) continue;
    if (pairs && !(totals[r] > 0 && totals[r] >= threshold)) continue;
    trace.frames.push_back(frames[r]);
    trace.fret.push_back(pairs ? (values[r * width + 1] - options.acceptorBackground) / totals[r] : values[r]);
  }
  return trace;
}

RawReading ReadRawTraces(const std::vector<std::string>& given, const RawOptions& options) {
  RawReading result;
  if (given.empty()) {
    result.error = "no trace files were given";
    return result;
  }
  const std::vector<ColumnRef> columns = ColumnsOf(options);
  const std::vector<std::string> paths = EachFileOnce(given, result.repeated);
  std::vector<ColumnReading> readings(paths.size());
  ForEachInParallel(paths.size(), [&](std::size_t f) {
    try {
      if (!IsTracesBinaryPath(paths[f]))
        readings[f] = ReadTraceColumns(paths[f], options.layout, columns);
      else if (options.fret)
        readings[f].error = paths[f] + ": a .traces file holds each molecule's donor and acceptor, no FRET to take "
                                       "with --fret";
      else
        readings[f] = ReadTracesBinaryFile(paths[f]);
    } catch (const std::bad_alloc&) {
      readings[f].error = paths[f] + ": there is not enough memory to read it";
    }
  });
  std::map<std::string, std::string> sources;  // each name's molecule
  for (std::size_t f = 0; f < paths.size(); ++f) {
    ColumnReading& reading = readings[f];
    if (!reading.error.empty()) {
      result.error = reading.error;
      return result;
    }
    for (ColumnMolecule& molecule : reading.molecules) {
      // The molecules of a .traces file are numbered: its name before the number tells them
      // from those of other files.
      const std::string stem = std::filesystem::path(paths[f]).stem().string();
      std::string name = IsTracesBinaryPath(paths[f])                      ? stem + "-" + molecule.name
                         : options.layout.layout == TraceLayout::OnePerFile ? stem
                                                                            : molecule.name;
      if (const std::string trouble = NameTrouble(name); !trouble.empty()) {
        result.error = molecule.source + ": the molecule " + trouble;
        return result;
      }
      const auto [at, added] = sources.try_emplace(name, molecule.source);
      if (!added) {
        result.error = molecule.source + ": the molecule is named \"" + name + "\", as is " + at->second +
                       "; each molecule needs a name of its own";
        return result;
      }
      FretTrace trace = KeptFrames(std::move(name), molecule.source, molecule.frames, molecule.values, options);
      std::vector<double>().swap(molecule.values);
      if (trace.fret.size() < kLeastFrames)
        result.left.push_back(molecule.source + " (fewer than 2 frames above background and before the last frame)");
      else
        result.traces.push_back(std::move(trace));
    }
  }
  return result;
}
