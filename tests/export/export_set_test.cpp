// An export into a folder that holds an older set: the new set takes its place whole; into a
// folder the user keeps things in, the set goes into a folder of its own there and nothing of
// the user's moves; and what a killed export left is cleared by the next.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "export/exportset.h"
#include "import/importoptions.h"
#include "tests/support/ended_process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::vector<ExportFile> kNewSet = {{"map.svg", "new map"}, {"class-1-2.svg", "new 1->2"}, {"results.csv", "new\n"}};

TEST(ExportSetNames, AreTheFiguresAndTablesAnExportWritesAndNothingElse) {
  for (const char* name : {"map.svg", "overview.pdf", "class-1-2.png", "class-10-3.svg", "density.csv",
                           "histograms.csv", "results.csv"})
    EXPECT_TRUE(IsExportEntry({name, true, false})) << name;
  for (const char* name : {"map.txt", "class-1.svg", "class--2.svg", "class-a-2.svg", "class-1-2-3.svg", "notes.txt",
                           "log.dat", ".results.csv.12.0", "map.svg.bak", "svg"})
    EXPECT_FALSE(IsExportEntry({name, true, false})) << name;
  // A folder of that name is the user's: an export never removes one.
  EXPECT_FALSE(IsExportEntry({"map.svg", false, true}));
}

TEST(ExportSet, ReplacesAnOldSetWholeAndPutsItsOwnFolderBesideWhatTheUserKeeps) {
  TempDir dir;
  // The set of an older analysis with a class the new one has not.
  fs::create_directories(dir / "sets");
  for (const char* old : {"sets/map.svg", "sets/class-1-2.svg", "sets/class-1-3.svg", "sets/overview.pdf"})
    dir.Write(old, "old");
  if (!kWindows) fs::create_symlink(dir / "elsewhere.txt", dir / "sets/map.png");
  dir.Write("elsewhere.txt", "not to be touched");
  std::string notice = "not cleared";
  ASSERT_EQ(WriteExport(dir / "sets", kNewSet, &notice), std::nullopt);
  EXPECT_EQ(notice, "");
  EXPECT_EQ(Listing(dir / "sets"), (std::vector<std::string>{"class-1-2.svg", "map.svg", "results.csv"}));
  EXPECT_EQ(dir.Read("sets/map.svg"), "new map");
  // A planted link went with the old set; what it led to is as it was.
  EXPECT_EQ(dir.Read("elsewhere.txt"), "not to be touched");

  // A folder with the user's things, an old set among them: nothing of it moves, the set goes
  // into "figures" in it, and the next set replaces that one whole.
  fs::create_directories(dir / "out/drafts");
  dir.Write("out/map.svg", "old");
  dir.Write("out/notes.txt", "mine");
  dir.Write("out/drafts/first.txt", "a draft");
  ASSERT_EQ(WriteExport(dir / "out", kNewSet, &notice), std::nullopt);
  EXPECT_EQ(notice, "they are in its folder \"figures\", beside files that are no export's");
  EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"drafts", "figures", "map.svg", "notes.txt"}));
  EXPECT_EQ(dir.Read("out/map.svg"), "old");
  EXPECT_EQ(dir.Read("out/drafts/first.txt"), "a draft");
  ASSERT_EQ(WriteExport(dir / "out", {{"map.svg", "newer"}, {"class-2-1.svg", "2->1"}}), std::nullopt);
  EXPECT_EQ(Listing(dir / "out/figures"), (std::vector<std::string>{"class-2-1.svg", "map.svg"}));
  EXPECT_EQ(dir.Read("out/figures/map.svg"), "newer");
  EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"drafts", "figures", "map.svg", "notes.txt"}));
  // Nothing hidden is left anywhere.
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"elsewhere.txt", "out", "sets"}));

  // A "figures" of the user's own is no place for a set either: nothing is written.
  dir.Write("out/figures/photo.jpg", "mine");
  const auto refused = WriteExport(dir / "out", kNewSet);
  ASSERT_TRUE(refused);
  EXPECT_EQ(*refused, "Cannot export into \"" + dir / "out" + "\": it holds files that are no export's, and its " +
                          "\"figures\" too: name a folder for the set. Nothing was written.");
  EXPECT_EQ(dir.Read("out/figures/map.svg"), "newer");
}

