// Files the simulator writes for a benchmark: made once per set of arguments in a scratch
// folder, removed when the benchmark ends.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct SimulatedFiles {
  std::filesystem::path folder;
  std::vector<std::string> paths;  // sorted, as the file dialog gives them
  std::string error;               // why there are none
};

// The simulator is built beside the benchmark's folder.
inline std::filesystem::path Simulator() {
  if (const char* given = std::getenv("VARNEL_SIMULATOR")) return given;
  std::error_code ignored;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.parent_path().parent_path() / "varnel-simulate";
}

// Removes `folder` when the benchmark ends.
inline void RemoveAtExit(const std::filesystem::path& folder) {
  static std::vector<std::filesystem::path> scratch;
  if (scratch.empty())
    std::atexit([] {
      for (const auto& path : scratch) std::filesystem::remove_all(path);
    });
  scratch.push_back(folder);
}

// The files `varnel-simulate --out FOLDER <arguments>` writes.
inline const SimulatedFiles& Simulated(const std::string& arguments) {
  static std::map<std::string, SimulatedFiles> made;
  const auto known = made.find(arguments);
  if (known != made.end()) return known->second;
  SimulatedFiles& files = made[arguments];
  files.folder = std::filesystem::temp_directory_path() /
                 ("varnel-bench-" + std::to_string(getpid()) + "-" + std::to_string(made.size()));
  std::string command = "'";
  command += Simulator().string() + "' --out '" + files.folder.string() + "' " + arguments + " >/dev/null";
  RemoveAtExit(files.folder);
  if (std::system(command.c_str()) != 0) {
    files.error = "cannot run " + Simulator().string() + " (set VARNEL_SIMULATOR)";
    return files;
  }
  for (const auto& entry : std::filesystem::directory_iterator(files.folder)) files.paths.push_back(entry.path());
  std::sort(files.paths.begin(), files.paths.end());
  return files;
}
