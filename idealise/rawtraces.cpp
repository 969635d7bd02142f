#include "idealise/rawtraces.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <new>

#include "idealise/hmm.h"
#include "import/peerformats.h"
#include "import/tracefile.h"
#include "reports/parallel.h"

namespace {

constexpr std::size_t kLeastFrames = 2;

// The signal's columns, then the time's.
std::vector<ColumnRef> ColumnsOf(const RawOptions& options) {
  if (options.fret) return {*options.fret, options.time};
  return {options.donor, options.acceptor, options.time};
}

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g s", value);
  return text;
}

// A camera's traces in the rows the text files give: donor, acceptor, then the time, which
// such a file does not hold.
ColumnReading WithNoTime(ColumnReading reading) {
  for (ColumnMolecule& molecule : reading.molecules) {
    std::vector<double> rows;
    rows.reserve(molecule.values.size() / 2 * 3);
    for (std::size_t r = 0; r + 1 < molecule.values.size(); r += 2)
      rows.insert(rows.end(), {molecule.values[r], molecule.values[r + 1], std::nan("")});
    molecule.values = std::move(rows);
  }
  return reading;
}

bool Agree(double a, double b) { return std::fabs(a - b) <= kFrameTimeAgreement * std::max(a, b); }

// The value of rank `rank` (0 the least) among `values` (more than `rank`), found by selection,
// which reorders them.
double Ranked(std::vector<double>& values, std::size_t rank) {
  const auto at = values.begin() + static_cast<std::ptrdiff_t>(rank);
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

// The median of `values` (at least one), the upper of the middle two of an even count.
double Median(std::vector<double>& values) { return Ranked(values, values.size() / 2); }

// The molecule's brightness: the kBrightQuantile quantile of its totals.
double Brightness(std::vector<double> totals) {
  if (totals.empty()) return 0;
  return Ranked(totals, static_cast<std::size_t>(kBrightQuantile * static_cast<double>(totals.size() - 1)));
}

// A Gaussian's centre and width, as the median and the median absolute deviation of `values`
// (at least one) give them: the width 1.4826 MAD, a normal distribution's sd.
struct Spread {
  double centre = 0;
  double width = 0;
};
Spread SpreadOf(std::vector<double> values) {
  Spread spread;
  spread.centre = Median(values);
  for (double& value : values) value = std::fabs(value - spread.centre);
  spread.width = 1.4826 * Median(values);
  return spread;
}

// The frames of `totals` that are dark (kept = the frames in range): the most likely path of the
// chain of two states described at kBlinkChance, from a first split at `threshold`.
std::vector<char> DarkFrames(const std::vector<double>& totals, const std::vector<char>& kept, double threshold) {
  std::vector<char> dark(totals.size());
  // A total beyond the doubles (intensities near their limit) is no brightness to measure.
  for (std::size_t r = 0; r < totals.size(); ++r)
    dark[r] = !(totals[r] > 0 && totals[r] >= threshold && std::isfinite(totals[r]));
  for (int round = 0; round < kDarkRounds; ++round) {
    std::vector<double> bright, background, seen;
    for (std::size_t r = 0; r < totals.size(); ++r) {
      if (!kept[r] || !std::isfinite(totals[r])) continue;
      (dark[r] ? background : bright).push_back(totals[r]);
      seen.push_back(totals[r]);
    }
    if (bright.empty()) return dark;
    const Spread on = SpreadOf(std::move(bright));
    const double least = kLeastTotalWidth * std::fabs(on.centre);
    const Spread off = background.size() >= kLeastDarkFrames ? SpreadOf(std::move(background)) : Spread{0, on.width};
    // Levels that do not lie apart split nothing: the first split stands.
    if (!(off.centre < on.centre) || !(least > 0)) return dark;
    HmmModel chain;
    chain.states = 2;
    chain.means = {off.centre, on.centre};
    chain.widths = {std::max(off.width, least), std::max(on.width, least)};
    chain.initial = {0.5, 0.5};
    chain.transitions = {1.0 - kBlinkEnd, kBlinkEnd, kBlinkChance, 1.0 - kBlinkChance};
    const std::vector<int> path = ViterbiPath(seen, chain, 0);
    const double dimmest = kLeastLivingShare * on.centre;
    for (std::size_t r = 0, f = 0; r < totals.size(); ++r)
      if (kept[r] && std::isfinite(totals[r])) dark[r] = path[f++] == 0 || !(totals[r] > dimmest);
  }
  return dark;
}

// The name of each file's molecules: its name without folder and extension, or, where files of
// two folders share that name (a lab's "stable/13.dat" and "fluctuating/13.dat"), its folder's
// name before it, "stable/13".
std::vector<std::string> FileStems(const std::vector<std::string>& paths) {
  std::map<std::string, int> count;
  std::vector<std::string> stems;
  for (const std::string& path : paths) ++count[stems.emplace_back(std::filesystem::path(path).stem().string())];
  for (std::size_t f = 0; f < paths.size(); ++f)
    if (count[stems[f]] > 1) {
      const std::filesystem::path folder = std::filesystem::path(paths[f]).parent_path().filename();
      if (!folder.empty()) stems[f] = folder.string() + "/" + stems[f];
    }
  return stems;
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

std::optional<double> FrameTimeOf(const std::vector<double>& times, std::string& trouble) {
  if (times.size() < 2 || std::isnan(times.front())) return std::nullopt;
  const double step = (times.back() - times.front()) / static_cast<double>(times.size() - 1);
  if (!(step > 0)) {
    trouble = "its time column does not increase";
    return std::nullopt;
  }
  for (std::size_t r = 1; r < times.size(); ++r)
    if (std::fabs(times[r] - times[r - 1] - step) > kTimeStepTolerance * step) {
      trouble = "its time column steps irregularly: " + Seconds(times[r] - times[r - 1]) + " from row " +
                std::to_string(r) + " to row " + std::to_string(r + 1) + ", where it steps " + Seconds(step) +
                " a frame on average; the frames need one frame time";
      return std::nullopt;
    }
  return step;
}

std::string DarkFramesText(const std::vector<FretTrace>& traces) {
  std::size_t bleached = 0, bleachedMolecules = 0, blinkFrames = 0, blinks = 0, blinkMolecules = 0;
  for (const FretTrace& trace : traces) {
    bleached += trace.bleached;
    bleachedMolecules += trace.bleached > 0;
    blinkFrames += trace.blinks.size();
    blinkMolecules += !trace.blinks.empty();
    // A blink is a run of frames at background: a frame at background after one that is not.
    std::size_t kept = 0;
    for (std::size_t b = 0; b < trace.blinks.size(); ++b) {
      bool living = false;  // a frame above background between this blink frame and the one before
      for (; kept < trace.frames.size() && trace.frames[kept] < trace.blinks[b]; ++kept) living = true;
      blinks += b == 0 || living;
    }
  }
  const auto counted = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string text;
  if (bleached > 0)
    text = counted(bleached, "frame", "frames") + " at background after bleaching cut from " +
           counted(bleachedMolecules, "molecule", "molecules");
  if (blinkFrames > 0)
    text += (text.empty() ? "" : "; ") + counted(blinkFrames, "frame", "frames") + " of " +
            counted(blinks, "blink", "blinks") + " in " + counted(blinkMolecules, "molecule", "molecules") +
            " given no state";
  return text;
}

FretTrace KeptFrames(std::string name, std::string source, const std::vector<double>& frames,
                     const std::vector<double>& values, const RawOptions& options) {
  FretTrace trace{std::move(name), std::move(source), {}, {}, 0, {}, {}, {}, {}, {}};
  const bool pairs = !options.fret;
  const std::size_t width = pairs ? 2 : 1;
  std::vector<double> totals;
  if (pairs)
    for (std::size_t r = 0; r < frames.size(); ++r)
      totals.push_back(values[r * 2 + 1] - options.acceptorBackground +
                       options.gamma * (values[r * 2] - options.donorBackground));
  const auto inRange = [&](std::size_t r) { return !(options.lastFrame && frames[r] > *options.lastFrame); };
  std::vector<char> darkFrames;
  if (pairs) {
    std::vector<char> kept(frames.size());
    for (std::size_t r = 0; r < frames.size(); ++r) kept[r] = inRange(r);
    darkFrames = DarkFrames(totals, kept, kBackgroundShare * Brightness(totals));
  }
  const auto dark = [&](std::size_t r) { return pairs && darkFrames[r]; };
  // The frames after the last run of kLeastLivingRun frames above background are the bleached
  // tail (after the last frame above it where no run is that long).
  std::size_t end = frames.size();
  if (pairs) {
    while (end > 0 && (!inRange(end - 1) || dark(end - 1))) --end;
    // Going back from there, the first frame that starts kLeastLivingRun bright frames starts
    // the last such run, and the frame after it is dark.
    std::size_t run = 0;
    for (std::size_t r = end; r-- > 0;) {
      run = inRange(r) && !dark(r) ? run + 1 : 0;
      if (run == kLeastLivingRun) {
        end = r + kLeastLivingRun;
        break;
      }
    }
    for (std::size_t r = end; r < frames.size(); ++r) trace.bleached += inRange(r);
  }
  if (pairs)
    for (std::size_t r = 0; r < frames.size(); ++r) {
      if (!inRange(r)) continue;
      trace.channelFrames.push_back(frames[r]);
      trace.donor.push_back(values[r * 2] - options.donorBackground);
      trace.acceptor.push_back(values[r * 2 + 1] - options.acceptorBackground);
    }
  for (std::size_t r = 0; r < end; ++r) {
    if (!inRange(r)) continue;
    if (dark(r)) {
      trace.blinks.push_back(frames[r]);
      continue;
    }
    trace.frames.push_back(frames[r]);
    trace.fret.push_back(pairs ? (values[r * width + 1] - options.acceptorBackground) / totals[r] : values[r]);
    if (pairs) trace.totals.push_back(totals[r]);
  }
  return trace;
}

BrightnessWeights WeightsOfBrightness(const std::vector<FretTrace>& traces) {
  BrightnessWeights result;
  std::vector<double> all;
  for (const FretTrace& trace : traces) {
    if (trace.totals.size() != trace.fret.size()) return result;
    all.insert(all.end(), trace.totals.begin(), trace.totals.end());
  }
  if (all.empty()) return result;
  result.reference = Median(all);
  for (const FretTrace& trace : traces) {
    std::vector<double>& weights = result.weights.emplace_back();
    weights.reserve(trace.totals.size());
    for (const double total : trace.totals) weights.push_back(total / result.reference);
  }
  return result;
}

std::pair<double, double> FrameSpan(const FretTrace& trace) {
  const std::vector<double>& frames = trace.channelFrames.empty() ? trace.frames : trace.channelFrames;
  if (frames.empty()) return {0, 1};
  return {frames.front(), std::max(frames.back(), frames.front() + 1)};
}

RawReading ReadRawTraces(const std::vector<std::string>& given, const RawOptions& options) {
  RawReading result;
  if (given.empty()) {
    result.error = "no trace files were given";
    return result;
  }
  const std::vector<ColumnRef> columns = ColumnsOf(options);
  if (options.frameTime) result.frameTime = options.frameTime;
  const std::vector<std::string> paths = EachFileOnce(given, result.repeated);
  std::vector<ColumnReading> readings(paths.size());
  ForEachInParallel(paths.size(), [&](std::size_t f) {
    try {
      if (!IsTracesBinaryPath(paths[f]) && !IsHdf5Path(paths[f]))
        readings[f] = ReadTraceColumns(paths[f], options.layout, columns);
      else if (options.fret)
        readings[f].error = paths[f] + (IsHdf5Path(paths[f]) ? ": an SMD HDF5 file" : ": a .traces file") +
                            " holds each molecule's donor and acceptor, no FRET to take with --fret";
      else if (IsHdf5Path(paths[f]))
        readings[f] = WithNoTime(ReadSmdHdf5File(paths[f]));
      else
        readings[f] = WithNoTime(ReadTracesBinaryFile(paths[f]));
    } catch (const std::bad_alloc&) {
      readings[f].error = paths[f] + ": there is not enough memory to read it";
    }
  });
  std::map<std::string, std::string> sources;  // each name's molecule
  const std::vector<std::string> stems = FileStems(paths);
  for (std::size_t f = 0; f < paths.size(); ++f) {
    ColumnReading& reading = readings[f];
    if (!reading.error.empty()) {
      result.error = reading.error;
      return result;
    }
    for (ColumnMolecule& molecule : reading.molecules) {
      // The molecules of a .traces or an SMD HDF5 file are numbered: its name before the number
      // tells them from those of other files.
      const std::string& stem = stems[f];
      std::string name = IsTracesBinaryPath(paths[f]) || IsHdf5Path(paths[f]) ? stem + "-" + molecule.name
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
      // The rows hold the signal's columns, then the time.
      const std::size_t width = columns.size();
      std::vector<double> signal, times;
      signal.reserve(molecule.frames.size() * (width - 1));
      times.reserve(molecule.frames.size());
      for (std::size_t r = 0; r < molecule.frames.size(); ++r) {
        const auto row = molecule.values.begin() + static_cast<std::ptrdiff_t>(r * width);
        signal.insert(signal.end(), row, row + static_cast<std::ptrdiff_t>(width - 1));
        times.push_back(row[static_cast<std::ptrdiff_t>(width - 1)]);
      }
      std::vector<double>().swap(molecule.values);
      std::string trouble;
      if (const std::optional<double> step = FrameTimeOf(times, trouble)) {
        if (result.frameTimeFrom.empty() && options.frameTime && !Agree(*step, *options.frameTime)) {
          result.error = molecule.source + ": its time column steps " + Seconds(*step) +
                         " a frame, but --frame-time gives " + Seconds(*options.frameTime) +
                         "; give the one that is right, or leave --frame-time out";
          return result;
        }
        if (!result.frameTimeFrom.empty() && !Agree(*step, *result.frameTime)) {
          result.error = molecule.source + ": its time column steps " + Seconds(*step) + " a frame, where " +
                         result.frameTimeFrom + " steps " + Seconds(*result.frameTime) +
                         "; the molecules of one idealisation share one frame time";
          return result;
        }
        if (result.frameTimeFrom.empty()) {
          result.frameTime = step;
          result.frameTimeFrom = molecule.source;
        }
      } else if (!trouble.empty()) {
        result.error = molecule.source + ": " + trouble;
        return result;
      }
      FretTrace trace = KeptFrames(std::move(name), molecule.source, molecule.frames, signal, options);
      std::vector<double>().swap(signal);
      if (trace.fret.size() < kLeastFrames)
        result.left.push_back(molecule.source + " (fewer than 2 frames above background and before the last frame)");
      else
        result.traces.push_back(std::move(trace));
    }
  }
  return result;
}
