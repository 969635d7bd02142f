// The compiled module of the Python package `varnel` (varnel._varnel, which python/varnel/
// names as varnel's own): one analysis session, driven the way a script drives it, with
// Python's types in and out. Every number comes from the session itself; this file only
// converts, releases the interpreter while the session works, and turns what the session says
// into exceptions and warnings.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "analysis/commands.h"
#include "analysis/molecules.h"
#include "analysis/session.h"
#include "export/exportoptions.h"
#include "fit/results.h"
#include "idealise/idealisedtable.h"
#include "idealise/idealiseoptions.h"
#include "import/dwelltable.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "platform/script.h"
#include "reports/parallel.h"

namespace py = pybind11;

namespace {

// What a refused operation said, raised as varnel.Error.
struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The warning categories of what an operation that was carried out says: a notice, or a
// problem it ran into (a file it could not write, reports that fell short).
PyObject* g_noticeCategory = nullptr;
PyObject* g_problemCategory = nullptr;

void Warn(PyObject* category, const std::string& text) {
  if (PyErr_WarnEx(category, text.c_str(), 1) != 0) throw py::error_already_set();
}

std::string TextOf(const Outcome& outcome) {
  std::string text;
  for (const Message& message : outcome.messages) text += (text.empty() ? "" : "\n") + message.text;
  return text;
}

// A refused outcome raises varnel.Error with every message it has, one a line, as the program
// shows them; a done one warns with each of its messages.
void Report(const Outcome& outcome) {
  if (!outcome.done) throw Refusal(TextOf(outcome));
  for (const Message& message : outcome.messages)
    Warn(message.severity == Severity::Notice ? g_noticeCategory : g_problemCategory, message.text);
}

// One session, and the lock that lets one call at a time work on it: the interpreter is
// released while it works, so another Python thread may call in meanwhile.
struct PySession {
  Session session;
  std::mutex busy;
};

// Runs `work` on the session with the interpreter released; returns what it returns.
template <class Work>
auto Run(PySession& self, Work work) {
  py::gil_scoped_release release;
  std::lock_guard<std::mutex> lock(self.busy);
  return work(self.session);
}

// A path (str, bytes or os.PathLike) as the system's bytes: a name that is no UTF-8 (bytes, or
// a str with the surrogates os.fsdecode gives such names) passes through as it is.
std::string PathBytes(const py::handle& path) {
  const py::module_ os = py::module_::import("os");
  return py::bytes(os.attr("fsencode")(os.attr("fspath")(path))).cast<std::string>();
}

// Runs `work(session, progress)` on a thread of its own while this one looks out for signals
// every 50 ms: Ctrl-C asks the work to stop, as the window's Stop does, and KeyboardInterrupt is
// raised once the work has returned, having kept or left what a stop keeps or leaves.
template <class Work>
auto RunStoppable(PySession& self, Work work) {
  WorkProgress progress;
  using Result = decltype(work(self.session, progress));
  std::optional<Result> result;
  std::exception_ptr failure;
  std::mutex doneMutex;
  std::condition_variable doneChanged;
  bool finished = false;
  bool interrupted = false;
  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        std::lock_guard<std::mutex> lock(self.busy);
        result.emplace(work(self.session, progress));
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(doneMutex);
      finished = true;
      doneChanged.notify_all();
    });
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(doneMutex);
        if (doneChanged.wait_for(lock, std::chrono::milliseconds(50), [&] { return finished; })) break;
      }
      py::gil_scoped_acquire acquire;
      if (!interrupted && PyErr_CheckSignals() != 0) {
        interrupted = true;
        progress.stop.request_stop();
      }
    }
    worker.join();
  }
  if (interrupted) throw py::error_already_set();
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

// The system's bytes of a path as Python's str, as os.fsdecode gives it: a name that is no UTF-8
// keeps its bytes as surrogates, and os.fsencode gives them back.
py::object PathText(const std::string& path) { return py::module_::import("os").attr("fsdecode")(py::bytes(path)); }

// The paths or patterns of `paths`, one or a sequence of them, as text. A script's `load` and
// `files` expand them (ExpandScriptPaths): each pattern's matches sorted, every path made absolute.
std::vector<std::string> PathList(const py::object& paths) {
  if (py::isinstance<py::str>(paths) || py::isinstance<py::bytes>(paths) ||
      py::isinstance(paths, py::module_::import("os").attr("PathLike")))
    return {PathBytes(paths)};
  std::vector<std::string> list;
  for (const py::handle path : paths) list.push_back(PathBytes(path));
  return list;
}

// Keyword arguments as option words: `peaks=3` is "--peaks 3", `colour_scale="log"` is
// "--colour-scale log", `dwells=True` the word "--dwells" alone; False and None give none.
std::vector<std::string> OptionWords(const py::kwargs& options) {
  std::vector<std::string> words;
  for (const auto& [key, value] : options) {
    std::string name = "--" + key.cast<std::string>();
    std::replace(name.begin() + 2, name.end(), '_', '-');
    if (value.is_none() || (py::isinstance<py::bool_>(value) && !value.cast<bool>())) continue;
    words.push_back(name);
    if (!py::isinstance<py::bool_>(value)) words.push_back(py::str(value).cast<std::string>());
  }
  return words;
}

void Check(const Outcome& outcome) {
  if (!outcome.done) throw Refusal(TextOf(outcome));
}