// An export into the reports' own folder, of some of its reports: the import's dwells.csv
// is the import's, whatever the export's table holds, and so is a table left alone in a
// folder an export without dwells writes into.
TEST(ExportSet, LeavesAnImportsDwellTableAsItWas) {
  TempDir dir;
  std::vector<std::string> traces;
  for (int m = 0; m < 30; ++m) {
    std::string text;
    for (int f = 0; f < 40; ++f) text += (((f / (3 + m % 5)) % 2) ? "0.8\n" : "0.2\n");
    traces.push_back(dir / ("t" + std::to_string(m) + ".txt"));
    dir.Write(traces.back(), text);
  }
  ImportOptions import;
  import.peaks = 2;
  import.out = dir / "reports";
  Session session;
  ASSERT_TRUE(session.Import(traces, import).done);
  const std::string table = dir.Read("reports/dwells.csv");
  std::vector<std::string> some;
  for (int m = 1; m <= 9; ++m) some.push_back(dir / ("reports/molecule_000" + std::to_string(m) + ".dat"));
  ASSERT_TRUE(session.Load(some).done);
  ASSERT_EQ(session.Dwells().size(), 9u);
  ExportOptions tablesOnly;  // figures play no part here, and the Windows build draws none
  tablesOnly.formats = {};
  const Outcome exported = session.Export(dir / "reports", tablesOnly, std::nullopt);
  ASSERT_TRUE(exported.done) << exported.messages.front().text;
  EXPECT_TRUE(dir.Read("reports/dwells.csv") == table) << "the import's dwells.csv was changed";
  EXPECT_TRUE(dir.Read("reports/figures/dwells.csv") == DwellsCsv(session.Dwells()));

  fs::create_directory(dir / "kept");
  fs::copy_file(dir / "reports/dwells.csv", dir / "kept/dwells.csv");
  ASSERT_EQ(WriteExport(dir / "kept", kNewSet), std::nullopt);
  EXPECT_TRUE(dir.Read("kept/dwells.csv") == table) << "a table left alone was changed";
}

TEST(ExportSet, AProcessWorkingInTheFolderGoesOnInTheNewOne) {
  if (kWindows) GTEST_SKIP() << "Windows renames no folder that a process works in";
  TempDir dir;
  fs::create_directory(dir / "out");
  dir.Write("out/map.svg", "old");
  fs::current_path(dir / "out");
  ASSERT_EQ(WriteExport(".", kNewSet), std::nullopt);
  EXPECT_EQ(dir.Read("out/map.svg"), "new map");
  // Relative names still lead to the folder of that name.
  std::ifstream relative("map.svg");
  std::string text;
  std::getline(relative, text);
  EXPECT_EQ(text, "new map");
}

