// A fresh directory that is the current directory for as long as it lives.
#pragma once

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

// Some file names (with `*?[`) and file kinds (named pipes) exist only off Windows.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif
// The core's cross build has no Cairo and draws no figures.
#ifdef VARNEL_TESTS_WITHOUT_FIGURES
inline constexpr bool kDrawsFigures = false;
#else
inline constexpr bool kDrawsFigures = true;
#endif

class TempDir {
 public:
  TempDir() : previous_(std::filesystem::current_path()) {
    // A name no other directory has: create_directory says false for one that exists.
    std::random_device seed;
    std::mt19937_64 names(seed());
    do path_ = std::filesystem::temp_directory_path() / ("varnel-test-" + std::to_string(names()));
    while (!std::filesystem::create_directory(path_));
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

// The names of the entries in `folder`, sorted.
inline std::vector<std::string> Listing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
