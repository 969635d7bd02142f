// The hidden folder an import writes into, when the user's world changes under it: its folder
// moved away, things put in it, an import killed before the next one, the same file named twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "import/importoptions.h"
#include "import/importtraces.h"
#include "platform/pendingfolder.h"
#include "tests/support/ended_process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPeaks = 3;

// The one hidden folder an unfinished import has in `folder`.
fs::path HiddenIn(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(".partial-") != std::string::npos) return entry.path();
  return {};
}

TEST(ImportFolderMoved, TheCleanUpFollowsTheFolderItMadeAndNoTargetAppearsInTheNewPlace) {
  TempDir dir;
  fs::create_directory(dir / "data");
  std::string error;
  const std::string out = (dir.path() / "data" / "out").string();
  const auto pending = PendingFolder::Create(out, kImportWriter, error);
  ASSERT_TRUE(pending) << error;
  for (const char* name : {"m_1.dat", "m_2.dat", "m_3.dat"}) ASSERT_TRUE(pending->Write(name, "report\n", error));
  // The user moves the folder away while the reports are written, and makes a new one of its name.
  fs::rename(dir / "data", dir / "moved");
  fs::create_directory(dir / "data");
  EXPECT_FALSE(pending->Commit(error));
  EXPECT_EQ(error, "cannot make " + out + ": " + dir / "data" + " was moved or replaced while the reports were written");
  const std::string left = pending->Discard();
  EXPECT_TRUE(Listing(dir / "data").empty());
  if (kWindows) {
    // Held by its path there, the moved folder is out of reach, and that is said.
    EXPECT_EQ(left.rfind("the hidden folder made as ", 0), 0u) << left;
  } else {
    EXPECT_EQ(left, "");
    EXPECT_TRUE(Listing(dir / "moved").empty());
  }
}

TEST(ImportFolderLeft, WhatIsNotTheImportsStaysAndIsSaidWithWhereItIs) {
  TempDir dir;
  std::string error;
  const auto pending = PendingFolder::Create(dir / "out", kImportWriter, error);
  ASSERT_TRUE(pending) << error;
  ASSERT_TRUE(pending->Write("m_1.dat", "report\n", error));
  const fs::path hidden = HiddenIn(dir.path());
  std::ofstream(hidden / "notes.txt") << "the user's own\n";
  const std::string left = pending->Discard();
  EXPECT_EQ(left, "the hidden folder " + hidden.string() + " is left, with 1 entry that is no report");
  EXPECT_EQ(Listing(hidden), std::vector<std::string>{"notes.txt"});

  // An import that fails so says what is left, not that nothing was written.
  ImportResult failed;
  failed.error = "cannot write " + dir / "out/m_2.dat" + ": No space left on device";
  failed.leftBehind = left;
  EXPECT_EQ(CannotImportMessage(failed), "Cannot import the traces: " + failed.error +
                                             ". No reports folder was made, but " + left +
                                             "; the records loaded before are kept.");
  failed.leftBehind.clear();
  EXPECT_EQ(CannotImportMessage(failed), CannotImportMessage(failed.error));
}

#ifndef _WIN32
TEST(ImportStopped, AKilledImportsHiddenFolderIsRemovedByTheNextAndARunningOnesIsNot) {
  TempDir dir;
  dir.Write("trace.txt", "0.2\n0.8\n");
  const std::string ended = std::to_string(EndedProcess());
  const std::string running = std::to_string(getppid());
  // What a killed import leaves: some reports, one half written.
  for (const std::string& name : {".out.partial-" + ended + "-0", ".out.partial-" + ended + "-1",
                                  ".out.partial-" + running + "-0", ".other.partial-" + ended + "-0"}) {
    fs::create_directory(dir / name);
    dir.Write(name + "/molecule_0001.dat", "varnel-import transition report\n");
    dir.Write(name + "/molecule_0002.dat", "varn");
  }
  dir.Write(".out.partial-" + ended + "-1/mine.txt", "the user's own\n");

  std::string error;
  const auto arguments = ParseImportArguments(std::vector<std::string>{}, error);
  ASSERT_TRUE(arguments);
  const ImportResult result = ImportTraces({dir / "trace.txt"}, arguments->options, kPeaks, dir / "out");
  ASSERT_EQ(result.error, "");
  EXPECT_TRUE(ImportHasNotices(result));
  EXPECT_EQ(ImportSummary(result), "1 molecule read, 1 report written to " + dir / "out" +
                                       "; removed the hidden folder of a stopped import: " + dir / ".out.partial-" +
                                       ended + "-0; of a stopped import, the hidden folder " +
                                       dir / ".out.partial-" + ended + "-1" + " is left, with 1 entry that is no report");
  // The running import's folder and another target's are as they were.
  std::vector<std::string> kept = {".other.partial-" + ended + "-0", ".out.partial-" + ended + "-1",
                                   ".out.partial-" + running + "-0", "out", "trace.txt"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Listing(dir.path()), kept);
  EXPECT_EQ(Listing(dir / (".out.partial-" + running + "-0")).size(), 2u);
  EXPECT_EQ(Listing(dir / (".out.partial-" + ended + "-1")), std::vector<std::string>{"mine.txt"});
}
#endif

TEST(ImportRepeatedFiles, AFileNamedAgainByAnyPathIsReadOnceAndSaidSo) {
  TempDir dir;
  fs::create_directory(dir / "t");
  dir.Write("t/a.txt", "0.2\n0.8\n");
  dir.Write("t/b.txt", "0.5\n0.8\n");
  std::vector<std::string> paths = {dir / "t/a.txt", dir / "t/b.txt", dir / "t/a.txt", dir / "t/../t/b.txt"};
  if (!kWindows) {
    fs::create_symlink("a.txt", dir / "t/link.txt");
    fs::create_hard_link(dir / "t/b.txt", dir / "t/same.txt");
    paths.push_back(dir / "t/link.txt");
    paths.push_back(dir / "t/same.txt");
  }
  std::string error;
  const auto arguments = ParseImportArguments(std::vector<std::string>{}, error);
  ASSERT_TRUE(arguments);
  const ImportResult result = ImportTraces(paths, arguments->options, kPeaks, dir / "out");
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.reports.size(), 2u);
  std::string again = dir / "t/a.txt" + " (again as " + dir / "t/a.txt" + "), " + dir / "t/b.txt" + " (again as " +
                      dir / "t/../t/b.txt" + ")";
  if (!kWindows)
    again += ", " + dir / "t/a.txt" + " (again as " + dir / "t/link.txt" + "), " + dir / "t/b.txt" + " (again as " +
             dir / "t/same.txt" + ")";
  EXPECT_EQ(ImportSummary(result),
            "2 molecules read, 2 reports written to " + dir / "out" + "; named more than once, read once: " + again);
}

}  // namespace