// A cell of the results table as Python's value: a whole number, a number, the text, or None
// for an empty cell. The numbers are the table's, with its 6 significant digits.
py::object CellValue(const std::string& column, const std::string& cell) {
  if (cell.empty()) return py::none();
  if (column == "class" || column == "source" || column == "flags" || column == "estimator" || column == "state" ||
      column == "chosen" || column == "cut" || column == "note")
    return py::str(cell);
  long long whole = 0;
  const char* end = cell.data() + cell.size();
  if (auto [ptr, ec] = std::from_chars(cell.data(), end, whole); ec == std::errc() && ptr == end)
    return py::int_(whole);
  double number = 0;
  if (auto [ptr, ec] = std::from_chars(cell.data(), end, number); ec == std::errc() && ptr == end)
    return py::float_(number);
  return py::str(cell);
}

// The rows of a table as dicts under its `columns`, each cell as CellValue reads it.
py::list RowDicts(const std::vector<std::string>& columns, const std::vector<std::vector<std::string>>& rows) {
  py::list list;
  for (const std::vector<std::string>& cells : rows) {
    py::dict d;
    for (std::size_t k = 0; k < columns.size(); ++k) d[py::str(columns[k])] = CellValue(columns[k], cells[k]);
    list.append(d);
  }
  return list;
}

py::object IntervalPair(const std::optional<Interval>& interval) {
  if (!interval) return py::none();
  return py::make_tuple(interval->low, interval->high);
}

const char* StateName(IntervalState state) {
  switch (state) {
    case IntervalState::kComputed: return "computed";
    case IntervalState::kComputing: return "computing";
    case IntervalState::kStopped: return "stopped";
  }
  return "computed";
}

py::dict UncertaintyDict(const ClassUncertainty& u) {
  py::dict d;
  d["state"] = StateName(u.state);
  d["kind"] = std::string(IntervalKindName(u.kind));
  d["rate_interval"] = IntervalPair(u.Rate());
  d["pooled_rate"] = u.pooledRate ? py::object(py::float_(*u.pooledRate)) : py::none();
  d["pooled_interval"] = IntervalPair(u.Pooled());
  py::dict percentile, bca;
  percentile["rate"] = IntervalPair(u.rateKinds.percentile);
  percentile["pooled"] = IntervalPair(u.pooledKinds.percentile);
  bca["rate"] = IntervalPair(u.rateKinds.bca);
  bca["pooled"] = IntervalPair(u.pooledKinds.bca);
  d["percentile"] = percentile;
  d["bca"] = bca;
  d["rate_acceleration"] = u.rateAcceleration;
  d["pooled_acceleration"] = u.pooledAcceleration;
  d["molecules"] = u.molecules;
  d["pooled_frames_unknown"] = u.framesUnknown;
  d["replicates"] = u.replicates;
  d["failed"] = u.failed;
  return d;
}

// A K x K numpy array of `value(i, j)` for i != j, NaN on the diagonal and where there is none.
template <class Value>
py::array_t<double> PathArray(const kinetics::RateMatrix& m, Value value) {
  const py::ssize_t k = m.states;
  py::array_t<double> array({k, k});
  auto cells = array.mutable_unchecked<2>();
  for (py::ssize_t i = 0; i < k; ++i)
    for (py::ssize_t j = 0; j < k; ++j) cells(i, j) = std::numeric_limits<double>::quiet_NaN();
  for (const kinetics::PathRate& rate : m.rates)
    if (const std::optional<double> v = value(rate)) cells(rate.from, rate.to) = *v;
  return array;
}

py::array_t<double> SquareArray(const std::vector<double>& values, int states) {
  return py::array_t<double>({static_cast<py::ssize_t>(states), static_cast<py::ssize_t>(states)}, values.data());
}

py::dict RateMatrixDict(const kinetics::RateMatrix& m) {
  py::dict d;
  d["states"] = m.states;
  d["exposure"] = m.exposure;
  d["rates"] = PathArray(m, [](const kinetics::PathRate& r) { return std::optional<double>(r.rate); });
  d["low"] = PathArray(m, [](const kinetics::PathRate& r) {
    return r.interval ? std::optional<double>(r.interval->low) : std::nullopt;
  });
  d["high"] = PathArray(m, [](const kinetics::PathRate& r) {
    return r.interval ? std::optional<double>(r.interval->high) : std::nullopt;
  });
  d["upper_limit"] = PathArray(m, [](const kinetics::PathRate& r) { return r.upperLimit; });
  d["generator"] = SquareArray(m.generator, m.states);
  d["counts"] = SquareArray(m.counts, m.states);
  d["occupancy"] = py::array_t<double>(static_cast<py::ssize_t>(m.occupancy.size()), m.occupancy.data());
  py::dict flags;
  for (const kinetics::PathRate& rate : m.rates) {
    py::list phrases;
    for (const std::string& phrase : kinetics::RateFlagPhrases(m, rate)) phrases.append(phrase);
    flags[py::str(std::to_string(rate.from + 1) + "->" + std::to_string(rate.to + 1))] = phrases;
  }
  d["flags"] = flags;
  d["molecules"] = m.molecules;
  d["replicates"] = m.replicates;
  d["failed_replicates"] = m.failedReplicates;
  d["log_likelihood"] = m.logLikelihood;
  d["converged"] = m.converged;
  d["from_logarithm"] = m.fromLogarithm;
  return d;
}

template <class T>
py::array_t<T> VectorArray(const std::vector<T>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(values.size()), values.data());
}