#ifndef _WIN32
// A shell that ran `export .` in the folder it stands in still stands in that folder: what it
// writes there afterwards lands in it.
TEST(ExportInUse, AFolderSomeoneStandsInIsNeverReplaced) {
  TempDir dir;
  fs::create_directory(dir / "reports");
  dir.Write("reports/molecule_0001.dat", "a report");
  dir.Write("reports/map.svg", "an older version's");
  const int held = open((dir / "reports").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(held, 0);
  fs::current_path(dir / "reports");
  ASSERT_EQ(WriteExport(".", kNewSet), std::nullopt);
  const int later = openat(held, "later.txt", O_WRONLY | O_CREAT | O_EXCL, 0644);
  const int why = errno;
  close(held);
  ASSERT_GE(later, 0) << std::strerror(why);
  close(later);
  EXPECT_TRUE(fs::exists(dir / "reports/later.txt"));
  EXPECT_EQ(dir.Read("reports/figures/map.svg"), "new map");
  EXPECT_EQ(dir.Read("reports/map.svg"), "an older version's");
}

// Kills at random moments of exports into a folder of the user's: every file of theirs stays
// where it was, and the set's folder holds one set whole, the old or the new.
TEST(ExportInUse, AKilledExportNeverHidesTheUsersFilesNorMixesTwoSets) {
  TempDir dir;
  fs::create_directory(dir / "reports");
  std::vector<std::string> mine;
  for (int k = 0; k < 100; ++k) {
    mine.push_back("molecule_" + std::to_string(1000 + k) + ".dat");
    dir.Write("reports/" + mine.back(), "report " + std::to_string(k));
  }
  const auto setOf = [](char word) {
    std::vector<ExportFile> set;
    for (int k = 1; k <= 12; ++k) set.push_back({"class-1-" + std::to_string(k) + ".svg", std::string(20000, word)});
    return set;
  };
  const std::vector<ExportFile> sets[2] = {setOf('a'), setOf('b')};
  std::vector<std::string> names;
  for (const ExportFile& file : sets[0]) names.push_back(file.name);
  std::sort(names.begin(), names.end());

  const auto begun = std::chrono::steady_clock::now();
  ASSERT_EQ(WriteExport(dir / "reports", sets[0]), std::nullopt);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun);
  std::mt19937 random(7);
  std::uniform_int_distribution<long> moment(0, took.count() * 3 / 2);
  for (int kill = 0; kill < 20; ++kill) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(WriteExport(dir / "reports", sets[(kill + 1) % 2]) ? 1 : 0);
    usleep(static_cast<useconds_t>(moment(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    for (std::size_t k = 0; k < mine.size(); ++k)
      ASSERT_EQ(dir.Read("reports/" + mine[k]), "report " + std::to_string(k)) << "after kill " << kill;
    ASSERT_EQ(Listing(dir / "reports/figures"), names) << "after kill " << kill;
    const char word = dir.Read("reports/figures/class-1-1.svg").front();
    for (const std::string& name : names)
      ASSERT_EQ(dir.Read("reports/figures/" + name), std::string(20000, word)) << name << " after kill " << kill;
  }
  // The next export clears what the killed ones left.
  ASSERT_EQ(WriteExport(dir / "reports", sets[1]), std::nullopt);
  std::vector<std::string> expected = mine;
  expected.push_back("figures");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listing(dir / "reports"), expected);
}

TEST(ExportStopped, WhatAKilledExportLeftIsClearedByTheNextAndARunningOnesIsNot) {
  TempDir dir;
  const std::string ended = std::to_string(EndedProcess());
  const std::string running = std::to_string(getppid());
  fs::create_directory(dir / "out");
  dir.Write("out/map.svg", "new map of the killed export");
  // Killed after its set took the folder's place, before the user's file went back into it.
  fs::create_directory(dir / (".out.export-" + ended + "-0"));
  dir.Write(".out.export-" + ended + "-0/map.svg", "old");
  dir.Write(".out.export-" + ended + "-0/notes.txt", "mine");
  // Killed while writing its set; and one that still runs.
  for (const std::string& name : {".out.export-" + ended + "-1", ".out.export-" + running + "-0"}) {
    fs::create_directory(dir / name);
    dir.Write(name + "/map.svg", "half");
  }
  // What an earlier version left inside the folder when it was killed, and what a running one has there.
  dir.Write("out/.results.csv." + ended + ".3.new", "half");
  dir.Write("out/.results.csv." + running + ".3.new", "half");

  std::string notice;
  ASSERT_EQ(WriteExport(dir / "out", kNewSet, &notice), std::nullopt);
  EXPECT_EQ(notice, "removed the hidden folders of 2 stopped exports: " + dir / (".out.export-" + ended + "-0") +
                        ", " + dir / (".out.export-" + ended + "-1"))
      << notice;
  EXPECT_EQ(dir.Read("out/notes.txt"), "mine");
  EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{".results.csv." + running + ".3.new", "class-1-2.svg",
                                                            "map.svg", "notes.txt", "results.csv"}));
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{".out.export-" + running + "-0", "out"}));
}

TEST(ExportStopped, AFolderAKilledExportHadMovedAsideIsPutBackBeforeTheNextReplacesIt) {
  TempDir dir;
  const std::string ended = std::to_string(EndedProcess());
  // Killed between taking the old folder away and putting its set in the place (on a system
  // that swaps folders in two steps): there is no folder "out".
  fs::create_directory(dir / (".out.export-old-" + ended + "-0"));
  dir.Write(".out.export-old-" + ended + "-0/map.svg", "old");
  dir.Write(".out.export-old-" + ended + "-0/notes.txt", "mine");
  fs::create_directory(dir / (".out.export-" + ended + "-0"));
  dir.Write(".out.export-" + ended + "-0/map.svg", "new map of the killed export");

  std::string notice;
  ASSERT_EQ(WriteExport(dir / "out", kNewSet, &notice), std::nullopt);
  EXPECT_EQ(notice, "put back " + dir / "out" + ", which a stopped export had moved away; removed the hidden " +
                        "folder of a stopped export: " + dir / (".out.export-" + ended + "-0"))
      << notice;
  EXPECT_EQ(dir.Read("out/notes.txt"), "mine");
  EXPECT_EQ(dir.Read("out/map.svg"), "new map");
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"out"});
}
#endif

}  // namespace
