// Writing an export: every file into the folder, replacing what was there; a folder that cannot
// be written gets a message and keeps every file as it was, with no new file beside them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "export/exportoptions.h"
#include "export/exportset.h"
#include "export/schemefigure.h"
#include "tests/export/export_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

const std::vector<ExportFile> kFiles = {{"map.svg", "<svg/>"}, {"density.csv", "0\n"}, {"results.csv", "x\n"}};

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

ExportData SmallExport() {
  ExportData data;
  data.map = BlockMap();
  data.classes = {FittedClass()};
  data.source.reports = 2;
  data.source.states = 2;
  return data;
}

}  // namespace

TEST(WriteExportTest, WritesEveryFileAndReplacesWhatWasThere) {
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  dir.Write("out/map.svg", "old");
  dir.Write("out/overview.svg", "old");
  EXPECT_EQ(WriteExport(dir / "out", kFiles), std::nullopt);
  EXPECT_EQ(dir.Read("out/map.svg"), "<svg/>");
  EXPECT_EQ(dir.Read("out/density.csv"), "0\n");
  EXPECT_EQ(Names(dir.path() / "out"), (std::set<std::string>{"map.svg", "density.csv", "results.csv"}));
}

TEST(WriteExportTest, MakesAMissingFolder) {
  TempDir dir;
  EXPECT_EQ(WriteExport(dir / "new/figures", kFiles), std::nullopt);
  EXPECT_EQ(dir.Read("new/figures/results.csv"), "x\n");
}

TEST(WriteExportTest, AFolderThatCannotBeWrittenGetsAMessageAndNothingChanges) {
  TempDir dir;
  dir.Write("file", "a file");
  // A file where the folder should be, and a folder that would have to be made inside a file.
  for (const std::string& folder : {dir / "file", dir / "file/sub"}) {
    const auto message = WriteExport(folder, kFiles);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->rfind("Cannot export into \"" + folder + "\": ", 0), 0u) << *message;
    EXPECT_NE(message->find("Nothing was written."), std::string::npos) << *message;
  }
  EXPECT_EQ(dir.Read("file"), "a file");
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"file"}));
  EXPECT_TRUE(WriteExport("", kFiles));
}

TEST(WriteExportTest, AFolderInTheWayOfOneFileIsTheUsersAndStaysWithTheOldSet) {
  TempDir dir;
  std::filesystem::create_directories(dir / "out/results.csv");
  dir.Write("out/map.svg", "old");
  EXPECT_EQ(WriteExport(dir / "out", kFiles), std::nullopt);
  EXPECT_EQ(dir.Read("out/map.svg"), "old");
  EXPECT_EQ(Names(dir.path() / "out"), (std::set<std::string>{"figures", "map.svg", "results.csv"}));
  EXPECT_EQ(Names(dir.path() / "out/figures"), (std::set<std::string>{"map.svg", "density.csv", "results.csv"}));
}

TEST(WriteExportTest, AReadOnlyFolderKeepsItsFilesAndGetsNoTemporaryFile) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  dir.Write("out/map.svg", "old");
  std::filesystem::permissions(dir / "out", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const auto message = WriteExport(dir / "out", kFiles);
  std::filesystem::permissions(dir / "out", std::filesystem::perms::owner_all);
  ASSERT_TRUE(message);
  EXPECT_NE(message->find("Permission denied"), std::string::npos) << *message;
  EXPECT_EQ(dir.Read("out/map.svg"), "old");
  EXPECT_EQ(Names(dir.path() / "out"), (std::set<std::string>{"map.svg"}));
}

TEST(WriteExportTest, AnExportHasEveryFigureInEveryFormatAndTheTables) {
  const auto files = ExportFiles(SmallExport(), {});
  ASSERT_TRUE(files);
  std::vector<std::string> names;
  for (const ExportFile& file : *files) {
    names.push_back(file.name);
    EXPECT_FALSE(file.bytes.empty()) << file.name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"map.svg", "class-1-2.svg", "overview.svg", "map.pdf", "class-1-2.pdf",
                                             "overview.pdf", "map.png", "class-1-2.png", "overview.png",
                                             "density.csv", "histograms.csv", "results.csv", "rates.csv"}));
  // One format; no fitted class, no overview.
  ExportData mapOnly = SmallExport();
  mapOnly.classes.clear();
  const auto pngs = ExportFiles(mapOnly, {{FigureFormat::Png}, MapOrientation::AsOnScreen});
  ASSERT_TRUE(pngs);
  ASSERT_EQ(pngs->size(), 5u);
  EXPECT_EQ(pngs->front().name, "map.png");
  // The rates of the dwell times alone head an overview of their own: each path's rate and
  // interval to the rate's decimals, its flags; an exit rate is no path.
  DwellResultRow dwell;
  dwell.from = 1;
  dwell.to = 2;
  dwell.rate = 2.0312;
  dwell.interval = Interval{1.9461, 2.1104};
  dwell.molecules = 30;
  dwell.exposureTime = 0.1;
  dwell.flags = {"at the fit's bound"};
  DwellResultRow exit = dwell;
  exit.estimator = "dwell-exit";
  mapOnly.dwellResults = {dwell, exit};
  const RateTable table = DwellRateTable(mapOnly.dwellResults);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.rows[0].path, "1 \u2192 2");
  EXPECT_EQ(table.rows[0].text.rate + " " + table.rows[0].text.low + " " + table.rows[0].text.high, "2.03 1.95 2.11");
  EXPECT_EQ(table.rows[0].flags, "at the fit's bound");
  EXPECT_EQ(table.title, "Rates of the dwell times: up to 30 molecules a path, frames of 0.1 s");
  const auto withDwells = ExportFiles(mapOnly, {{FigureFormat::Png}, MapOrientation::AsOnScreen});
  ASSERT_TRUE(withDwells);
  EXPECT_EQ((*withDwells)[1].name, "overview.png");
}

TEST(ExportOptionsTest, FormatAndOrientationWordsGiveTheOptionsAndAnythingElseIsRefused) {
  EXPECT_EQ(ExportOptionWords("--format"), 2u);
  EXPECT_EQ(ExportOptionWords("--as-on-screen"), 1u);
  EXPECT_EQ(ExportOptionWords("figures"), 0u);

  const auto defaults = std::get<ExportOptions>(ExportOptionsOf({}));
  EXPECT_EQ(defaults.formats, (std::vector<FigureFormat>{FigureFormat::Svg, FigureFormat::Pdf, FigureFormat::Png}));
  EXPECT_EQ(defaults.orientation, MapOrientation::InitialAcross);
  const auto chosen = std::get<ExportOptions>(ExportOptionsOf({"--format", "svg", "--as-on-screen", "--format", "png"}));
  EXPECT_EQ(chosen.formats, std::vector<FigureFormat>{FigureFormat::Png});
  EXPECT_EQ(chosen.orientation, MapOrientation::AsOnScreen);
  EXPECT_EQ(std::get<ExportOptions>(ExportOptionsOf({"--format", "all"})).formats.size(), 3u);

  EXPECT_EQ(std::get<std::string>(ExportOptionsOf({"--format", "jpg"})),
            "Export: --format takes svg, pdf, png or all, not \"jpg\".");
  EXPECT_EQ(std::get<std::string>(ExportOptionsOf({"--format"})), "Export: --format takes svg, pdf, png or all, not \"\".");
  EXPECT_NE(std::get<std::string>(ExportOptionsOf({"--colour"})).find("\"--colour\" is no option"), std::string::npos);
}