// One molecule's dwells as columns of numpy arrays, in frame order.
py::dict DwellsDict(const MoleculeDwells& molecule) {
  std::vector<double> levels;
  std::vector<std::int64_t> starts, frames;
  std::vector<bool> cutAtStart, cutAtEnd;
  for (const LevelDwell& dwell : molecule.dwells) {
    levels.push_back(dwell.level);
    starts.push_back(dwell.start);
    frames.push_back(dwell.frames);
    cutAtStart.push_back(dwell.cutAtStart);
    cutAtEnd.push_back(dwell.cutAtEnd);
  }
  const auto flags = [](const std::vector<bool>& values) {
    py::array_t<bool> array(static_cast<py::ssize_t>(values.size()));
    for (std::size_t k = 0; k < values.size(); ++k) array.mutable_at(static_cast<py::ssize_t>(k)) = values[k];
    return array;
  };
  py::dict d;
  d["molecule"] = molecule.molecule;
  d["level"] = VectorArray(levels);
  d["start"] = VectorArray(starts);
  d["frames"] = VectorArray(frames);
  d["cut_at_start"] = flags(cutAtStart);
  d["cut_at_end"] = flags(cutAtEnd);
  return d;
}

// Molecule `k` of an idealisation: its fitted frames and the chosen model's path through them.
py::dict IdealisedDict(const IdealisedTraces& idealised, std::size_t k) {
  const FretTrace& trace = idealised.traces[k];
  const std::vector<int>& path = idealised.idealisation.paths[k];
  std::vector<double> values(path.size());
  for (std::size_t t = 0; t < path.size(); ++t) values[t] = idealised.IdealisedValue(k, t);
  py::dict d;
  d["molecule"] = trace.name;
  d["frame"] = VectorArray(trace.frames);
  d["fret"] = VectorArray(trace.fret);
  d["state"] = VectorArray(path);
  d["value"] = VectorArray(values);
  d["channel_frame"] = VectorArray(trace.channelFrames);
  d["donor"] = VectorArray(trace.donor);
  d["acceptor"] = VectorArray(trace.acceptor);
  return d;
}

template <class T, std::size_t N>
py::array_t<T> ArrayOf(const std::array<T, N>& values) {
  return py::array_t<T>(static_cast<py::ssize_t>(N), values.data());
}

// The fit of class i->j, copied out; refused when the class is none of the lock's or has no fit.
ClassFit FitCopy(PySession& self, int from, int to) {
  return Run(self, [&](Session& s) {
    Check(s.CheckLockedClass(from, to));
    const ClassFit* fit = s.FitOf(from, to);
    if (!fit) throw Refusal("Class " + ClassName(from, to) + " has not been fitted.");
    return *fit;
  });
}

}  // namespace

