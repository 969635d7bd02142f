#include "idealise/idealisedtable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/outputfile.h"

namespace {

void AppendNumber(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// "  chosen", "  not taken: WHY", or for a model chosen because no model of distinct states was
// fitted, "  chosen, though WHY".
std::string FitStanding(const StateCountFit& fit, bool chosen) {
  if (fit.unseparated.empty()) return chosen ? "  chosen" : "";
  return (chosen ? "  chosen, though " : "  not taken: ") + fit.unseparated;
}

// The table's idealised value of a frame of molecule `molecule` in state `state` of `model`: the
// state's mean, or the value of the merged state it went into, plus the molecule's offset.
double IdealisedValueOf(const HmmModel& model, std::size_t molecule, int state, const LevelStates* merged) {
  const double mean = model.means[static_cast<std::size_t>(state)];
  const double level = merged ? merged->ValueOf(mean) : mean;
  return model.offsets.empty() ? level : level + model.Offset(molecule);
}

// Gives `emit` a molecule's rows one at a time, so that what is held is a row, not the molecule;
// a name with a comma stands in quotes.
template <typename Emit>
void EmitRows(const Emit& emit, const FretTrace& trace, std::size_t molecule, const std::vector<int>& path,
              const HmmModel& model, const LevelStates* merged, bool blinkColumn) {
  const bool quoted = trace.name.find(',') != std::string::npos;
  const std::string name = quoted ? "\"" + trace.name + "\"" : trace.name;
  std::string row;
  std::size_t blink = 0;  // the next of the trace's blink frames
  for (std::size_t t = 0; t < trace.fret.size(); ++t) {
    row.clear();
    row += name;
    row += ',';
    AppendNumber(row, trace.frames[t]);
    row += ',';
    AppendNumber(row, trace.fret[t]);
    row += ',';
    AppendNumber(row, IdealisedValueOf(model, molecule, path[t], merged));
    if (blinkColumn) {
      const std::size_t first = blink;
      while (blink < trace.blinks.size() && trace.blinks[blink] < trace.frames[t]) ++blink;
      row += ',';
      row += std::to_string(blink - first);
    }
    if (!model.offsets.empty()) {
      row += ',';
      AppendNumber(row, model.Offset(molecule));
    }
    row += '\n';
    emit(std::string_view(row));
  }
}

bool AnyBlinked(const std::vector<FretTrace>& traces) {
  return std::any_of(traces.begin(), traces.end(), [](const FretTrace& trace) { return !trace.blinks.empty(); });
}

std::string HeaderOf(const std::vector<FretTrace>& traces, const HmmModel& model) {
  return std::string(AnyBlinked(traces) ? kIdealisedBlinkHeader : kIdealisedHeader) +
         (model.offsets.empty() ? "" : kIdealisedOffsetColumn) + "\n";
}

std::string Formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

double IdealisedTraces::IdealisedValue(std::size_t molecule, std::size_t frame) const {
  return IdealisedValueOf(idealisation.Model(), molecule, idealisation.paths[molecule][frame],
                          merged ? &*merged : nullptr);
}

LevelStates MergedStates(const Idealisation& idealisation, const StatesOption& option) {
  const HmmModel& model = idealisation.Model();
  std::vector<std::vector<Dwell>> molecules(idealisation.paths.size());
  for (std::size_t m = 0; m < molecules.size(); ++m)
    for (const int state : idealisation.paths[m]) AppendFrames(molecules[m], model.means[static_cast<std::size_t>(state)]);
  return FindStates(molecules, option);
}

std::string IdealisedTableText(const std::vector<FretTrace>& traces, const Idealisation& idealisation,
                               const LevelStates* merged) {
  std::string text = HeaderOf(traces, idealisation.Model());
  const bool blinks = AnyBlinked(traces);
  const auto append = [&](std::string_view row) { text += row; };
  for (std::size_t m = 0; m < traces.size(); ++m)
    EmitRows(append, traces[m], m, idealisation.paths[m], idealisation.Model(), merged, blinks);
  return text;
}

std::optional<std::string> WriteIdealisedTable(const std::string& path, const std::vector<FretTrace>& traces,
                                               const Idealisation& idealisation, const LevelStates* merged) {
  OutputFile file(path);
  file.Write(HeaderOf(traces, idealisation.Model()));
  const bool blinks = AnyBlinked(traces);
  // The file buffers what it is given: the rows go to the disk as they are made.
  const auto write = [&](std::string_view row) { file.Write(row); };
  for (std::size_t m = 0; m < traces.size(); ++m)
    EmitRows(write, traces[m], m, idealisation.paths[m], idealisation.Model(), merged, blinks);
  return file.Commit();
}

std::string ModelSummary(const Idealisation& idealisation, double brightnessReference) {
  std::string text = "states  log-likelihood  parameters  iterations  BIC\n";
  for (std::size_t f = 0; f < idealisation.fits.size(); ++f) {
    const StateCountFit& fit = idealisation.fits[f];
    text += Formatted("%6.0f", fit.states);
    if (!fit.fitted) {
      text += "  not fitted: " + fit.why + "\n";
      continue;
    }
    text += "  " + Formatted("%14.6f", fit.logLikelihood) + "  " +
            Formatted("%10.0f", static_cast<double>(fit.parameters)) + "  " + Formatted("%10.0f", fit.iterations) +
            "  " + Formatted("%.6f", fit.bic) + FitStanding(fit, f == idealisation.chosen) + "\n";
  }
  const HmmModel& model = idealisation.Model();
  const auto k = static_cast<std::size_t>(model.states);
  text += "chosen: " + std::to_string(model.states) + (k == 1 ? " state" : " states") + "\nstate  mean  width  first\n";
  for (std::size_t s = 0; s < k; ++s)
    text += Formatted("%5.0f", static_cast<double>(s + 1)) + "  " + Formatted("%.6g", model.means[s]) + "  " +
            Formatted("%.6g", model.widths[s]) + "  " + Formatted("%.6g", model.initial[s]) + "\n";
  if (brightnessReference > 0)
    text += "widths at the median brightness " + Formatted("%.6g", brightnessReference) +
            ", each frame's times sqrt(that / its own)\n";
  if (!model.offsets.empty()) {
    const auto [least, most] = std::minmax_element(model.offsets.begin(), model.offsets.end());
    text += "molecules' offsets: rms " + Formatted("%.6g", model.OffsetsRms()) +
            ", from " + Formatted("%.6g", *least) + " to " + Formatted("%.6g", *most) + "\n";
  }
  if (model.transitions.size() != k * k) return text + "transition chances per frame: one matrix per molecule\n";
  text += "transition chances per frame, from the state of the row to that of the column:\n";
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) text += (j ? "  " : "") + Formatted("%.6g", model.transitions[i * k + j]);
    text += "\n";
  }
  return text;
}

std::string TopOfRangeText(const Idealisation& idealisation, const HmmSettings& settings) {
  const int chosen = idealisation.Model().states;
  if (chosen != settings.mostStates || settings.leastStates == settings.mostStates) return {};
  const int wider = std::min(kMostHmmStates, settings.mostStates + 2);
  std::string text = "The chosen number of states, " + std::to_string(chosen) + ", is the most that --states " +
                     std::to_string(settings.leastStates) + "-" + std::to_string(settings.mostStates) +
                     " offers: more states might fit better";
  if (wider > settings.mostStates)
    text += "; --states " + std::to_string(settings.leastStates) + "-" + std::to_string(wider) + " fits them too";
  return text;
}
