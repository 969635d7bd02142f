// Raw traces in, idealised traces out: the FRET value of each frame and the frames left out,
// the layouts and their messages, and the table the import reads back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "idealise/idealisedtable.h"
#include "idealise/rawtraces.h"
#include "import/peerformats.h"
#include "import/tracefile.h"
#include "tests/support/temp_dir.h"

namespace {

RawOptions TableOptions() {
  RawOptions options;
  options.layout.layout = TraceLayout::Table;
  options.layout.molecule = {"--molecule", 0, "id"};
  options.layout.frame = ColumnRef{"--frame", 0, "frame"};
  return options;
}

TEST(IdealiseRawTraces, FretIsTheAcceptorsShareAfterBackgroundAndGammaAndDarkFramesAreLeftOut) {
  RawOptions options;
  options.donorBackground = 10;
  options.acceptorBackground = 20;
  options.gamma = 2;
  // Donor, acceptor: totals A' + 2 D' of 100 while bright; frame 3 blinks, frames 6 on bleached.
  const std::vector<double> values = {45, 50, 40, 60, 12, 22, 50, 40, 20, 100, 11, 19, 10, 21, 9, 20};
  const std::vector<double> frames = {1, 2, 3, 4, 5, 6, 7, 8};
  const FretTrace trace = KeptFrames("m", "m.txt", frames, values, options);
  EXPECT_EQ(trace.frames, (std::vector<double>{1, 2, 4, 5}));
  EXPECT_EQ(trace.fret, (std::vector<double>{0.3, 0.4, 0.2, 0.8}));

  options.lastFrame = 2;
  EXPECT_EQ(KeptFrames("m", "m.txt", frames, values, options).frames, (std::vector<double>{1, 2}));
}

TEST(IdealiseRawTraces, ATableIsReadByItsMoleculeAndFrameColumnsAndBadRowsAreNamedByLine) {
  const std::string text = "id,frame,fret\nb,2,0.5\na,1,0.1\nb,1,0.4\na,2,0.2\n";
  const ColumnReading reading = ReadTraceColumnsText(text, "t.csv", TableOptions().layout, {{"--fret", 0, "fret"}});
  ASSERT_TRUE(reading.error.empty()) << reading.error;
  ASSERT_EQ(reading.molecules.size(), 2u);
  EXPECT_EQ(reading.molecules[0].name, "b");
  EXPECT_EQ(reading.molecules[0].source, "t.csv, molecule b");
  EXPECT_EQ(reading.molecules[0].frames, (std::vector<double>{1, 2}));
  EXPECT_EQ(reading.molecules[0].values, (std::vector<double>{0.4, 0.5}));

  const auto error = [](const std::string& bad, const std::vector<ColumnRef>& columns) {
    return ReadTraceColumnsText(bad, "t.csv", TableOptions().layout, columns).error;
  };
  EXPECT_EQ(error("id,frame,fret\na,1,0.1\na,2,x\n", {{"--fret", 0, "fret"}}),
            "t.csv:3: \"x\" where a number belongs (column 3)");
  EXPECT_EQ(error("id,frame,fret\na,1,0.1\na,1,0.2\n", {{"--fret", 0, "fret"}}),
            "t.csv:3: the frame of line 2 again, for the same molecule");
  EXPECT_EQ(error("id,frame,fret\na,1,0.1\n", {{"--donor", 0, "donor"}}),
            "t.csv:1: no column named \"donor\" in this header line: \"id\", \"frame\", \"fret\"");
}

TEST(IdealiseRawTraces, FilesAreNamedByTheirStemAndTwoMoleculesOfOneNameAreRefused) {
  TempDir dir;
  std::filesystem::create_directory(dir / "b");
  const std::string trace = "donor acceptor\n50 50\n60 40\n55 45\n";
  dir.Write("one.txt", trace);
  dir.Write("b/one.dat", trace);
  dir.Write("dark.txt", "donor acceptor\n0 0\n0 0\n");
  const RawReading reading = ReadRawTraces({dir / "one.txt", dir / "dark.txt"}, RawOptions{});
  ASSERT_TRUE(reading.error.empty()) << reading.error;
  ASSERT_EQ(reading.traces.size(), 1u);
  EXPECT_EQ(reading.traces[0].name, "one");
  EXPECT_EQ(reading.traces[0].fret, (std::vector<double>{0.5, 0.4, 0.45}));
  ASSERT_EQ(reading.left.size(), 1u);
  EXPECT_NE(reading.left[0].find("dark.txt (fewer than 2 frames"), std::string::npos) << reading.left[0];

  // Files of one name in two folders are told apart by their folder's name; where that is the
  // same too, the second is refused.
  const RawReading both = ReadRawTraces({dir / "one.txt", dir / "b/one.dat"}, RawOptions{});
  ASSERT_TRUE(both.error.empty()) << both.error;
  ASSERT_EQ(both.traces.size(), 2u);
  EXPECT_EQ(both.traces[0].name, std::filesystem::path(dir / "one.txt").parent_path().filename().string() + "/one");
  EXPECT_EQ(both.traces[1].name, "b/one");
  std::filesystem::create_directories(dir / "c/b");
  dir.Write("c/b/one.txt", trace);
  EXPECT_EQ(ReadRawTraces({dir / "b/one.dat", dir / "c/b/one.txt"}, RawOptions{}).error,
            dir / "c/b/one.txt" + ": the molecule is named \"b/one\", as is " + dir / "b/one.dat" +
                "; each molecule needs a name of its own");
  dir.Write("short.txt", "donor acceptor\n50 50\n60\n");
  EXPECT_EQ(ReadRawTraces({dir / "short.txt"}, RawOptions{}).error,
            dir / "short.txt" + ":3: 1 value where the rows above have 2");

  // One file named again, by its path and through a link: one molecule, and the others said.
  if (kWindows) return;
  std::filesystem::create_symlink(dir / "one.txt", dir / "link.txt");
  const RawReading once = ReadRawTraces({dir / "one.txt", dir / "link.txt", dir / "one.txt"}, RawOptions{});
  ASSERT_TRUE(once.error.empty()) << once.error;
  ASSERT_EQ(once.traces.size(), 1u);
  EXPECT_EQ(once.traces[0].name, "one");
  ASSERT_EQ(once.repeated.size(), 2u);
  EXPECT_EQ(once.repeated[0].path, dir / "link.txt");
  EXPECT_EQ(once.repeated[0].first, dir / "one.txt");
}

// A .traces file as its layout is documented: int32 frames, int16 traces, then int16 values
// frame by frame (molecule 1's donor and acceptor, molecule 2's ...), little-endian.
TEST(IdealiseRawTraces, ABinaryTracesFileGivesEachMoleculesDonorAndAcceptorAndABadHeaderIsRefused) {
  // 3 frames of 4 traces. Frame 1: 60 40 | 300 -2; frame 2: 70 30 | 250 50; frame 3: 20 80 | 200 100.
  const std::string bytes("\x03\x00\x00\x00" "\x04\x00"
                          "\x3c\x00" "\x28\x00" "\x2c\x01" "\xfe\xff"
                          "\x46\x00" "\x1e\x00" "\xfa\x00" "\x32\x00"
                          "\x14\x00" "\x50\x00" "\xc8\x00" "\x64\x00",
                          30);
  const ColumnReading reading = ReadTracesBinary(bytes, "cam.traces");
  ASSERT_EQ(reading.error, "");
  ASSERT_EQ(reading.molecules.size(), 2u);
  EXPECT_EQ(reading.molecules[1].name, "2");
  EXPECT_EQ(reading.molecules[1].source, "cam.traces, molecule 2");
  EXPECT_EQ(reading.molecules[0].frames, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(reading.molecules[0].values, (std::vector<double>{60, 40, 70, 30, 20, 80}));
  EXPECT_EQ(reading.molecules[1].values, (std::vector<double>{300, -2, 250, 50, 200, 100}));

  // Idealised from the file by its name: FRET A / (A + D), molecules named after the file.
  TempDir dir;
  std::ofstream(dir / "cam.traces", std::ios::binary) << bytes;
  const RawReading raw = ReadRawTraces({dir / "cam.traces"}, RawOptions{});
  ASSERT_EQ(raw.error, "");
  ASSERT_EQ(raw.traces.size(), 2u);
  EXPECT_EQ(raw.traces[0].name, "cam-1");
  EXPECT_EQ(raw.traces[1].name, "cam-2");
  EXPECT_EQ(raw.traces[0].fret, (std::vector<double>{0.4, 0.3, 0.8}));
  EXPECT_EQ(raw.traces[1].fret, (std::vector<double>{-2.0 / 298, 50.0 / 300, 100.0 / 300}));
  RawOptions fret;
  fret.fret = ColumnRef{"--fret", 1, ""};
  EXPECT_EQ(ReadRawTraces({dir / "cam.traces"}, fret).error,
            dir / "cam.traces" + ": a .traces file holds each molecule's donor and acceptor, no FRET to take with --fret");

  // A header that lies or a file cut short is refused before a value is read.
  EXPECT_EQ(ReadTracesBinary(bytes.substr(0, 29), "cut.traces").error,
            "cut.traces: the header counts 3 frames of 4 traces, 24 bytes, but 23 follow it: the file is cut short");
  EXPECT_EQ(ReadTracesBinary(bytes + "\x01", "long.traces").error,
            "long.traces: the header counts 3 frames of 4 traces, 24 bytes, but 25 follow it");
  EXPECT_EQ(ReadTracesBinary(std::string("\xe8\x03\x00\x00\x04\x00", 6) + bytes.substr(6), "lie.traces").error,
            "lie.traces: the header counts 1000 frames of 4 traces, 8000 bytes, but 24 follow it: the file is cut short");
  EXPECT_EQ(ReadTracesBinary(std::string("\xff\xff\xff\xff\x04\x00", 6), "neg.traces").error,
            "neg.traces: the header counts -1 frames, not 1 or more");
  EXPECT_EQ(ReadTracesBinary(std::string("\x03\x00\x00\x00\x03\x00", 6), "odd.traces").error,
            "odd.traces: the header counts 3 traces, not an even number from 2 (a donor and an acceptor for each "
            "molecule)");
  EXPECT_EQ(ReadTracesBinary(std::string("\x03\x00\x00", 3), "tiny.traces").error,
            "tiny.traces: 3 bytes, fewer than the 6 of a .traces file's header");
  // The import of idealised traces says what the file is, not that it lacks rows.
  EXPECT_NE(ReadTraceFile(dir / "cam.traces", ImportOptions{}).error.find("raw donor and acceptor intensities"),
            std::string::npos);
}

TEST(IdealiseRawTraces, TheTableOfIdealisedTracesIsReadBackByTheImportMoleculeByMolecule) {
  TempDir dir;
  std::vector<FretTrace> traces = {{"a,1", "a.txt", {1, 2, 3}, {0.21, 0.79, 0.8}, 0, {}, {}, {}, {}},
                                   {"b", "b.txt", {4, 5}, {0.2, 0.22}, 0, {}, {}, {}, {}}};
  Idealisation idealisation;
  idealisation.fits.push_back({});
  idealisation.fits[0].model.states = 2;
  idealisation.fits[0].model.means = {0.2, 0.8};
  idealisation.paths = {{0, 1, 1}, {0, 0}};
  ASSERT_EQ(WriteIdealisedTable(dir / "ideal.csv", traces, idealisation), std::nullopt);
  EXPECT_EQ(dir.Read("ideal.csv"),
            "molecule,frame,fret,idealised\n\"a,1\",1,0.21,0.2\n\"a,1\",2,0.79,0.8\n\"a,1\",3,0.8,0.8\n"
            "b,4,0.2,0.2\nb,5,0.22,0.2\n");

  ImportOptions options;
  options.layout = TraceLayout::Table;
  options.molecule = {"--molecule", 0, "molecule"};
  options.value = {"--value", 0, "idealised"};
  options.frame = ColumnRef{"--frame", 0, "frame"};
  const TraceReading back = ReadTraceFile(dir / "ideal.csv", options);
  ASSERT_TRUE(back.error.empty()) << back.error;
  ASSERT_EQ(back.molecules.size(), 2u);
  EXPECT_EQ(back.molecules[0].source, dir / "ideal.csv" + ", molecule a,1");
  ASSERT_EQ(back.molecules[0].dwells.size(), 2u);
  EXPECT_EQ(back.molecules[0].dwells[1].value, 0.8);
  EXPECT_EQ(back.molecules[0].dwells[1].frames, 2);
  EXPECT_EQ(back.molecules[1].dwells.size(), 1u);

  // Merged, the idealised column holds each merged state's mean over the frames of the paths.
  idealisation.fits[0].model.states = 3;
  idealisation.fits[0].model.means = {0.125, 0.25, 0.75};
  idealisation.paths = {{0, 1, 2}, {0, 0}};
  // Bounded at 0.5 or found: 0.125 and 0.25 (gap 0.125) are one state beside 0.75 (gap 0.5),
  // its value (3 * 0.125 + 0.25) / 4 = 0.15625.
  for (const StatesOption& merge : {StatesOption{false, {0.5}}, StatesOption{true, {}}}) {
    const LevelStates merged = MergedStates(idealisation, merge);
    EXPECT_EQ(StatesText(merged), "3 levels became 2 states (0.15625, 0.75)");
    EXPECT_EQ(IdealisedTableText(traces, idealisation, &merged),
              "molecule,frame,fret,idealised\n\"a,1\",1,0.21,0.15625\n\"a,1\",2,0.79,0.15625\n\"a,1\",3,0.8,0.75\n"
              "b,4,0.2,0.15625\nb,5,0.22,0.15625\n");
  }

  // A table that cannot be written leaves nothing behind.
  EXPECT_NE(WriteIdealisedTable(dir / "no/such/folder.csv", traces, idealisation), std::nullopt);
}

// A dim molecule: a total of 300 with noise of sd 100 while it lives (a frame in five below a
// threshold at half its brightness), one blink of frames 201 to 203 and a bleached tail of 100
// frames at background, noise of sd 30. The chain of bright and dark frames finds the blink and
// the tail, and takes few of the living frames for blinks.
TEST(IdealiseRawTraces, TheNoiseOfADimMoleculeIsNoBlinkButABlinkAndTheTailAreDark) {
  std::mt19937_64 engine(3);
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<double> frames, values;
  for (int frame = 1; frame <= 600; ++frame) {
    const bool dark = (frame >= 201 && frame <= 203) || frame > 500;
    const double total = dark ? 30 * normal(engine) : 300 + 100 * normal(engine);
    frames.push_back(frame);
    values.push_back(0.5 * total);  // donor
    values.push_back(0.5 * total);  // acceptor
  }
  const FretTrace trace = KeptFrames("m", "m.txt", frames, values, RawOptions{});
  EXPECT_NEAR(static_cast<double>(trace.bleached), 100, 2);
  ASSERT_GE(trace.blinks.size(), 3u);
  // Living frames below a quarter of the bright level, 2.25 sd below it, are left out too: some
  // 6 of 497. A threshold at half the brightness would take some 100.
  EXPECT_LE(trace.blinks.size(), 3u + 12u);
  for (const double frame : {201.0, 202.0, 203.0})
    EXPECT_NE(std::find(trace.blinks.begin(), trace.blinks.end(), frame), trace.blinks.end()) << frame;
  // Each frame fitted keeps its total, for its weight.
  ASSERT_EQ(trace.totals.size(), trace.fret.size());
  EXPECT_DOUBLE_EQ(trace.totals[0], values[0] + values[1]);
}

TEST(IdealiseRawTraces, TheBleachedTailIsCutBlinksAreMarkedAndATimeColumnGivesTheFrameTime) {
  RawOptions options;
  // Totals A + D of 100 while bright (brightness 100, threshold 50): frames 3 and 4 blink, 7 is
  // bright again, 8 to 10 are the bleached tail.
  const std::vector<double> values = {70, 30, 40, 60, 5, 4, 6, 3, 20, 80, 60, 40, 50, 50, 4, 5, 6, 4, 5, 5};
  const std::vector<double> frames = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const FretTrace trace = KeptFrames("m", "m.txt", frames, values, options);
  EXPECT_EQ(trace.frames, (std::vector<double>{1, 2, 5, 6, 7}));
  EXPECT_EQ(trace.fret, (std::vector<double>{0.3, 0.6, 0.8, 0.4, 0.5}));
  EXPECT_EQ(trace.blinks, (std::vector<double>{3, 4}));
  EXPECT_EQ(trace.bleached, 3u);
  // Every frame's intensities stay for a person to look at, the cut ones too.
  EXPECT_EQ(trace.channelFrames, frames);
  EXPECT_EQ(trace.donor[2], 5);
  EXPECT_EQ(trace.acceptor[9], 5);
  // Noise after bleaching that crosses the threshold a frame at a time is the tail's, not the
  // end of a blink: frame 9 bright alone changes nothing.
  std::vector<double> relit = values;
  relit[16] = relit[17] = 50;
  const FretTrace tail = KeptFrames("m", "m.txt", frames, relit, options);
  EXPECT_EQ(tail.frames, trace.frames);
  EXPECT_EQ(tail.blinks, trace.blinks);
  EXPECT_EQ(tail.bleached, 3u);
  FretTrace second = KeptFrames("n", "n.txt", frames, values, options);
  second.name = "n";
  EXPECT_EQ(DarkFramesText({trace, second}),
            "6 frames at background after bleaching cut from 2 molecules; 4 frames of 2 blinks in 2 molecules "
            "given no state");
  // The table counts each blink's frames in the row after it; the blink has no row of its own.
  Idealisation idealisation;
  idealisation.fits.push_back({});
  idealisation.fits[0].model.states = 2;
  idealisation.fits[0].model.means = {0.4, 0.7};
  idealisation.paths = {{0, 1, 1, 0, 0}};
  EXPECT_EQ(IdealisedTableText({trace}, idealisation),
            "molecule,frame,fret,idealised,blink\nm,1,0.3,0.4,0\nm,2,0.6,0.7,0\nm,5,0.8,0.7,2\nm,6,0.4,0.4,0\n"
            "m,7,0.5,0.4,0\n");
  // The FRET value alone knows no background: nothing is cut.
  options.fret = ColumnRef{"--fret", 1, ""};
  const std::vector<double> fret = {0.1, 0.2, 0.3};
  const FretTrace plain = KeptFrames("f", "f.txt", {1, 2, 3}, fret, options);
  EXPECT_EQ(plain.frames.size(), 3u);
  EXPECT_TRUE(plain.blinks.empty());
  EXPECT_EQ(plain.bleached, 0u);

  // A time column's mean step is the frame time; a dropped frame is refused.
  std::string trouble;
  EXPECT_NEAR(*FrameTimeOf({2.0, 2.05, 2.1, 2.15}, trouble), 0.05, 1e-12);
  EXPECT_FALSE(FrameTimeOf({0.0, 0.05, 0.1, 0.2, 0.25}, trouble));
  EXPECT_NE(trouble.find("steps irregularly: 0.1 s from row 3 to row 4"), std::string::npos) << trouble;
  TempDir dir;
  dir.Write("a.txt", "time fret\n0 0.2\n0.05 0.3\n0.1 0.2\n");
  dir.Write("b.txt", "time fret\n0 0.2\n0.1 0.3\n0.2 0.2\n");
  RawOptions fretOnly;
  fretOnly.fret = ColumnRef{"--fret", 0, "fret"};
  const RawReading read = ReadRawTraces({dir / "a.txt"}, fretOnly);
  ASSERT_TRUE(read.error.empty()) << read.error;
  EXPECT_NEAR(*read.frameTime, 0.05, 1e-12);
  EXPECT_EQ(read.frameTimeFrom, dir / "a.txt");
  EXPECT_NE(ReadRawTraces({dir / "a.txt", dir / "b.txt"}, fretOnly).error.find("steps 0.1 s a frame, where"),
            std::string::npos);
  fretOnly.frameTime = 0.1;
  EXPECT_NE(ReadRawTraces({dir / "a.txt"}, fretOnly).error.find("but --frame-time gives 0.1 s"), std::string::npos);
  EXPECT_TRUE(ReadRawTraces({dir / "b.txt"}, fretOnly).error.empty());
  // A header that gives the time's unit: seconds are the time column, milliseconds are not.
  dir.Write("lab.csv", "Time (s),Donor,Acceptor\n0.00,500,500\n0.05,510,490\n0.10,490,510\n");
  dir.Write("ms.csv", "Time (ms),Donor,Acceptor\n0,500,500\n50,510,490\n100,490,510\n");
  const RawReading lab = ReadRawTraces({dir / "lab.csv"}, {});
  ASSERT_TRUE(lab.error.empty()) << lab.error;
  EXPECT_NEAR(lab.frameTime.value_or(0), 0.05, 1e-12);
  const RawReading ms = ReadRawTraces({dir / "ms.csv"}, {});
  ASSERT_TRUE(ms.error.empty()) << ms.error;
  EXPECT_FALSE(ms.frameTime);
}

}  // namespace
