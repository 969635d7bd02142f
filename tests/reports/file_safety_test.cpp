// The user's files are safe: every output is the old file or the complete new one, whatever
// happens while it is written; a planted link is replaced, never followed; a pipe chosen as a
// report is named and passed over at once.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "platform/outputfile.h"
#include "tests/reports/map_fixture.h"
#include "tests/support/ended_process.h"
#include "tests/support/session_setup.h"
#include "tests/support/temp_dir.h"

namespace {

class FileSafetyTest : public ::testing::Test {
 protected:
  void Load(const std::vector<std::string>& paths) { told(session.Load(paths)); }

  TempDir dir;  // the current directory while the test runs
  Session session;
  Told told;
};

// Every file in `folder` with its bytes.
std::map<std::string, std::string> Contents(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[entry.path().filename().string()] = bytes.str();
  }
  return files;
}

// A folder on a file system of its own, 2 MB large, for as long as it lives; nothing where
// the test may not mount one.
class SmallDisk {
 public:
  explicit SmallDisk(const std::filesystem::path& at) : path_(at) {
    std::filesystem::create_directory(path_);
    mounted_ = geteuid() == 0 && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=2m") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

  // Fills what is left of the disk.
  void Fill() const {
    std::ofstream filler(path_ / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
};

TEST_F(FileSafetyTest, OnAFullDiskEveryOutputStaysWholeAndTheReasonIsShown) {
  SmallDisk disk(dir.path() / "disk");
  if (!disk.Mounted()) GTEST_SKIP() << "needs to mount a small file system (runs as root in CI)";
  session.SetPeaks(2);
  dir.Write("disk/a.dat",
            ReportText({{0.2, 0.2, 0.5, 0, 2}, {0.2, 0.8, 0.05, 0, 3}, {0.8, 0.2, 0.1, 0, 1}, {0.8, 0.8, 0.3, 0, 4}}));
  Load({dir / "disk/a.dat"});
  ASSERT_TRUE(session.SetStates(2).done);
  told(session.Lock());
  told(session.Fit(1, 2));
  told(session.WriteLog());
  ASSERT_TRUE(told.errors.empty()) << told.errors.front();
  const auto before = Contents(dir.path() / "disk");
  ASSERT_EQ(before.size(), 6u);  // the report, the map, the rate file, the log, both tables of results

  disk.Fill();
  told(RunCommand(session, {"weight", "off"}).outcome);  // a new map
  told(session.Fit(1, 2));
  told(session.WriteLog());
  Load({dir / "disk/a.dat"});
  ASSERT_EQ(told.errors.size(), 6u);
  for (const char* name : {"3dgrid.dat", "1,2rates.dat", "log.dat", "results.csv", "rates.csv"}) {
    const std::string path = dir / ("disk/" + std::string(name));
    EXPECT_NE(
        std::find(told.errors.begin(), told.errors.end(), "Cannot write \"" + path + "\": No space left on device."),
        told.errors.end())
        << name;
  }
  // The load is refused before it writes anything: its map file would not fit.
  EXPECT_NE(told.errors[5].find("their \"3dgrid.dat\" would take 1 MB, and 0 MB are free"), std::string::npos)
      << told.errors[5];
  auto after = Contents(dir.path() / "disk");
  after.erase("filler");
  EXPECT_EQ(after, before);  // no file cut short, no new file half written, none left behind
}

TEST_F(FileSafetyTest, APlantedLinkIsReplacedAndWhatItPointsToIsUntouched) {
  session.SetPeaks(1);
  dir.Write("precious.txt", "the user's own words\n");
  std::filesystem::create_symlink(dir / "precious.txt", dir / "3dgrid.dat");
  std::filesystem::create_symlink(dir / "created-by-a-link.txt", dir / "1,1rates.dat");
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  Load({dir / "one.dat"});
  ASSERT_TRUE(session.SetStates(1).done);
  told(session.Lock());
  told(session.Fit(1, 1));
  ASSERT_NE(session.FitOf(1, 1), nullptr);
  EXPECT_EQ(dir.Read("precious.txt"), "the user's own words\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "created-by-a-link.txt"));
  for (const char* name : {"3dgrid.dat", "1,1rates.dat"})
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir / name))) << name;
  EXPECT_EQ(Lines(dir.Read("3dgrid.dat")).size(), 1u + 201u);
}

TEST(KilledWrite, WhatAStoppedWriterLeftBesideAFileGoesWithTheNextWriteOfThatFileAlone) {
  TempDir dir;
  const std::string ended = std::to_string(EndedProcess());
  const std::string running = std::to_string(getppid());
  const std::string stopped = ".log.dat." + ended + ".0.new";
  for (const std::string& name : {stopped, ".log.dat." + running + ".0.new", ".results.csv." + ended + ".1.new"})
    dir.Write(name, "half");
  std::filesystem::create_symlink(dir / "precious.txt", dir / (".log.dat." + ended + ".1.new"));
  EXPECT_EQ(StoppedNewFileOf(stopped), "log.dat");
  EXPECT_EQ(StoppedNewFileOf(".log.dat." + running + ".0.new"), std::nullopt);
  EXPECT_EQ(StoppedNewFileOf(".log.dat.x.0.new"), std::nullopt);

  ASSERT_EQ(WriteWholeFile(dir / "log.dat", "log\n"), std::nullopt);
  // A link of that name is passed over, the new file of a running writer and another file's stay.
  std::vector<std::string> kept = {".log.dat." + ended + ".1.new", ".log.dat." + running + ".0.new",
                                   ".results.csv." + ended + ".1.new", "log.dat"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Listing(dir.path()), kept);
}

TEST_F(FileSafetyTest, APipeOrAFolderChosenAsAReportIsNamedAndPassedOver) {
  session.SetPeaks(1);
  ASSERT_EQ(mkfifo((dir / "pipe.dat").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder.dat");
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  Load({dir / "pipe.dat", dir / "one.dat", dir / "folder.dat"});
  ASSERT_EQ(told.errors.size(), 1u);
  EXPECT_EQ(told.errors[0],
            "Some reports did not hold all their records; the missing records count as zeros:\n" + dir / "pipe.dat" +
                ": cannot be opened (a pipe or a device, not a file), 1 of 1 records missing\n" + dir / "folder.dat" +
                ": cannot be opened (a folder, not a file), 1 of 1 records missing");
  EXPECT_EQ(session.Records()[1].final, 0.75);
}

// A load of many reports that fall short names twenty and counts the rest; a lock refused for
// too many transitions names the report that holds them and says what to do.
TEST_F(FileSafetyTest, MessagesAboutManyFilesOrTransitionsSayWhereToLook) {
  session.SetPeaks(1);
  dir.Write("one.dat", ReportText({{0.25, 0.75, 0.01, 0, 3}}));
  dir.Write("huge.dat", ReportText({{0.75, 0.25, 0.01, 0, 1e12}}));
  std::vector<std::string> chosen = {dir / "one.dat", dir / "huge.dat"};
  for (int f = 0; f < 25; ++f) chosen.push_back(dir / ("gone" + std::to_string(f) + ".dat"));
  Load(chosen);
  ASSERT_EQ(told.errors.size(), 1u);
  EXPECT_EQ(Lines(told.errors[0]).size(), 1u + 20u + 1u);
  EXPECT_EQ(Lines(told.errors[0]).back(), "and 5 more reports");

  ASSERT_TRUE(session.SetStates(2).done);
  told(session.Lock());
  ASSERT_EQ(told.errors.size(), 2u);
  EXPECT_EQ(told.errors[1],
            "Too many transitions: the class lists would hold more than 50000000 entries. The "
            "largest number of transitions, 1000000000000, is in \"" +
                dir / "huge.dat" + "\". Untick \"Weight by # transitions\" to count every record once.");
}

}  // namespace
