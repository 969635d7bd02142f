// Other tools' files, read from the hand-written samples in tests/import/data: each gives the
// dwells and counts worked out by hand below, its layout is recognised without --layout, and bad
// input is named by file and line and writes nothing.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "import/counting.h"
#include "import/importoptions.h"
#include "import/importtraces.h"
#include "import/peerformats.h"
#include "import/tracefile.h"
#include "platform/optionsform.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = std::string(VARNEL_SOURCE_DIR) + "/tests/import/data/";

std::string Sample(const std::string& name) {
  std::ifstream in(kData + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ImportOptions Options(const std::vector<std::string>& words) {
  std::string error;
  const auto arguments = ParseImportArguments(words, error);
  EXPECT_TRUE(arguments) << error;
  return arguments ? arguments->options : ImportOptions{};
}

std::string Refusal(const std::vector<std::string>& words) {
  std::string error;
  EXPECT_FALSE(ParseImportArguments(words, error)) << words.front();
  return error;
}

using Dwells = std::vector<std::pair<double, std::int64_t>>;

Dwells DwellsOf(const Molecule& molecule) {
  Dwells dwells;
  for (const Dwell& dwell : molecule.dwells) dwells.emplace_back(dwell.value, dwell.frames);
  return dwells;
}

// n_ij of a molecule's two levels, and F_i: what the report's records are made of.
struct TwoLevels {
  double low, high;
  std::int64_t frames, up, down, lowWithNext, highWithNext;
};

void ExpectCounts(const Molecule& molecule, const TwoLevels& expected) {
  const LevelCounts counts = CountTransitions(molecule.dwells, 3);
  ASSERT_EQ(counts.LevelCount(), 2u) << molecule.source;
  EXPECT_EQ(counts.levels, (std::vector<double>{expected.low, expected.high})) << molecule.source;
  EXPECT_EQ(counts.frames, expected.frames) << molecule.source;
  EXPECT_EQ(counts.Steps(0, 1), expected.up) << molecule.source;
  EXPECT_EQ(counts.Steps(1, 0), expected.down) << molecule.source;
  EXPECT_EQ(counts.framesWithNext, (std::vector<std::int64_t>{expected.lowWithNext, expected.highWithNext}))
      << molecule.source;
}

TEST(PeerFormats, DwtSegmentsAreMoleculesOfWholeFrames) {
  // 50 ms frames: segment 1 is class 1 for 3 frames, 2 for 2, 1 for 1, 2 for 4; segment 2 is
  // class 2 for 2 frames, 3 for 5, 2 for 1.
  const TraceReading reading = ReadTraceFile(kData + "two-segments.dwt", Options({}));
  ASSERT_EQ(reading.error, "");
  EXPECT_EQ(reading.layout, TraceLayout::Dwt);
  EXPECT_EQ(reading.frameTime, 0.05);
  ASSERT_EQ(reading.molecules.size(), 2u);
  EXPECT_EQ(reading.molecules[0].source, kData + "two-segments.dwt, segment 1");
  EXPECT_EQ(DwellsOf(reading.molecules[0]), (Dwells{{1, 3}, {2, 2}, {1, 1}, {2, 4}}));
  EXPECT_EQ(DwellsOf(reading.molecules[1]), (Dwells{{2, 2}, {3, 5}, {2, 1}}));
  // 1->2 twice, 2->1 once; the 4 frames of class 1 all have a next one, 5 of the 6 of class 2.
  ExpectCounts(reading.molecules[0], {1, 2, 10, 2, 1, 4, 5});
  ExpectCounts(reading.molecules[1], {2, 3, 8, 1, 1, 2, 5});
}

TEST(PeerFormats, DwtFrameTimeComesFromTheFileOrTheOption) {
  const std::string bare = "Segment 1\n0\t20\n1\t30\n";
  // Without a sampling time the option converts: 20 ms and 30 ms are 2 and 3 frames of 10 ms.
  const TraceReading converted = ReadDwtText(bare, "bare.dwt", 0.01);
  ASSERT_EQ(converted.error, "");
  EXPECT_FALSE(converted.frameTime);
  EXPECT_EQ(DwellsOf(converted.molecules[0]), (Dwells{{0, 2}, {1, 3}}));
  EXPECT_EQ(ReadDwtText(bare, "bare.dwt", std::nullopt).error,
            "bare.dwt:1: the segment header gives no frame time (Sampling(ms): T); give --frame-time");
  // The file's 10 ms win over the option's 5.
  const TraceReading own = ReadDwtText("Segment 1 sampling(MS)= 10\n0\t20\n1\t30\n", "own.dwt", 0.005);
  ASSERT_EQ(own.error, "");
  EXPECT_EQ(own.frameTime, 0.01);
  EXPECT_EQ(DwellsOf(own.molecules[0]), (Dwells{{0, 2}, {1, 3}}));
  // 20.0000004 ms is 2.00000004 frames, whole within 1e-6; 20.1 ms is not.
  EXPECT_EQ(ReadDwtText("Segment 1\n0\t20.0000004\n", "near.dwt", 0.01).error, "");
}

TEST(PeerFormats, DwtRefusesWhatIsNoDwellByLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"S 1 Sampling(ms): 50\n1\t150\n2\t75\n", "x.dwt:3: a dwell of 75 ms is 1.5 frames of 50 ms, not a whole number from 1"},
      {"S 1 Sampling(ms): 50\n1\t150\n2\t0\n", "x.dwt:3: a dwell of 0 ms is 0 frames of 50 ms, not a whole number from 1"},
      {"S 1 Sampling(ms): 50\n1\t50\nS 2 Sampling(ms): 20\n",
       "x.dwt:3: a sampling time of 20 ms, where line 1 gives 50 ms"},
      {"S 1 Sampling(ms): 50\n1.5\t50\n", "x.dwt:2: the class 1.5 is not a whole number"},
      {"S 1 Sampling(ms): 50\n1\t50\t3\n", "x.dwt:2: a dwell line is a class and a dwell time in ms, separated by a tab"},
      {"1\t50\n", "x.dwt:1: a dwell before the first segment's header line"},
      {"S 1 Sampling(ms): fast\n", "x.dwt:1: the segment header names a sampling time, but not as a number of ms above 0"},
      {"", "x.dwt: no segment header line: is this a .dwt file?"},
  };
  for (const auto& [text, error] : cases) {
    const TraceReading reading = ReadDwtText(text, "x.dwt", 0.05);
    EXPECT_EQ(reading.error, error) << text;
    EXPECT_TRUE(reading.molecules.empty()) << text;
  }
}

