#include "import/peerformats.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <zlib.h>

#if VARNEL_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "import/tracetext.h"

namespace {

// .dwt files write their times in ms. Divided by it, a time in whole ms is the nearest double
// to its seconds (0.05 for 50), which a product with 1e-3 need not be.
constexpr double kMsPerSecond = 1000;
// No molecule stays this many frames in one dwell; a longer one is a mistake in the file.
constexpr double kMostDwellFrames = 1e9;
// What is read of a file at a time, and the most bytes a compressed file may unpack to.
constexpr unsigned kGzipPiece = 1u << 16;
constexpr std::size_t kMostJsonBytes = std::size_t{1} << 32;

struct PeerError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& why) { throw PeerError{where + ": " + why}; }

std::string At(const std::string& name, std::size_t line) { return name + ":" + std::to_string(line); }

std::string NumberText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool IsNumberField(std::string_view field) {
  double ignored = 0;
  return ReadField(field, ignored) == FieldKind::Number;
}

// The frame time a segment header gives, in ms: the number after "sampling...:" or "=";
// nothing when the header names none.
std::optional<double> HeaderSampling(std::string_view header, const std::string& where) {
  const std::string lower = Lower(header);
  const std::size_t key = lower.find("sampling");
  if (key == std::string::npos) return std::nullopt;
  const std::size_t mark = lower.find_first_of(":=", key);
  std::size_t start = mark == std::string::npos ? lower.size() : mark + 1;
  while (start < lower.size() && (lower[start] == ' ' || lower[start] == '\t')) ++start;
  std::size_t end = start;
  while (end < lower.size() && lower[end] != ' ' && lower[end] != '\t' && lower[end] != '\r') ++end;
  double ms = 0;
  if (ReadField(header.substr(start, end - start), ms) != FieldKind::Number || !(ms > 0))
    Fail(where, "the segment header names a sampling time, but not as a number of ms above 0");
  return ms;
}

// One dwell's frames: its time over the frame time, a whole number within kWholeFrameTolerance.
std::int64_t DwellFrames(double ms, double frameMs, const std::string& where) {
  const double frames = ms / frameMs;
  const double whole = std::round(frames);
  if (!(whole >= 1 && whole <= kMostDwellFrames && std::fabs(frames - whole) <= kWholeFrameTolerance))
    Fail(where, "a dwell of " + NumberText(ms) + " ms is " + NumberText(frames) + " frames of " +
                    NumberText(frameMs) + " ms, not a whole number from 1");
  return static_cast<std::int64_t>(whole);
}

TraceReading ReadDwtLines(TraceLines lines, const std::string& name, std::optional<double> frameTime) {
  TraceReading reading;
  reading.layout = TraceLayout::Dwt;
  try {
    std::optional<double> fileMs;  // the sampling the file gives
    std::size_t fileMsLine = 0;
    std::optional<double> segmentMs;
    std::size_t headerLine = 0;
    while (lines.Next()) {
      const auto& fields = lines.Fields();
      const std::string where = At(name, lines.Number());
      if (!IsNumberField(fields.front())) {
        headerLine = lines.Number();
        segmentMs = HeaderSampling(lines.Line(), where);
        if (segmentMs && fileMs && *segmentMs != *fileMs)
          Fail(where, "a sampling time of " + NumberText(*segmentMs) + " ms, where line " +
                          std::to_string(fileMsLine) + " gives " + NumberText(*fileMs) + " ms");
        if (segmentMs && !fileMs) {
          fileMs = segmentMs;
          fileMsLine = lines.Number();
        }
        if (!segmentMs && frameTime) segmentMs = *frameTime * kMsPerSecond;
        reading.molecules.push_back({name + ", segment " + std::to_string(reading.molecules.size() + 1), {}});
        continue;
      }
      if (reading.molecules.empty()) Fail(where, "a dwell before the first segment's header line");
      double level = 0, ms = 0;
      if (fields.size() != 2 || ReadField(fields[1], ms) != FieldKind::Number)
        Fail(where, "a dwell line is a class and a dwell time in ms, separated by a tab");
      ReadField(fields[0], level);
      if (level != std::round(level)) Fail(where, "the class " + NumberText(level) + " is not a whole number");
      if (!segmentMs)
        Fail(At(name, headerLine), "the segment header gives no frame time (Sampling(ms): T); give --frame-time");
      AppendFrames(reading.molecules.back().dwells, level, DwellFrames(ms, *segmentMs, where));
    }
    if (!lines.Trouble().empty())
      Fail(lines.TroubleLine() > 0 ? At(name, lines.TroubleLine()) : name, lines.Trouble());
    if (reading.molecules.empty()) Fail(name, "no segment header line: is this a .dwt file?");
    if (fileMs) reading.frameTime = *fileMs / kMsPerSecond;
  } catch (const PeerError& error) {
    return {{}, error.message};
  }
  return reading;
}

}  // namespace

