// The program in script mode loads simulated reports of three peaks and writes the grid file
// and the map that the plain sums give for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

#include "tests/reports/reference_map.h"
#include "tests/support/png_reader.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kPeaks = 3;

// The records of the reports in `folder`, in name order, read as a report is read.
std::vector<TransitionRecord> ReadReports(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".dat" && entry.path().filename() != "3dgrid.dat") paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::vector<TransitionRecord> records;
  for (const auto& path : paths) {
    std::ifstream in(path);
    for (int line = 0; line < 4; ++line) in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    for (int r = 0; r < kPeaks * kPeaks; ++r) {
      TransitionRecord record{};
      in >> record.initial >> record.final >> record.rate >> record.spare >> record.count;
      records.push_back(in ? record : TransitionRecord{});
    }
  }
  return records;
}

TEST(ReportsScript, SimulatedReportsGiveTheGoldenGridAndMap) {
  TempDir dir;
  ASSERT_EQ(RunProgram(VARNEL_SIMULATOR, "--out reports --molecules 6 --seed 5 --peaks 3").status, 0);
  std::string table;
  for (unsigned k = 0; k < 256; ++k) table += std::to_string(k) + " " + std::to_string(255 - k) + " 9\n";
  dir.Write("shrcol.tbl", table);
  dir.Write("load.vsc",
            "type IDC_PEAKS_IN_REPORT 3\n"
            "files reports/*.dat\n"
            "click IDC_LOAD_FILES\n"
            "expect IDC_WEIGHT_BY_COUNT 1\n"
            "save-map map.png\n");
  const ProgramRun run = RunProgram(VARNEL_PROGRAM, "--script load.vsc");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const std::vector<TransitionRecord> records = ReadReports(dir.path() / "reports");
  ASSERT_EQ(records.size(), 6u * kPeaks * kPeaks);
  const ReferenceMap reference = ComputeReferenceMap(records, true);
  const std::string goldenPath = std::string(VARNEL_TEST_DATA_DIR) + "/reports-k3-seed5-3dgrid.dat";
  if (std::getenv("VARNEL_REGENERATE_GOLDEN")) std::ofstream(goldenPath, std::ios::binary) << reference.file;
  std::ifstream goldenFile(goldenPath, std::ios::binary);
  const std::string golden((std::istreambuf_iterator<char>(goldenFile)), std::istreambuf_iterator<char>());
  // The golden file is what the plain sums give for these reports: the simulator has not
  // changed under it.
  ASSERT_TRUE(golden == reference.file) << "regenerate " << goldenPath << " with VARNEL_REGENERATE_GOLDEN=1";
  EXPECT_TRUE(dir.Read("reports/3dgrid.dat") == golden);

  const auto map = ReadPng(dir / "map.png");
  ASSERT_TRUE(map);
  ASSERT_EQ(map->width, 402);
  int wrong = 0;
  for (int i = 0; i < 201; ++i)
    for (int j = 0; j < 201; ++j) {
      const auto k = static_cast<std::uint32_t>(reference.colorIndices[static_cast<std::size_t>(i * 201 + j)]);
      const std::uint32_t expected = k * 65536u + (255u - k) * 256u + 9u;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx)
          if (map->At(2 * j + dx, 2 * i + dy) != expected && ++wrong <= 5)
            ADD_FAILURE() << "cell (" << i << ", " << j << ")";
    }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