PYBIND11_MODULE(_varnel, m) {
  m.doc() = R"(Kinetic analysis of transitions between discrete states of single-molecule signals.

A Session holds one analysis, as the program's window and its scripts do: the transition
reports and their records, the density map, the states and their cutoffs, the lock that sorts
every transition into its class i->j, the classes' histograms of ln(rate per frame) and their
Gaussian fits, with rates in s^-1 and bootstrap intervals. Each call does what the script
command of the same name does, with the same numbers and the same output files, written into
the folder of the first report: "3dgrid.dat" at every load, "I,Jrates.dat" at every fit,
"log.dat", "results.csv" and "rates.csv" at write_log().

    import varnel
    s = varnel.Session(exposure=0.1, peaks=10)
    s.load("reports/*.dat")
    s.states(3)
    s.lock()
    s.fit_all()
    s.write_log()
    print(s.results())

What the program would refuse raises varnel.Error, whose text is the program's message. What it
would tell you of an operation that was carried out comes as a warning: varnel.Notice, or
varnel.ProblemWarning when something went wrong on the way (a file it could not write).
Classes are numbered from 1, as the program names them. The interpreter is released while the
session reads, sorts, fits, bootstraps, imports and exports: other Python threads run meanwhile.)";

  py::register_exception<Refusal>(m, "Error", PyExc_RuntimeError);
  m.attr("Error").attr("__doc__") = "What the session refused to do, and why: the program's own message.";
  g_noticeCategory = PyErr_NewExceptionWithDoc("varnel.Notice", "What the session tells of an operation it carried out.",
                                               PyExc_UserWarning, nullptr);
  g_problemCategory = PyErr_NewExceptionWithDoc(
      "varnel.ProblemWarning", "A problem an operation ran into while it was carried out (a file not written).",
      PyExc_UserWarning, nullptr);
  m.attr("Notice") = py::handle(g_noticeCategory);
  m.attr("ProblemWarning") = py::handle(g_problemCategory);
  m.attr("__version__") = VARNEL_VERSION;
  m.attr("MAP_CELLS") = kMapCells;
  m.attr("HISTOGRAM_BINS") = kHistogramBins;
  m.attr("MAX_STATES") = kMaxStates;

  py::class_<PySession>(m, "Session", "One analysis: reports, map, states, lock, fits and their files.")
      .def(py::init([](double exposure, int peaks, bool weighted) {
             auto self = std::make_unique<PySession>();
             Check(self->session.SetExposure(exposure));
             Check(self->session.SetPeaks(peaks));
             self->session.SetWeighted(weighted);
             return self;
           }),
           py::arg("exposure") = 0.1, py::arg("peaks") = 10, py::arg("weighted") = true,
           R"(A new session: `exposure` in seconds per frame (what rates are divided by), `peaks` K
(each report holds K x K records), `weighted` whether records count by their number of
transitions. Values outside what the program takes raise varnel.Error.)")

      // --- settings ---
      .def(
          "run",
          [](PySession& self, const std::string& line) -> py::object {
            std::string error;
            const auto words = SplitScriptLine(line, error);
            if (!words) throw py::value_error(error);
            if (words->empty()) throw py::value_error("no command in '" + line + "'");
            const CommandResult result = RunStoppable(self, [&](Session& s, WorkProgress& p) {
              CommandContext context;
              context.progress = &p;
              return RunCommand(s, *words, context);
            });
            if (result.wrongWords) throw py::value_error(*result.wrongWords);
            Report(result.outcome);
            if (!result.table) return py::none();
            return RowDicts(result.table->columns, result.table->rows);
          },
          py::arg("line"),
          "Runs one analysis command as a script line says it (`run(\"fit all\")`, `run(\"load reports/*.dat\")`): "
          "the same command table the window and scripts use. Returns the rows of what the command prints "
          "(`results`, `dwell`, `idealise`) as dicts, else None; raises varnel.Error for a refusal and "
          "ValueError for words the command does not take.")
      .def_property(
          "exposure", [](PySession& self) { return Run(self, [](Session& s) { return s.Exposure(); }); },
          [](PySession& self, double seconds) { Report(Run(self, [&](Session& s) { return s.SetExposure(seconds); })); },
          "The exposure time in seconds per frame that the next fit divides rates by.")
      .def_property(
          "peaks", [](PySession& self) { return Run(self, [](Session& s) { return s.Peaks(); }); },
          [](PySession& self, int peaks) { Report(Run(self, [&](Session& s) { return s.SetPeaks(peaks); })); },
          "K, the peaks of a report: the next load reads K x K records from each report.")
      .def_property(
          "weighted", [](PySession& self) { return Run(self, [](Session& s) { return s.Weighted(); }); },
          [](PySession& self, bool weighted) {
            // As the window's "Weight by # transitions": with reports loaded, the map follows.
            Report(Run(self, [&](Session& s) {
              s.SetWeighted(weighted);
              return s.Files().empty() ? Outcome{} : s.RebuildMap();
            }));
          },
          R"(Whether each record counts as many times as its number of transitions. Setting it with
reports loaded rebuilds the map (and "3dgrid.dat"), as the window's tick box does; the next
lock and circle sort by it.)")

      // --- records ---
      .def(
          "load",
          [](PySession& self, const py::object& paths) {
            const std::vector<std::string> chosen = ExpandScriptPaths(PathList(paths));
            if (chosen.empty()) throw py::value_error("load() takes at least one path");
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) { return s.Load(chosen, &p); }));
          },
          py::arg("paths"),
          R"(Reads transition reports, `peaks` x `peaks` records each, as a script's `load` does.

`paths` is a path or pattern, or a list of them: each pattern's matches are taken in sorted
order ("reports/*.dat"), every path made absolute. The program's own output files among them
are left out (a varnel.Notice says which). A load replaces the records, ends the lock and
forgets every class and fit; then the map is rebuilt and written to "3dgrid.dat" in the folder
of the first report, where every later file goes too. Refused (varnel.Error, the records
before kept) when no file could be read as a report.)")
      .def(
          "import_traces",
          [](PySession& self, const py::object& paths, const py::kwargs& options) {
            const std::vector<std::string> words = OptionWords(options);
            std::string error;
            const std::optional<ImportArguments> arguments = ParseImportArguments(words, error);
            if (!arguments) throw Refusal(CannotImportMessage(error));
            const std::vector<std::string> files = ExpandScriptPaths(PathList(paths));
            Report(Run(self, [&](Session& s) { return s.Import(files, arguments->options); }));
          },
          py::arg("paths"),
          R"(Makes transition reports of idealised traces and loads them, as a script's `import` does.

`paths` as for load(). The keywords are the import's options, each spelt with '_' for '-':
  column=N|NAME      one molecule per file: the idealised value's column (the last if not given)
  molecule=, value=  a table of many molecules (with frame= to order a molecule's rows), or
                     with dwells=True rows of molecule, level and dwell length (length=)
  peaks=K            the slots of a report (the session's peaks otherwise; it becomes them)
  out=FOLDER         where the reports go; prefix=TEXT  how they are named ("molecule")
Options that do not go together raise varnel.Error with the program's message.)")
      .def(
          "idealise_traces",
          [](PySession& self, const py::object& paths, const py::kwargs& options) {
            const std::vector<std::string> words = OptionWords(options);
            std::string error;
            const std::optional<IdealiseArguments> arguments = ParseIdealiseArguments(words, error);
            if (!arguments) throw Refusal("Cannot idealise the traces: " + error + ".");
            const std::vector<std::string> files = ExpandScriptPaths(PathList(paths));
            std::shared_ptr<const IdealisedTraces> idealised;
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) {
              Outcome outcome = s.Idealise(files, *arguments, &p);
              idealised = s.Idealised();
              return outcome;
            }));
            py::list fits;
            for (std::size_t f = 0; f < idealised->idealisation.fits.size(); ++f) {
              const StateCountFit& fit = idealised->idealisation.fits[f];
              py::dict row;
              row["states"] = fit.states;
              row["fitted"] = fit.fitted;
              row["chosen"] = f == idealised->idealisation.chosen;
              row["log_likelihood"] = fit.fitted ? py::object(py::float_(fit.logLikelihood)) : py::none();
              row["parameters"] = fit.parameters;
              row["bic"] = fit.fitted ? py::object(py::float_(fit.bic)) : py::none();
              row["iterations"] = fit.iterations;
              row["why"] = fit.why;
              fits.append(row);
            }
            const HmmModel& model = idealised->idealisation.Model();
            py::dict result;
            result["fits"] = fits;
            result["means"] = model.means;
            result["widths"] = model.widths;
            result["offsets"] = model.offsets;
            result["brightness"] = idealised->brightnessReference;
            result["table"] = idealised->table;
            return result;
          },
          py::arg("paths"),
          R"(Idealises raw traces by a hidden Markov model and loads the reports of the idealised
traces, as a script's `idealise` does.

`paths` as for load(). The keywords are the options of varnel-idealise, '_' for '-':
  donor=COL, acceptor=COL   the intensities (default the columns named so), or fret=COL
  molecule=COL, frame=COL   a table of many molecules; otherwise one molecule per file
  states="1-4"              the numbers of states fitted, BIC choosing
  transitions="per-molecule", merge="auto", gamma=, last_frame=, seed=, threads=
  molecule_offsets=True     each molecule's levels moved by an offset of its own, fitted
  even_widths=True          every frame of a state one width; otherwise, with donor and
                            acceptor, a frame's width is its state's times sqrt(B / its total)
  peaks=K                   the reports' K (the session's, raised to the states chosen)
  out=FILE                  the table of idealised traces (idealised.csv beside the first file)
