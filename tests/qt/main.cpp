// The window tests run offscreen, one test class after another in one application.
#include <QApplication>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/qt/window_fixture.h"

int RunWindowTests(int argc, char** argv);
int RunRecordTests(int argc, char** argv);
int RunOptionsTests(int argc, char** argv);

std::vector<std::string> WriteReports(const std::filesystem::path& dir, int files) {
  // Three states at 0.2, 0.5 and 0.8; every class has its own rate and weight, and every file
  // shifts the values a little, so that each file and each record counts.
  const double levels[] = {0.2, 0.5, 0.8};
  std::vector<std::string> paths;
  for (int f = 0; f < files; ++f) {
    const auto path = dir / ("report" + std::to_string(f + 1) + ".dat");
    std::ofstream out(path);
    out << "simulated transition report " << f + 1 << "\nstates 3\nframes 10000\ninitial final rate spare count\n";
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        out << levels[i] + 0.01 * f << ' ' << levels[j] - 0.005 * f << ' ' << 0.02 * (i + 1) / (j + 1 + f) << " 0 "
            << (i == j ? 0 : 20 + 5 * i + j + f) << '\n';
    paths.push_back(path.string());
  }
  return paths;
}

std::map<std::string, std::string> FilesIn(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[entry.path().filename().string()] = bytes.str();
  }
  return files;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failed = 0;
  failed += RunWindowTests(argc, argv);
  failed += RunRecordTests(argc, argv);
  failed += RunOptionsTests(argc, argv);
  return failed;
}