TEST(PeerFormats, StackedExportIsATableOfStateMeans) {
  const TraceReading reading = ReadTraceFile(kData + "stacked.txt", Options({}));
  ASSERT_EQ(reading.error, "");
  EXPECT_EQ(reading.layout, TraceLayout::Stacked);
  ASSERT_EQ(reading.molecules.size(), 2u);
  EXPECT_EQ(reading.molecules[1].source, kData + "stacked.txt, molecule 2");
  EXPECT_EQ(DwellsOf(reading.molecules[0]), (Dwells{{0.12, 2}, {0.68, 2}, {0.12, 1}}));
  EXPECT_EQ(DwellsOf(reading.molecules[1]), (Dwells{{0.48, 2}, {0.79, 1}}));
  ExpectCounts(reading.molecules[0], {0.12, 0.68, 5, 1, 1, 2, 2});
  ExpectCounts(reading.molecules[1], {0.48, 0.79, 3, 1, 0, 2, 0});
  // Told the layout, a file without the header reads the same; five columns are no such export.
  const ImportOptions stacked = Options({"--layout", "stacked"});
  const TraceReading headless = ReadTraceText("7 1 9 0.1 1 0.2\n7 1 9 0.1 2 0.6\n", "h.txt", stacked);
  ASSERT_EQ(headless.error, "");
  EXPECT_EQ(DwellsOf(headless.molecules[0]), (Dwells{{0.2, 1}, {0.6, 1}}));
  EXPECT_EQ(ReadTraceText("t d a FRET s\n1 9 1 0.1 1\n", "five.txt", stacked).error,
            "five.txt:2: a stacked export has 6 columns, not 5");
  EXPECT_EQ(ReadTraceText("1 9 1 0.1 1 0.2\n1 9 1 0.1 1 x\n", "bad.txt", stacked).error,
            "bad.txt:2: \"x\" where a number belongs (column 6)");
}