Returns a dict: "fits" (a dict per number of states: states, fitted, chosen, log_likelihood,
parameters, bic, iterations, why), the chosen model's "means" and "widths" (at the median
"brightness" B of all frames' totals where the widths follow it, else "brightness" 0), each molecule's
"offsets" (empty without molecule_offsets), and the "table" written. Refused (varnel.Error, nothing written) when the traces cannot be read or no model
can be fitted.)")
      .def(
          "dwells",
          [](PySession& self) {
            const DwellTable table = Run(self, [](Session& s) { return s.Dwells(); });
            py::list list;
            for (const MoleculeDwells& molecule : table) list.append(DwellsDict(molecule));
            return list;
          },
          R"(The dwells of the loaded reports, from the "dwells.csv" an import writes beside them: a
dict per molecule in load order, "molecule" (its report's name) and numpy arrays of one entry
per dwell in frame order: "level" (the level's value), "start" (its first frame, from 1),
"frames" (how long it lasted), "cut_at_start" and "cut_at_end" (the trace begins or ends in it).
An empty list when the reports have no dwells.)")
      .def(
          "idealised",
          [](PySession& self) -> py::object {
            const auto idealised = Run(self, [](Session& s) { return s.Idealised(); });
            if (!idealised) return py::none();
            py::list list;
            for (std::size_t k = 0; k < idealised->traces.size(); ++k) list.append(IdealisedDict(*idealised, k));
            return list;
          },
          R"(The last idealisation (idealise_traces()): a dict per molecule in the table's order,
"molecule" (its name) and numpy arrays of one entry per fitted frame: "frame" (the frame's
number in its file), "fret" (the frame's FRET), "state" (the chosen model's most likely state,
from 0 in increasing mean) and "value" (what the table gives it: the state's mean, or its merged
state's value); with donor and acceptor, "channel_frame", "donor" and "acceptor" of every frame
read, the bleached tail and blinks too, less the backgrounds (empty for FRET read as it is).
None before an idealisation.)")
      .def(
          "molecules",
          [](PySession& self) {
            py::list list;
            const auto [idealised, kept] = Run(self, [](Session& s) { return std::pair(s.Idealised(), s.KeptMolecules()); });
            if (!idealised) return list;
            const std::vector<MoleculeMeasures> measures = MeasureMolecules(*idealised);
            for (std::size_t m = 0; m < measures.size(); ++m) {
              py::dict d;
              d["molecule"] = idealised->traces[m].name;
              d["frames"] = measures[m].frames;
              d["bleached"] = idealised->traces[m].bleached;
              d["blink_frames"] = idealised->traces[m].blinks.size();
              d["signal_to_noise"] = measures[m].signalToNoise;
              d["states"] = measures[m].states;
              d["kept"] = m < kept.size() && kept[m];
              list.append(d);
            }
            return list;
          },
          R"(The molecules of the last idealisation, as a script's `molecules` prints them: a dict each,
"molecule", "frames" (fitted), "bleached" and "blink_frames" (cut, not fitted),
"signal_to_noise" (the closest two levels of the model apart over the root mean square of the
molecule's frames about its path; nan for a model of one level), "states" (visited) and "kept"
(whether it stands in the rates). An empty list before an idealisation.)")
      .def(
          "keep_molecules",
          [](PySession& self, const std::vector<std::string>& names) {
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) { return s.ChooseMolecules(names, true, &p); }));
          },
          py::arg("names") = std::vector<std::string>{},
          R"(Keeps the molecules `names` (every one when empty) in the rates, as `molecules keep` does.)")
      .def(
          "reject_molecules",
          [](PySession& self, const std::vector<std::string>& names) {
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) { return s.ChooseMolecules(names, false, &p); }));
          },
          py::arg("names"),
          R"(Leaves the molecules `names` out of every rate, as `molecules reject` does: the records
