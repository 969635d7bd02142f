#include "import/dwelltable.h"

#include <array>
#include <charconv>
#include <cmath>
#include <set>

#include "import/tracetext.h"

namespace {

constexpr std::string_view kHeader = "molecule,level,start_frame,frames,cut_at_start,cut_at_end";
// The fields after a molecule's name.
constexpr std::size_t kNumberFields = 5;

// A name in double quotes when it holds a comma, a quote or blanks at an end; a quote inside
// is doubled.
std::string NameField(const std::string& name) {
  const bool plain = name.find_first_of(",\"") == std::string::npos &&
                     (name.empty() || (name.front() != ' ' && name.back() != ' '));
  if (plain) return name;
  std::string field = "\"";
  for (const char c : name) field += c == '"' ? std::string("\"\"") : std::string(1, c);
  return field + "\"";
}

std::string_view NameOf(std::string_view field, std::string& storage) {
  if (field.size() < 2 || field.front() != '"' || field.back() != '"') return field;
  storage.clear();
  for (std::size_t k = 1; k + 1 < field.size(); ++k) {
    storage += field[k];
    if (field[k] == '"' && k + 2 < field.size() && field[k + 1] == '"') ++k;
  }
  return storage;
}

void AppendNumber(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool ReadWhole(std::string_view field, std::int64_t& value) {
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  return error == std::errc() && end == field.data() + field.size();
}

struct BadRow {
  std::string why;
};

LevelDwell RowDwell(const std::array<std::string_view, kNumberFields>& fields) {
  LevelDwell dwell;
  if (ReadField(fields[0], dwell.level) != FieldKind::Number) throw BadRow{"the level is no finite number"};
  if (!ReadWhole(fields[1], dwell.start) || dwell.start < 1) throw BadRow{"the start frame is no whole number from 1"};
  if (!ReadWhole(fields[2], dwell.frames) || dwell.frames < 1) throw BadRow{"the frames are no whole number from 1"};
  // Both are at least 1, so the difference cannot overflow, and the end of one dwell, the
  // start of the next, stays a count.
  if (dwell.start > kMostTraceFrames || dwell.frames > kMostTraceFrames - dwell.start + 1)
    throw BadRow{"the dwell runs past frame " + std::to_string(kMostTraceFrames) + ", further than any trace"};
  const auto cut = [](std::string_view field, const char* which) {
    if (field == "0") return false;
    if (field == "1") return true;
    throw BadRow{std::string(which) + " is neither 0 nor 1"};
  };
  dwell.cutAtStart = cut(fields[3], "cut_at_start");
  dwell.cutAtEnd = cut(fields[4], "cut_at_end");
  return dwell;
}

}  // namespace

std::string DwellsCsv(const DwellTable& table) {
  std::string out(kHeader);
  out += '\n';
  for (const MoleculeDwells& molecule : table) {
    const std::string name = NameField(molecule.molecule);
    for (const LevelDwell& dwell : molecule.dwells) {
      out += name;
      out += ',';
      AppendNumber(out, dwell.level);
      out += ',' + std::to_string(dwell.start) + ',' + std::to_string(dwell.frames) + ',';
      out += dwell.cutAtStart ? '1' : '0';
      out += ',';
      out += dwell.cutAtEnd ? '1' : '0';
      out += '\n';
    }
  }
  return out;
}

namespace {

// A table saved on Windows ends its lines in CR LF; the lines come without the LF.
std::string_view WithoutReturn(std::string_view line) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

DwellsReading ReadDwellLines(TraceLines& lines, const std::string& name) {
  DwellsReading reading;
  const auto fail = [&](std::size_t line, const std::string& why) {
    reading.table.clear();
    reading.error = name + ":" + std::to_string(line) + ": " + why;
    return reading;
  };
  if (!lines.Next()) {
    if (!lines.Trouble().empty()) return fail(lines.TroubleLine(), lines.Trouble());
    reading.error = name + ": is empty; a dwell table starts with the line " + std::string(kHeader);
    return reading;
  }
  if (WithoutReturn(lines.Line()) != kHeader) return fail(lines.Number(), "the first line must be " + std::string(kHeader));
  std::set<std::string, std::less<>> ended;  // molecules whose rows are behind
  std::string storage;
  while (lines.Next()) {
    // The name may hold commas: the numbers are the last fields.
    std::string_view line = WithoutReturn(lines.Line());
    std::array<std::string_view, kNumberFields> fields;
    for (std::size_t k = kNumberFields; k-- > 0;) {
      const std::size_t comma = line.rfind(',');
      if (comma == std::string_view::npos)
        return fail(lines.Number(), "a row holds a molecule and " + std::to_string(kNumberFields) + " numbers");
      fields[k] = line.substr(comma + 1);
      line = line.substr(0, comma);
    }
    const std::string_view molecule = NameOf(line, storage);
    LevelDwell dwell;
    try {
      dwell = RowDwell(fields);
    } catch (const BadRow& bad) {
      return fail(lines.Number(), bad.why);
    }
    if (reading.table.empty() || reading.table.back().molecule != molecule) {
      if (ended.contains(molecule))
        return fail(lines.Number(), "the rows of molecule " + std::string(molecule) + " do not stand together");
      if (!reading.table.empty()) ended.insert(reading.table.back().molecule);
      reading.table.push_back({std::string(molecule), {}});
    }
    std::vector<LevelDwell>& dwells = reading.table.back().dwells;
    const std::int64_t expected = dwells.empty() ? 1 : dwells.back().start + dwells.back().frames;
    if (dwell.start != expected)
      return fail(lines.Number(), "the dwell starts at frame " + std::to_string(dwell.start) + ", not at frame " +
                                      std::to_string(expected) + " where the one before ends");
    dwells.push_back(dwell);
  }
  if (!lines.Trouble().empty()) return fail(lines.TroubleLine(), lines.Trouble());
  return reading;
}

}  // namespace

DwellsReading ReadDwellsCsvText(std::string_view text, const std::string& name) {
  TraceLines lines(text);
  return ReadDwellLines(lines, name);
}

DwellsReading ReadDwellsCsv(const std::string& path) {
  DwellsReading reading;
  const std::string error = ReadLinesOfFile(path, [&](TraceLines lines) { reading = ReadDwellLines(lines, path); });
  if (!error.empty()) reading.error = error;
  return reading;
}