// The sample compressed as gzip writes it, into `path`.
void WriteGzip(const std::string& path, const std::string& text) {
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  EXPECT_EQ(gzwrite(file, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
  gzclose(file);
}

TEST(PeerFormats, SmdMoleculesPlainAndCompressed) {
  if (!ReadsSmd()) {
    EXPECT_EQ(ReadTraceFile(kData + "two-molecules.json", Options({})).error,
              kData + "two-molecules.json: SMD JSON is not available in this build, which has no JSON parser");
    return;
  }
  TempDir dir;
  WriteGzip(dir / "two.json.gz", Sample("two-molecules.json"));
  // Recognised by its first bytes too, under a name that says nothing.
  WriteGzip(dir / "two.bin", Sample("two-molecules.json"));
  for (const std::string& path : {kData + "two-molecules.json", dir / "two.json.gz", dir / "two.bin"}) {
    const TraceReading reading = ReadTraceFile(path, Options({}));
    ASSERT_EQ(reading.error, "") << path;
    EXPECT_EQ(reading.layout, TraceLayout::Smd);
    ASSERT_EQ(reading.molecules.size(), 2u);
    EXPECT_EQ(reading.molecules[0].source, path + ", molecule m1");
    // The "idealized" column, not the acceptor's.
    EXPECT_EQ(DwellsOf(reading.molecules[0]), (Dwells{{0.1, 2}, {0.7, 1}, {0.1, 1}}));
    EXPECT_EQ(DwellsOf(reading.molecules[1]), (Dwells{{0.5, 1}, {0.8, 2}}));
    ExpectCounts(reading.molecules[0], {0.1, 0.7, 4, 1, 1, 2, 1});
    ExpectCounts(reading.molecules[1], {0.5, 0.8, 3, 1, 0, 1, 1});
  }
}

TEST(PeerFormats, SmdRefusesWhatIsNoTraceByLineOrFrame) {
  if (!ReadsSmd()) return;  // refused as a whole above
  // Without "columns" the last column is the idealised one; a molecule without "id" is named by its place.
  const TraceReading last = ReadSmdText(R"({"data": [{"values": [[1, 0.3], [2, 0.3], [3, 0.9]]}]})", "s.json");
  ASSERT_EQ(last.error, "");
  EXPECT_EQ(last.molecules[0].source, "s.json, molecule 1");
  EXPECT_EQ(DwellsOf(last.molecules[0]), (Dwells{{0.3, 2}, {0.9, 1}}));

  const TraceReading syntax = ReadSmdText("{\"data\": [\n  {\"values\": [[1, 2],\n   [3 4]]}\n]}\n", "s.json");
  EXPECT_EQ(syntax.error.substr(0, 18), "s.json:3: not JSON") << syntax.error;
  const std::pair<std::string, std::string> cases[] = {
      {R"([1, 2])", "s.json: an SMD file is a JSON object"},
      {R"({"traces": []})", "s.json: no \"data\" array of molecules"},
      {R"({"data": [{"id": "a", "values": [[0.1], ["high"]]}]})",
       "s.json, molecule a, frame 2: the idealised value is not a number"},
      {R"({"columns": ["d", "ideal"], "data": [{"id": 4, "values": [[1, 0.1], [0.2]]}]})",
       "s.json, molecule 4, frame 2: 1 values, but \"columns\" puts the idealised one in column 2"},
      {R"({"data": [{"id": "a", "values": [[1, 0.1], []]}]})", "s.json, molecule a, frame 2: a frame is an array of numbers"},
      {R"({"data": [{"id": "a"}]})", "s.json, molecule a: no \"values\" array of frames"},
  };
  for (const auto& [text, error] : cases) EXPECT_EQ(ReadSmdText(text, "s.json").error, error) << text;
}


TEST(PeerFormats, LayoutIsRecognisedByNameAndFirstLine) {
  EXPECT_EQ(RecogniseLayout("a/B.DWT", "Segment: 1"), TraceLayout::Dwt);
  EXPECT_EQ(RecogniseLayout("x.json", ""), TraceLayout::Smd);
  EXPECT_EQ(RecogniseLayout("x.json.gz", "\x1f\x8b"), TraceLayout::Smd);
  EXPECT_EQ(RecogniseLayout("x.txt", "{\"data\": []}"), TraceLayout::Smd);
  EXPECT_EQ(RecogniseLayout("x.txt", "Trace no.  Donor  Acceptor  FRET  State no.  State mean\n1 2 3"),
            TraceLayout::Stacked);
  // A trace of one molecule stays one: its header names no FRET and mean, or it has none.
  EXPECT_EQ(RecogniseLayout("x.txt", "time,signal,state"), TraceLayout::OnePerFile);
  EXPECT_EQ(RecogniseLayout("x.txt", "frame FRET idealised"), TraceLayout::OnePerFile);
  EXPECT_EQ(RecogniseLayout("x.txt", "1 900 100 0.1 1 0.12"), TraceLayout::OnePerFile);
  EXPECT_EQ(RecogniseLayout("x.csv", ""), TraceLayout::OnePerFile);
  // Told the layout, the name says nothing: a .dwt file of rows is one molecule.
  const TraceReading told = ReadTraceText("0.1\n0.5\n", "rows.dwt", Options({"--layout=one-per-file"}));
  ASSERT_EQ(told.error, "");
  EXPECT_EQ(DwellsOf(told.molecules[0]), (Dwells{{0.1, 1}, {0.5, 1}}));
}

TEST(PeerFormats, AStackedExportWithoutItsHeaderIsRecognisedByItsRowsAndOtherwiseTheRefusalSaysSo) {
  // Trace 1 at state 1 (mean 0.12) for 2 frames, then state 2 (0.68) for 1; trace 2 at 0.48 for 2.
  const std::string rows =
      "1 900 100 0.10 1 0.12\n1 880 120 0.12 1 0.12\n1 300 700 0.70 2 0.68\n2 520 480 0.48 1 0.48\n"
      "2 500 500 0.50 1 0.48\n";
  EXPECT_EQ(RecogniseLayout("h.txt", rows), TraceLayout::Stacked);
  TempDir dir;
  dir.Write("h.txt", rows);
  const TraceReading reading = ReadTraceFile(dir / "h.txt", Options({}));
  ASSERT_EQ(reading.error, "");
  EXPECT_EQ(reading.layout, TraceLayout::Stacked);
  ASSERT_EQ(reading.molecules.size(), 2u);
  EXPECT_EQ(reading.molecules[0].source, dir / "h.txt, molecule 1");
  EXPECT_EQ(DwellsOf(reading.molecules[0]), (Dwells{{0.12, 2}, {0.68, 1}}));
  EXPECT_EQ(DwellsOf(reading.molecules[1]), (Dwells{{0.48, 2}}));
  // A first column that counts frames, one trace, or a state of two means is no such export.
  EXPECT_EQ(RecogniseLayout("f.txt", "1 900 100 0.1 1 0.12\n2 880 120 0.12 1 0.12\n3 300 700 0.7 2 0.68\n"),
            TraceLayout::OnePerFile);
  EXPECT_EQ(RecogniseLayout("o.txt", "1 900 100 0.1 1 0.12\n1 880 120 0.12 1 0.12\n"), TraceLayout::OnePerFile);
  EXPECT_EQ(RecogniseLayout("m.txt", "1 900 100 0.1 1 0.12\n1 880 120 0.12 1 0.13\n2 9 1 0.1 1 0.1\n"),
            TraceLayout::OnePerFile);

  // A file read as one molecule with more levels than K: the refusal names the layouts to give.
  dir.Write("many.txt", "0.1\n0.2\n0.3\n0.4\n");
  EXPECT_EQ(ImportTraces({dir / "many.txt"}, Options({}), 3, dir / "out").error,
            "no molecule gives a report: 1 with more than 3 levels (" + dir / "many.txt" +
                "); a file read as one molecule may hold many: give its layout, --layout stacked for a stacked export "
                "without its header, or --layout table with --molecule and --value");
}

TEST(PeerFormats, LayoutAndFrameTimeOptions) {
  EXPECT_EQ(Options({"--layout", "dwt", "--frame-time=0.02"}).frameTime, 0.02);
  EXPECT_FALSE(Options({"--layout", "smd"}).recognise);
  EXPECT_TRUE(Options({"--frame-time", "1e-3"}).recognise);
  EXPECT_FALSE(Options({"--molecule", "1", "--value", "2"}).recognise);
  EXPECT_FALSE(ImportOptions{}.recognise);
  EXPECT_FALSE(Options({"--column", "2"}).recognise);
  EXPECT_EQ(Options({"--layout", "dwells"}).layout, TraceLayout::Dwells);
  EXPECT_EQ(Refusal({"--layout", "hdf5"}), "--layout takes one-per-file, table, dwells, dwt, smd or stacked, not 'hdf5'");
  EXPECT_EQ(Refusal({"--layout", "stacked", "--value", "4"}), "--layout stacked takes no columns");
  EXPECT_EQ(Refusal({"--layout", "dwt", "--dwells"}), "--dwells does not go with --layout dwt");
  EXPECT_EQ(Refusal({"--layout", "table"}), "a table needs both --molecule and --value");
  EXPECT_EQ(Refusal({"--layout", "one-per-file", "--molecule", "1", "--value", "2"}),
            "--layout one-per-file takes --column, not --molecule, --value or --length");
  for (const std::string bad : {"0", "-1", "1e-10", "4000", "fast", "nan", ""})
    EXPECT_EQ(Refusal({"--frame-time=" + bad}),
              "--frame-time must be the seconds per frame, from 1e-9 to 3600, not '" + bad + "'");
}

TEST(PeerFormats, FormWritesTheLayoutAndFrameTimeTheImportReads) {
  const OptionsForm& form = ImportOptionsForm();
  OptionValues values = DefaultOptionValues(form);
  for (std::size_t k = 0; k < form.fields.size(); ++k) {
    if (form.fields[k].name == "layout") values[k] = "dwt";
    if (form.fields[k].name == "frame-time") values[k] = "0.02";
  }
  EXPECT_EQ(OptionValuesRefused(form, values), std::nullopt);
  const std::vector<std::string> words = OptionWordsOf(form, values);
  EXPECT_EQ(words, (std::vector<std::string>{"--layout=dwt", "--frame-time", "0.02"}));
  EXPECT_EQ(OptionValuesOf(form, words), values);
  const ImportOptions options = Options(words);
  EXPECT_EQ(options.layout, TraceLayout::Dwt);
  EXPECT_EQ(options.frameTime, 0.02);
}

TEST(PeerFormats, ImportSummaryNamesTheRecognisedAndTheFrameTime) {
  TempDir dir;
  fs::copy_file(kData + "two-segments.dwt", dir / "a.dwt");
  fs::copy_file(kData + "stacked.txt", dir / "b.txt");
  // The file's 50 ms win over the option's 0.1 s.
  const ImportResult result =
      ImportTraces({dir / "a.dwt", dir / "b.txt"}, Options({"--frame-time", "0.1"}), 3, dir / "out");
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.frameTime, 0.05);
  EXPECT_EQ(ImportSummary(result), "4 molecules read, 4 reports written to " + dir / "out" + "; recognised: " +
                                       dir / "a.dwt" + " as dwt, " + dir / "b.txt" + " as stacked; frame time 0.05 s, from " +
                                       dir / "a.dwt");
  // Two files of different frame times are refused, and nothing is written.
  dir.Write("c.dwt", "Segment 1 Sampling(ms): 20\n1\t40\n2\t20\n");
  const ImportResult differ = ImportTraces({dir / "a.dwt", dir / "c.dwt"}, Options({}), 3, dir / "differ");
  EXPECT_EQ(differ.error, dir / "c.dwt" + ": a frame time of 0.02 s, where " + dir / "a.dwt" + " holds 0.05 s");
  EXPECT_FALSE(fs::exists(dir / "differ"));
}

TEST(PeerFormats, SessionImportOfDwellFilesSetsTheExposure) {
  TempDir dir;
  fs::copy_file(kData + "two-segments.dwt", dir / "a.dwt");
  Session session;
  ASSERT_TRUE(session.SetExposure(0.2).done);
  const Outcome imported = session.Import({dir / "a.dwt"}, Options({"--out", dir / "out"}));
  ASSERT_TRUE(imported.done) << (imported.messages.empty() ? "" : imported.messages.front().text);
  EXPECT_EQ(session.Exposure(), 0.05);
  ASSERT_EQ(session.Dwells().size(), 2u);
  // Segment 1 by hand: class 1 from frame 1 for 3, 2 from 4 for 2, 1 from 6 for 1, 2 from 7 for 4.
  const std::vector<LevelDwell>& first = session.Dwells()[0].dwells;
  ASSERT_EQ(first.size(), 4u);
  const std::int64_t starts[] = {1, 4, 6, 7}, lengths[] = {3, 2, 1, 4};
  for (std::size_t k = 0; k < first.size(); ++k) {
    EXPECT_EQ(first[k].level, k % 2 == 0 ? 1.0 : 2.0);
    EXPECT_EQ(first[k].start, starts[k]);
    EXPECT_EQ(first[k].frames, lengths[k]);
  }
  EXPECT_TRUE(first.front().cutAtStart);
  EXPECT_TRUE(first.back().cutAtEnd);

  // A bad dwell leaves the session and the disk as they were.
  dir.Write("bad.dwt", "Segment 1 Sampling(ms): 50\n1\t50\n2\t60\n");
  const Outcome refused = session.Import({dir / "bad.dwt"}, Options({"--out", dir / "bad"}));
  EXPECT_FALSE(refused.done);
  ASSERT_FALSE(refused.messages.empty());
  EXPECT_NE(refused.messages.front().text.find(dir / "bad.dwt" + ":3: a dwell of 60 ms is 1.2 frames"),
            std::string::npos)
      << refused.messages.front().text;
  EXPECT_FALSE(fs::exists(dir / "bad"));
  EXPECT_EQ(session.Exposure(), 0.05);
  EXPECT_EQ(session.Dwells().size(), 2u);
}

// A build without HDF5 (the Windows one) says so of an SMD HDF5 file; one with it reads the file
// (tests/idealise/smd_hdf5_test.cpp).
TEST(PeerFormats, ABuildWithoutHdf5RefusesAnSmdHdf5FileSayingSo) {
  if (ReadsHdf5()) GTEST_SKIP() << "this build reads SMD HDF5 files";
  TempDir dir;
  std::ofstream(dir / "run.h5") << "HDF";
  EXPECT_EQ(ReadSmdHdf5File(dir / "run.h5").error,
            dir / "run.h5" + ": SMD HDF5 is not available in this build, which has no HDF5 library");
}

}  // namespace