become the reports of the molecules kept, a lock is made again and the model's rate matrix
fitted again. Refused (varnel.Error) for a name of no molecule or when none would be kept.)")
      .def(
          "choose_molecules",
          [](PySession& self, std::optional<std::size_t> minFrames, std::optional<double> minSnr,
             std::optional<int> minStates) {
            MoleculeRule rule{minFrames, minSnr, minStates};
            if (rule.Empty()) throw Refusal("choose_molecules needs min_frames, min_snr or min_states.");
            if (minSnr && !(*minSnr > 0)) throw Refusal("min_snr must be above 0.");
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) { return s.ChooseMolecules(rule, &p); }));
          },
          py::kw_only(), py::arg("min_frames") = py::none(), py::arg("min_snr") = py::none(),
          py::arg("min_states") = py::none(),
          R"(Keeps the molecules with at least `min_frames` frames fitted, a signal-to-noise ratio of
`min_snr` and `min_states` states visited (see molecules()) and rejects the rest, as `molecules
rule` does.)")
      .def_property_readonly(
          "files",
          [](PySession& self) {
            py::list files;
            for (const std::string& file : Run(self, [](Session& s) { return s.Files(); })) files.append(PathText(file));
            return files;
          },
          "The reports of the last load, in the order their records are held.")
      .def_property_readonly(
          "output_folder",
          [](PySession& self) { return PathText(Run(self, [](Session& s) { return s.OutputFolder(); })); },
          "The folder every output file goes to (the first report's, with its separator).")
      .def(
          "rebuild_map",
          [](PySession& self) { Report(Run(self, [](Session& s) { return s.RebuildMap(); })); },
          R"(Rebuilds the density map from the records, weighted as `weighted` says, and writes
"3dgrid.dat". A load does this by itself.)")
      .def(
          "density",
          [](PySession& self) {
            std::vector<double> cells = Run(self, [](Session& s) { return s.Grid().cells; });
            py::array_t<double> grid({kMapCells, kMapCells});
            std::copy(cells.begin(), cells.end(), grid.mutable_data());
            return grid;
          },
          R"(The density map: a 201 x 201 numpy array, [i, j] the cell of initial value i x 0.005 and
final value j x 0.005, each cell the sum of a Gaussian spot per record (times its transitions
when weighted). "3dgrid.dat" prints the same cells, to 4 significant digits.)")
      .def_property_readonly(
          "density_maximum", [](PySession& self) { return Run(self, [](Session& s) { return s.Grid().maximum; }); },
          "The largest cell sum of the map, exactly; the map's colours are scaled to it.")

      // --- states and the lock ---
      .def(
          "states",
          [](PySession& self, std::optional<int> states) {
            return Run(self, [&](Session& s) {
              if (states) Check(s.SetStates(*states));
              return s.States();
            });
          },
          py::arg("n") = py::none(),
          R"(With `n`: n states, their cutoffs evenly spaced (at 1/n, 2/n, ...), as a script's `states`.
Returns the number of states (0 before any is given).)")
      .def(
          "cutoffs",
          [](PySession& self, std::optional<std::vector<double>> values) {
            return Run(self, [&](Session& s) {
              if (values) Check(s.SetCutoffs(*values));
              const Cutoffs& all = s.CutoffValues();
              return std::vector<double>(all.begin(), all.begin() + std::max(s.States() - 1, 0));
            });
          },
          py::arg("values") = py::none(),
          R"(With `values`: the upper bounds of states 1 ... n - 1, in order, each pulled into [0, 1],
as a script's `cutoffs`. Returns the cutoffs in force.)")
      .def(
          "lock", [](PySession& self) { Report(Run(self, [](Session& s) { return s.Lock(); })); },
          R"(Sorts every record into the class of its states under the states and cutoffs in force,
histograms every class and places the default circles, as a script's `lock`.)")
      .def_property_readonly(
          "locked_states", [](PySession& self) { return Run(self, [](Session& s) { return s.LockedStates(); }); },
          "The number of states of the last lock; 0 before one.")
      .def(
          "circle",
          [](PySession& self, int from, int to, int x, int y, int radius) {
            Report(Run(self, [&](Session& s) {
              Outcome placed = s.PlaceCircle(from, to, y, x, radius);
              if (!placed.done) return placed;
              return placed.Then(s.SetCircle(from, to));
            }));
          },
          py::arg("i"), py::arg("j"), py::arg("x"), py::arg("y"), py::arg("r"),
          R"(Rebuilds class i->j from the records inside a circle on the map, as a script's `circle`:
centre at column x (final value x 0.005) and row y (initial value y 0.005), radius r, in map
cells. The class's histogram follows; fit it again for its rate.)")
      .def(
          "histogram",
          [](PySession& self, int from, int to) {
            const ClassHistogram h = Run(self, [&](Session& s) {
              Check(s.CheckLockedClass(from, to));
              return s.Histogram(from - 1, to - 1);
            });
            return py::make_tuple(ArrayOf(h.counts), ArrayOf(h.centres));
          },
          py::arg("i"), py::arg("j"),
          R"(The histogram of class i->j as the last lock or circle left it: (counts, centres), two
numpy arrays of 50 bins of ln(rate per frame) from -10 to 0.)")
      .def(
          "class_rates",
          [](PySession& self, int from, int to) {
            const std::vector<double> list = Run(self, [&](Session& s) {
              Check(s.CheckLockedClass(from, to));
              return *s.ClassList(from, to);
            });
            return py::array_t<double>(static_cast<py::ssize_t>(list.size()), list.data());
          },
          py::arg("i"), py::arg("j"),
          R"(The rates per frame of class i->j, one entry per transition, in record order: what its
histogram counts and "I,Jrates.dat" lists (there only those the fit takes).)")

      // --- fits ---
      .def(
          "fit",
          [](PySession& self, int from, int to) {
            Report(Run(self, [&](Session& s) {
              Outcome check = s.CheckLockedClass(from, to);
              return check.done ? s.Fit(from, to) : check;
            }));
          },
          py::arg("i"), py::arg("j"),
          R"(Fits a Gaussian to the histogram of class i->j at the exposure in force, computes its
bootstrap interval and writes "I,Jrates.dat", as a script's `fit I J`. Refused (varnel.Error,
the previous fit kept) when the class has no rates to fit or the fit does not converge.)")
      .def(
          "fit_all",
          [](PySession& self) {
            std::vector<std::pair<int, int>> fitted;
            std::optional<Outcome> stop;  // a class that is none of a lock's ends the run, as in a script
            std::vector<Outcome> outcomes = RunStoppable(self, [&](Session& s, WorkProgress& p) {
              std::vector<Outcome> all;
              // The intervals are computed as the window computes them, so that a stop ends
              // them: the fits made before it stand, those still without one keep none.
              s.SetIntervalsInBackground(true);
              const int states = std::max(s.LockedStates(), 1);
              for (int i = 1; i <= states && !stop && !p.StopRequested(); ++i)
                for (int j = 1; j <= states && !stop && !p.StopRequested(); ++j) {
                  if (Outcome check = s.CheckLockedClass(i, j); !check.done) {
                    stop = std::move(check);
                  } else {
                    all.push_back(s.Fit(i, j));
                    if (all.back().done) fitted.emplace_back(i, j);
                  }
                }
              if (!s.WaitForIntervals(p.stop.get_token())) s.StopIntervals();
              s.CollectIntervals();
              s.SetIntervalsInBackground(false);
              return all;
            });
            // A class that cannot be fitted is passed over: the others are fitted all the same.
            for (Outcome& outcome : outcomes) {
              outcome.done = true;
              Report(outcome);
            }
            if (stop) Report(*stop);
            return fitted;
          },
          R"(Fits every class of the lock in row-major order, 1->1, 1->2, ..., n->n, as a script's
`fit all`. A class that cannot be fitted is passed over with a warning (varnel.Notice when it
has no rates, varnel.ProblemWarning when its fit fails). Returns the classes fitted.)")
      .def(
          "fitted",
          [](PySession& self, int from, int to) {
            const ClassFit fit = FitCopy(self, from, to);
            py::dict d;
            d["rate"] = fit.rate;
            d["stdev"] = fit.stdev;
            d["exposure"] = fit.exposureTime;
            d["transitions"] = fit.transitions;
            d["amplitude"] = fit.gaussian.amplitude;
            d["centre"] = fit.gaussian.centre;
            d["width"] = fit.gaussian.width;
            d["source"] = fit.rule.circle ? "circle" : "cutoffs";
            d["counts"] = ArrayOf(fit.histogram.counts);
            d["centres"] = ArrayOf(fit.histogram.centres);
            return d;
          },
          py::arg("i"), py::arg("j"),
          R"(The fit of class i->j at full precision: rate and stdev (s^-1), the exposure it was
divided by, the class's transitions, the Gaussian's amplitude, centre and width on the
ln(rate per frame) axis, whether the class came from cutoffs or a circle, and the histogram
it was fitted to (counts, centres). varnel.Error when the class has no fit.)")
      .def(
          "uncertainty",
          [](PySession& self, int from, int to) { return UncertaintyDict(FitCopy(self, from, to).uncertainty); },
          py::arg("i"), py::arg("j"),
          R"(How sure the rate of class i->j is, from a bootstrap over the reports as molecules:
  state            "computed" (or "stopped")
  kind             the kind of interval that rate_interval and pooled_interval are
  rate_interval    (low, high) 95 % interval of the fitted rate, s^-1; None without one
  pooled_rate      the pooled rate, s^-1, and pooled_interval its interval
  pooled_frames_unknown  molecules left out of the pooled rate: their frames in
                   the initial state are not known
  percentile, bca  both kinds: {"rate": (low, high), "pooled": (low, high)}
  rate_acceleration, pooled_acceleration   the BCa interval's acceleration
  molecules, replicates, failed            reports in the class, replicates drawn, failed
varnel.Error when the class has no fit.)")
      .def(
          "results",
          [](PySession& self, bool frame) {
            std::vector<std::vector<std::string>> table;
            Run(self, [&](Session& s) {
              // In the order of results.csv: the rate matrix first.
              for (const DwellResultRow& row : s.RateResults()) table.push_back(ResultCells(row));
              for (const ResultRow& row : s.Results()) table.push_back(ResultCells(row));
              for (const DwellResultRow& row : s.DwellResults()) table.push_back(ResultCells(row));
            });
            const std::vector<std::string> columns = ResultColumns();
            const py::list list = RowDicts(columns, table);
            if (!frame) return py::object(list);
            return py::module_::import("pandas").attr("DataFrame")(list, py::arg("columns") = columns);
          },
          py::arg("frame") = false,
          R"(Every fitted class of the states in force, in the log's order, with the columns of
"results.csv" (class, rate, rate_low, rate_high, width, pooled_rate, pooled_low, pooled_high,
transitions, molecules, replicates_used, source, exposure_s, flags, estimator,
pooled_corrected_rate, pooled_frames_unknown), after the rates of the last rate_matrix() (estimator
"rate-matrix") and before those of the last dwell_times() (estimator "dwell"): a list
of dicts whose numbers are the table's, to 6 significant digits, None for an empty cell.
frame=True gives a pandas DataFrame (pandas must be installed).)")
      .def(
          "rate_matrix",
          [](PySession& self, std::optional<std::string> paths) {
            // Through the command table, so that the paths are read, and refused, as a script's.
            std::vector<std::string> words = {"rates"};
            if (paths) words.insert(words.end(), {"--paths", *paths});
            const CommandResult result = RunStoppable(self, [&](Session& s, WorkProgress& p) {
              CommandContext context;
              context.progress = &p;
              return RunCommand(s, words, context);
            });
            if (result.wrongWords) throw py::value_error(*result.wrongWords);
            Report(result.outcome);
            const auto matrix = Run(self, [](Session& s) {
              const kinetics::RateMatrix* m = s.RateAnalysis();
              return m ? std::optional<kinetics::RateMatrix>(*m) : std::nullopt;
            });
            if (!matrix) throw Refusal("No rate matrix was fitted.");
            return RateMatrixDict(*matrix);
          },
          py::arg("paths") = py::none(),
          R"(Fits the rate matrix of the states of the lock, as a script's `rates`: the rate constants
k_ij (s^-1) of the continuous-time chain whose matrix exponential over one exposure gives how
often a frame in state i is followed by one in state j, with 95 % bootstrap intervals over the
molecules. paths="1-2,2-1" leaves only those paths free (1-based), the others held at 0.
Returns a dict: rates, low, high, upper_limit (K x K numpy arrays, [i, j] for i->j 0-based,
NaN on the diagonal and where there is none; upper_limit for a path never seen), generator
(Q, s^-1), counts (the counted frame-to-frame steps), occupancy, flags ({"1->2": [phrases]}),
states, exposure, molecules, replicates, failed_replicates, log_likelihood, converged,
from_logarithm. Its rates join results() first. Needs reports made by an import.)")
      .def(
          "dwell_times",
          [](PySession& self, std::optional<int> exponentials, const std::string& cut) {
            // The cut is read as the script command's --cut reads it, with its message.
            std::string error;
            std::optional<DwellOptions> options = ParseDwellOptions({"--cut", cut}, error);
            if (!options) throw Refusal(error);
            options->exponentials = exponentials;
            std::vector<std::vector<std::string>> rows;
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) {
              Outcome outcome = s.AnalyseDwells(*options, &p);
              if (outcome.done) rows = DwellFitRows(*s.DwellAnalysis());
              return outcome;
            }));
            return RowDicts(DwellFitColumns(), rows);
          },
          py::arg("exponentials") = py::none(), py::arg("cut") = "censor",
          R"(Fits the dwell times of every state of the lock, as a script's `dwell all`, and returns