TraceReading ReadDwtText(std::string_view text, const std::string& name, std::optional<double> frameTime) {
  return ReadDwtLines(TraceLines(text), name, frameTime);
}

TraceReading ReadDwtFile(const std::string& path, std::optional<double> frameTime) {
  TraceReading reading;
  if (std::string error = ReadLinesOfFile(
          path, [&](TraceLines lines) { reading = ReadDwtLines(std::move(lines), path, frameTime); });
      !error.empty())
    reading.error = std::move(error);
  return reading;
}

#if VARNEL_HAVE_JSON

namespace {

using Json = nlohmann::json;

// The line of byte `offset` in `text`, from 1.
std::size_t LineOf(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// The column of `columns` (the top-level "columns", if any) that holds the idealised value;
// nothing for the last one.
std::optional<std::size_t> IdealColumn(const Json& top, const std::string& name) {
  const auto columns = top.find("columns");
  if (columns == top.end()) return std::nullopt;
  if (!columns->is_array()) Fail(name, "\"columns\" is not an array of names");
  for (std::size_t k = 0; k < columns->size(); ++k)
    if ((*columns)[k].is_string() && Lower((*columns)[k].get<std::string>()).find("ideal") != std::string::npos)
      return k;
  return std::nullopt;
}

std::string MoleculeName(const Json& molecule, std::size_t place) {
  const auto id = molecule.find("id");
  if (id != molecule.end() && id->is_string()) return id->get<std::string>();
  if (id != molecule.end() && id->is_number_integer()) return id->dump();
  return std::to_string(place + 1);
}

}  // namespace

bool ReadsSmd() { return true; }

TraceReading ReadSmdText(std::string_view text, const std::string& name) {
  TraceReading reading;
  reading.layout = TraceLayout::Smd;
  try {
    Json top;
    try {
      top = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
      // nlohmann's byte is one past the byte it stopped at.
      Fail(At(name, LineOf(text, error.byte == 0 ? 0 : error.byte - 1)), "not JSON: " + std::string(error.what()));
    }
    if (!top.is_object()) Fail(name, "an SMD file is a JSON object");
    const auto data = top.find("data");
    if (data == top.end() || !data->is_array()) Fail(name, "no \"data\" array of molecules");
    const std::optional<std::size_t> ideal = IdealColumn(top, name);
    for (std::size_t m = 0; m < data->size(); ++m) {
      const Json& molecule = (*data)[m];
      if (!molecule.is_object()) Fail(name, "data[" + std::to_string(m) + "] is not a molecule's object");
      const std::string where = name + ", molecule " + MoleculeName(molecule, m);
      const auto values = molecule.find("values");
      if (values == molecule.end() || !values->is_array()) Fail(where, "no \"values\" array of frames");
      Molecule read{where, {}};
      for (std::size_t f = 0; f < values->size(); ++f) {
        const Json& row = (*values)[f];
        const std::string frame = where + ", frame " + std::to_string(f + 1);
        if (!row.is_array() || row.empty()) Fail(frame, "a frame is an array of numbers");
        const std::size_t column = ideal.value_or(row.size() - 1);
        if (column >= row.size())
          Fail(frame, std::to_string(row.size()) + " values, but \"columns\" puts the idealised one in column " +
                          std::to_string(column + 1));
        if (!row[column].is_number()) Fail(frame, "the idealised value is not a number");
        const double value = row[column].get<double>();
        if (!std::isfinite(value)) Fail(frame, "the idealised value is not a finite number");
        AppendFrames(read.dwells, value);
      }
      reading.molecules.push_back(std::move(read));
    }
  } catch (const PeerError& error) {
    return {{}, error.message};
  }
  return reading;
}

#else

bool ReadsSmd() { return false; }

TraceReading ReadSmdText(std::string_view, const std::string& name) {
  return {{}, name + ": SMD JSON is not available in this build, which has no JSON parser"};
}

#endif

TraceReading ReadSmdFile(const std::string& path) {
  if (!ReadsSmd()) return ReadSmdText({}, path);
  // zlib reads a file that is not compressed as it stands.
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) return {{}, path + ": cannot be opened: " + std::strerror(errno)};
  std::string text;
  std::vector<char> piece(kGzipPiece);
  int got = 0;
  while ((got = gzread(file, piece.data(), kGzipPiece)) > 0) {
    text.append(piece.data(), static_cast<std::size_t>(got));
    if (text.size() > kMostJsonBytes) {
      gzclose(file);
      return {{}, path + ": unpacks to more than 4 GiB, more than an SMD file of traces holds"};
    }
  }
  int code = Z_OK;
  const std::string why = got < 0 ? gzerror(file, &code) : "";
  gzclose(file);
  if (got < 0) return {{}, path + ": cannot be read: " + why};
  return ReadSmdText(text, path);
}

