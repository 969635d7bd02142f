// An export into a folder that holds an older set: the new set takes its place whole, what the
// user keeps there stays, and what a killed export left is cleared by the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/exportset.h"
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

TEST(ExportSet, ReplacesTheOldSetWholeAndKeepsWhatIsNotAnExportsAsItWas) {
  TempDir dir;
  fs::create_directories(dir / "out/drafts");
  // The set of an older analysis with a class the new one has not, and the user's own things.
  for (const char* old : {"out/map.svg", "out/class-1-2.svg", "out/class-1-3.svg", "out/overview.pdf"})
    dir.Write(old, "old");
  dir.Write("out/notes.txt", "mine");
  dir.Write("out/drafts/first.txt", "a draft");
  dir.Write("elsewhere.txt", "not to be touched");
  if (!kWindows) fs::create_symlink(dir / "elsewhere.txt", dir / "out/map.png");

  std::string notice = "not cleared";
  ASSERT_EQ(WriteExport(dir / "out", kNewSet, &notice), std::nullopt);
  EXPECT_EQ(notice, "");
  EXPECT_EQ(Listing(dir / "out"),
            (std::vector<std::string>{"class-1-2.svg", "drafts", "map.svg", "notes.txt", "results.csv"}));
  EXPECT_EQ(dir.Read("out/map.svg"), "new map");
  EXPECT_EQ(dir.Read("out/class-1-2.svg"), "new 1->2");
  EXPECT_EQ(dir.Read("out/notes.txt"), "mine");
  EXPECT_EQ(dir.Read("out/drafts/first.txt"), "a draft");
  // A planted link went with the old set; what it led to is as it was.
  EXPECT_EQ(dir.Read("elsewhere.txt"), "not to be touched");
  // Nothing hidden is left beside the folder.
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"elsewhere.txt", "out"}));
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