the table of fits: a dict per exponential of every fit (state, exponentials, chosen, term, rate
and its profile-likelihood interval in s^-1, amplitude, log_likelihood, bic, dwells, censored,
left_out, molecules, cut, note). exponentials=None lets BIC choose among 1 to 3; cut="drop"
leaves out the dwells cut by the trace's end instead of censoring them. The rate matrix they
give joins results(). Needs reports made by an import, whose dwells.csv lies beside them.)")

      // --- files ---
      .def(
          "write_log", [](PySession& self) { Report(Run(self, [](Session& s) { return s.WriteLog(); })); },
          R"(Writes "log.dat" with every fitted class of the states in force, and "results.csv" and
"rates.csv" (every rate in one long table: pandas.read_csv reads it as it stands) beside it, as
a script's `log`.)")
      .def(
          "export",
          [](PySession& self, const std::string& folder, std::optional<std::pair<int, int>> circle,
             const py::kwargs& options) {
            const std::variant<ExportOptions, std::string> chosen = ExportOptionsOf(OptionWords(options));
            if (const auto* refusal = std::get_if<std::string>(&chosen)) throw Refusal(*refusal);
            Report(RunStoppable(self, [&](Session& s, WorkProgress& p) {
              // A relative folder is taken in the output folder, as the script's folder picker does.
              const bool relative = !folder.empty() && std::filesystem::path(folder).is_relative();
              const std::string pattern = relative ? FilesArgument(s.OutputFolder()) + FilesArgument(folder)
                                                   : FilesArgument(folder);
              const std::vector<std::string> expanded = ExpandScriptPaths({pattern});
              std::optional<SelectionCircle> shown;
              if (circle && InClassTables(circle->first, circle->second)) {
                const SelectionCircle& c = s.Circles()[circle->first - 1][circle->second - 1];
                if (c.visible) shown = c;
              }
              return s.Export(expanded.empty() ? folder : expanded.front(), std::get<ExportOptions>(chosen), shown, &p);
            }));
          },
          py::arg("folder"), py::arg("circle") = py::none(),
          R"(Writes the figures and tables for a paper into `folder` (relative to the output folder),
as a script's `export`: the map, every fitted class and an overview, with density.csv,
histograms.csv, results.csv and rates.csv. `circle=(i, j)` draws class i->j's circle on the map. The
keywords are the export's options, '_' for '-':
  format="svg"|"pdf"|"png"|"all"   as_on_screen=True   colours="perceptual"|"table"
  colour_scale="linear"|"log"      initial_name=TEXT   final_name=TEXT
  histogram_range="fixed"|"data"   digits=N)");
}