namespace {

// The header of a .traces file: the frames (32 bits), then the traces (16 bits).
constexpr std::size_t kTracesHeaderBytes = 4 + 2;
constexpr std::size_t kTracesValueBytes = 2;

// The signed little-endian number of `Bytes` bytes at `at`, which the caller has checked lie in `bytes`.
template <std::size_t Bytes>
std::int64_t LittleEndian(std::string_view bytes, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t k = 0; k < Bytes; ++k)
    value |= std::uint64_t{static_cast<unsigned char>(bytes[at + k])} << (8 * k);
  const std::uint64_t sign = std::uint64_t{1} << (8 * Bytes - 1);
  return static_cast<std::int64_t>(value ^ sign) - static_cast<std::int64_t>(sign);
}

}  // namespace

ColumnReading ReadTracesBinary(std::string_view bytes, const std::string& name) {
  if (bytes.size() < kTracesHeaderBytes)
    return {{}, name + ": " + std::to_string(bytes.size()) + " bytes, fewer than the 6 of a .traces file's header"};
  const std::int64_t frames = LittleEndian<4>(bytes, 0);
  const std::int64_t traces = LittleEndian<2>(bytes, 4);
  if (frames < 1) return {{}, name + ": the header counts " + std::to_string(frames) + " frames, not 1 or more"};
  if (traces < 2 || traces % 2 != 0)
    return {{}, name + ": the header counts " + std::to_string(traces) +
                    " traces, not an even number from 2 (a donor and an acceptor for each molecule)"};
  // At most 2^31 frames of 2^15 traces of 2 bytes: far inside 64 bits.
  const std::uint64_t values = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(traces);
  const std::uint64_t counted = values * kTracesValueBytes;
  const std::uint64_t held = bytes.size() - kTracesHeaderBytes;
  if (held != counted)
    return {{}, name + ": the header counts " + std::to_string(frames) + " frames of " + std::to_string(traces) +
                    " traces, " + std::to_string(counted) + " bytes, but " + std::to_string(held) +
                    " follow it" + (held < counted ? ": the file is cut short" : "")};
  const auto molecules = static_cast<std::size_t>(traces / 2);
  const auto frameCount = static_cast<std::size_t>(frames);
  ColumnReading reading;
  reading.molecules.resize(molecules);
  for (std::size_t m = 0; m < molecules; ++m) {
    ColumnMolecule& molecule = reading.molecules[m];
    molecule.name = std::to_string(m + 1);
    molecule.source = name + ", molecule " + molecule.name;
    molecule.frames.resize(frameCount);
    molecule.values.resize(frameCount * 2);
  }
  std::size_t at = kTracesHeaderBytes;
  for (std::size_t f = 0; f < frameCount; ++f)
    for (std::size_t m = 0; m < molecules; ++m) {
      ColumnMolecule& molecule = reading.molecules[m];
      molecule.frames[f] = static_cast<double>(f + 1);
      molecule.values[f * 2] = static_cast<double>(LittleEndian<2>(bytes, at));
      molecule.values[f * 2 + 1] = static_cast<double>(LittleEndian<2>(bytes, at + kTracesValueBytes));
      at += 2 * kTracesValueBytes;
    }
  return reading;
}

ColumnReading ReadTracesBinaryFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {{}, path + ": cannot be opened: " + std::strerror(errno)};
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return {{}, path + ": cannot be read"};
  return ReadTracesBinary(bytes, path);
}

bool IsTracesBinaryPath(const std::string& path) { return EndsWith(Lower(path), ".traces"); }

bool IsHdf5Path(const std::string& path) {
  const std::string lower = Lower(path);
  return EndsWith(lower, ".hdf5") || EndsWith(lower, ".h5");
}

namespace {

// Whether the whole lines of `start` are a stacked export's rows without its header, as
// RecogniseLayout says: a molecule's trace number repeats row after row and then steps up, and
// a state's mean is one number for the trace. A trace of one molecule whose first column is its
// frame never repeats it.
bool HeaderlessStacked(std::string_view start) {
  constexpr std::size_t kColumns = 6;
  const std::size_t whole = start.rfind('\n');
  if (whole == std::string_view::npos) return false;
  TraceLines lines(start.substr(0, whole + 1));
  std::map<std::pair<double, double>, double> means;  // (trace, state) -> mean
  std::optional<double> previous;
  bool repeats = false, steps = false;
  while (lines.Next()) {
    const auto& fields = lines.Fields();
    if (fields.size() != kColumns) return false;
    double row[kColumns];
    for (std::size_t k = 0; k < kColumns; ++k)
      if (ReadField(fields[k], row[k]) != FieldKind::Number || !std::isfinite(row[k])) return false;
    const double trace = row[0], state = row[4], mean = row[5];
    if (trace < 1 || trace != std::round(trace) || state < 1 || state != std::round(state)) return false;
    if (previous && trace < *previous) return false;
    if (previous) (trace == *previous ? repeats : steps) = true;
    previous = trace;
    const auto [at, added] = means.try_emplace({trace, state}, mean);
    if (!added && at->second != mean) return false;
  }
  return lines.Trouble().empty() && repeats && steps;
}

}  // namespace

TraceLayout RecogniseLayout(const std::string& path, std::string_view start) {
  const std::string lower = Lower(path);
  if (EndsWith(lower, ".dwt")) return TraceLayout::Dwt;
  if (EndsWith(lower, ".json") || EndsWith(lower, ".json.gz")) return TraceLayout::Smd;
  if (!start.empty() && (start.front() == '{' || start.substr(0, 2) == "\x1f\x8b")) return TraceLayout::Smd;
  TraceLines lines(start.substr(0, start.find('\n')));
  if (lines.Next()) {
    const auto& fields = lines.Fields();
    const bool names = !std::all_of(fields.begin(), fields.end(), IsNumberField);
    const std::string line = Lower(lines.Line());
    if (names && line.find("fret") != std::string::npos && line.find("mean") != std::string::npos)
      return TraceLayout::Stacked;
  }
  return HeaderlessStacked(start) ? TraceLayout::Stacked : TraceLayout::OnePerFile;
}
